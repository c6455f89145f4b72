// Scanners as a real desk has them, through presswick-scan-helper: a slow one (SANE's test backend with a
// read delay), and fake vendor backends of ours that hang in sane_read, crash, or take long to list.
// With each, the scan ends with a message within its deadline, a refresh does not wait, and no helper is
// left running.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>

#include "printing/printing.h"
#include "sandbox_env.h"
#include "system_service.h"

namespace printing = os_actions::printing;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::filesystem::path g_home;

// A private SANE configuration listing the given backends.
std::filesystem::path sane_config(const std::string& name, const std::string& backends,
                                  const std::string& test_conf = {}) {
    const auto dir = g_home / name;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "dll.conf") << backends << "\n";
    if (!test_conf.empty()) {
        std::ofstream(dir / "test.conf") << test_conf;
    }
    return dir;
}

printing::detail::ScannerSide scanner_side(const std::filesystem::path& config,
                                           std::vector<std::pair<std::string, std::string>> extra = {}) {
    printing::detail::ScannerSide side;
    side.helper.environment = {{"SANE_CONFIG_DIR", config.string()}, {"LD_LIBRARY_PATH", FAKE_SANE_DIR}};
    side.helper.environment.insert(side.helper.environment.end(), extra.begin(), extra.end());
    side.helper.deadlines.list = 1500ms;
    side.helper.deadlines.open = 3s;
    side.helper.deadlines.start = 3s;
    side.helper.deadlines.read = 1s;
    side.helper.deadlines.close = 1s;
    side.first_list_wait = 300ms;
    return side;
}

// Processes whose parent is this test.
int children() {
    int count = 0;
    const std::string self = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = printing_test::read_file(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(stat.substr(close + 2));
        std::string state, parent;
        fields >> state >> parent;
        count += parent == self;
    }
    return count;
}

bool nothing_left_running() {
    return printing_test::wait_until([] { return children() == 0; }, 5s);
}

std::chrono::milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// queues, jobs and scanners, as a device refresh calls them; how long it took.
std::chrono::milliseconds refresh(printing::Service& service) {
    const auto start = Clock::now();
    (void)service.queues();
    (void)service.jobs();
    (void)service.scanners();
    return since(start);
}

// The pHYs chunk's pixels per metre on x, or 0.
std::uint32_t png_pixels_per_metre(const std::vector<std::uint8_t>& png) {
    const std::string bytes(png.begin(), png.end());
    const auto at = bytes.find("pHYs");
    if (at == std::string::npos || at + 8 > bytes.size()) {
        return 0;
    }
    return std::uint32_t{png[at + 4]} << 24 | std::uint32_t{png[at + 5]} << 16 |
           std::uint32_t{png[at + 6]} << 8 | png[at + 7];
}

TEST(ScanHelper, HungAndCrashingDriversEndWithAMessageWhileRefreshesGoOn) {
    const auto service =
        printing::detail::make_system_service(scanner_side(sane_config("fake", "presswickfake")));
    ASSERT_TRUE(printing_test::wait_until([&] { return service->scanners().has_value(); }, 5s));
    for (const auto& [device, expected] : {std::pair{"presswickfake:hang", "stopped sending the page"},
                                           std::pair{"presswickfake:crash", "Segmentation fault"}}) {
        const auto start = Clock::now();
        auto scan = std::async(std::launch::async, [&, device] { return service->scan_page(device, {}); });
        std::this_thread::sleep_for(200ms);
        EXPECT_LT(refresh(*service), 1s) << device;
        const auto page = scan.get();
        ASSERT_FALSE(page.has_value()) << device;
        EXPECT_NE(page.error().find(expected), std::string::npos) << page.error();
        EXPECT_LT(since(start), 4s) << device;  // the read deadline is 1 s; open and start are quick
        EXPECT_TRUE(nothing_left_running()) << device;
    }
    // The service still scans after both.
    const auto page =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75,
                                                  .colour_mode = printing::ScanColourMode::colour,
                                                  .source = printing::ScanSource::flatbed});
    ASSERT_TRUE(page.has_value()) << page.error();
}

TEST(ScanHelper, SlowScannerFinishesWhileTheListAnswersAtOnce) {
    // 0.2 s before each read of at most 32 KiB: seconds for a small grey page.
    const std::string test_conf =
        "number_of_devices 1\nmode Gray\ndepth 8\nresolution 50.0\ntest-picture \"Grid\"\n"
        "read-limit true\nread-limit-size 32768\nread-delay true\nread-delay-duration 200000\n"
        "geometry_min 0.0\ngeometry_max 200.0\ngeometry_quant 1.0\ntl_x 0.0\ntl_y 0.0\nbr_x 80.0\nbr_y "
        "200.0\n";
    const auto service =
        printing::detail::make_system_service(scanner_side(sane_config("slow", "test", test_conf)));
    ASSERT_TRUE(printing_test::wait_until([&] { return service->scanners().has_value(); }, 5s));
    const auto start = Clock::now();
    auto scan = std::async(std::launch::async, [&] {
        return service->scan_page("test:0", {.resolution_dpi = 150,
                                             .colour_mode = printing::ScanColourMode::grayscale,
                                             .source = printing::ScanSource::flatbed});
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(refresh(*service), 1s);
    const auto page = scan.get();
    ASSERT_TRUE(page.has_value()) << page.error();
    EXPECT_GT(since(start), 1500ms);  // really slow, yet never past a read's deadline
    const auto header = printing_test::png_header(**page);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, 472u);  // 80 mm at 150 dpi
    EXPECT_EQ(png_pixels_per_metre(**page), 5906u);
    EXPECT_TRUE(nothing_left_running());
}

TEST(ScanHelper, ListIsKeptAndRenewedInTheBackground) {
    const auto config = sane_config("fake-list", "presswickfake");
    {
        // A backend that never finishes listing: the first answer waits a moment, later ones not at all,
        // and at the deadline the helper is killed and the failure becomes the answer.
        const auto service = printing::detail::make_system_service(
            scanner_side(config, {{"PRESSWICK_FAKE_SANE_LIST_MS", "hang"}}));
        auto start = Clock::now();
        auto first = service->scanners();
        EXPECT_LT(since(start), 1s);
        ASSERT_FALSE(first.has_value());
        EXPECT_NE(first.error().find("Still looking"), std::string::npos) << first.error();
        start = Clock::now();
        EXPECT_FALSE(service->scanners().has_value());
        EXPECT_LT(since(start), 500ms);
        EXPECT_TRUE(printing_test::wait_until(
            [&] {
                const auto stuck = service->scanners();
                return !stuck && stuck.error().find("took longer than") != std::string::npos;
            },
            5s));
    }
    EXPECT_TRUE(nothing_left_running());
    // Listing that takes a while: once known, the list answers at once while it is renewed behind.
    const auto service =
        printing::detail::make_system_service(scanner_side(config, {{"PRESSWICK_FAKE_SANE_LIST_MS", "700"}}));
    ASSERT_TRUE(printing_test::wait_until([&] { return service->scanners().has_value(); }, 5s));
    const auto start = Clock::now();
    const auto list = service->scanners();
    EXPECT_LT(since(start), 500ms);
    ASSERT_TRUE(list.has_value()) << list.error();
    ASSERT_EQ(list->size(), 4u);
    EXPECT_EQ(list->at(2).id, "presswickfake:page");
    EXPECT_EQ(list->at(2).name, "Presswick A4 scanner");
    EXPECT_TRUE(nothing_left_running());
}

TEST(ScanHelper, SettingsAreHonouredOrRefused) {
    const auto service =
        printing::detail::make_system_service(scanner_side(sane_config("fake-settings", "presswickfake")));
    const auto feeder =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75,
                                                  .colour_mode = printing::ScanColourMode::colour,
                                                  .source = printing::ScanSource::feeder});
    ASSERT_FALSE(feeder.has_value());
    EXPECT_NE(feeder.error().find("no document feeder"), std::string::npos) << feeder.error();
    const auto duplex =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75,
                                                  .colour_mode = printing::ScanColourMode::colour,
                                                  .source = printing::ScanSource::two_sided});
    ASSERT_FALSE(duplex.has_value());
    EXPECT_NE(duplex.error().find("both sides"), std::string::npos) << duplex.error();

    // Grey is the true grey mode, not the dithered one listed before it.
    const auto grey =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75,
                                                  .colour_mode = printing::ScanColourMode::grayscale,
                                                  .source = printing::ScanSource::flatbed});
    ASSERT_TRUE(grey.has_value()) << grey.error();
    const auto grey_header = printing_test::png_header(**grey);
    ASSERT_TRUE(grey_header.has_value());
    EXPECT_EQ(grey_header->colour_type, 0);
    EXPECT_EQ(grey_header->bit_depth, 8);

    const auto colour =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75,
                                                  .colour_mode = printing::ScanColourMode::colour,
                                                  .source = printing::ScanSource::flatbed});
    ASSERT_TRUE(colour.has_value()) << colour.error();
    const auto header = printing_test::png_header(**colour);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->colour_type, 2);
    EXPECT_EQ(header->width, 620u);   // 210 mm at 75 dpi
    EXPECT_EQ(header->height, 876u);  // 297 mm
    EXPECT_EQ(png_pixels_per_metre(**colour), 2953u);
    EXPECT_TRUE(nothing_left_running());
}

// The widths of the pages of one press: the fake duplex scanner makes side n 100 + n pixels wide.
struct Pages {
    std::mutex mutex;
    std::vector<std::uint32_t> widths;
    printing::PageSink sink() {
        return [this](printing::Bytes page) {
            const auto header = printing_test::png_header(*page);
            std::lock_guard lock(mutex);
            widths.push_back(header ? header->width : 0);
        };
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return widths.size();
    }
};

TEST(ScanHelper, SourcesComeFromEachScannersOwnSourceOption) {
    const auto fake =
        printing::detail::make_system_service(scanner_side(sane_config("fake-sources", "presswickfake")));
    ASSERT_TRUE(printing_test::wait_until([&] { return fake->scanners().has_value(); }, 5s));
    const auto list = fake->scanners();
    ASSERT_TRUE(list.has_value()) << list.error();
    ASSERT_EQ(list->size(), 4u);
    EXPECT_EQ(list->at(2).id, "presswickfake:page");
    EXPECT_FALSE(list->at(2).has_feeder) << "a flatbed as its only source";
    EXPECT_FALSE(list->at(2).has_two_sided);
    EXPECT_EQ(list->at(3).id, "presswickfake:duplex");
    EXPECT_TRUE(list->at(3).has_feeder) << "\"ADF Front\"";
    EXPECT_TRUE(list->at(3).has_two_sided) << "\"ADF Duplex\"";
    // SANE's test scanner: "Flatbed" and "Automatic Document Feeder", one side only.
    const auto test = printing::detail::make_system_service(
        scanner_side(sane_config("test-sources", "test", "number_of_devices 1\n")));
    ASSERT_TRUE(printing_test::wait_until([&] { return test->scanners().has_value(); }, 5s));
    const auto tester = test->scanners();
    ASSERT_TRUE(tester.has_value() && tester->size() == 1u);
    EXPECT_TRUE(tester->front().has_feeder);
    EXPECT_FALSE(tester->front().has_two_sided);
    EXPECT_TRUE(nothing_left_running());
}

TEST(ScanHelper, FeederGivesEverySideInOrderUntilItIsEmpty) {
    const auto config = sane_config("fake-feeder", "presswickfake");
    const auto service = printing::detail::make_system_service(scanner_side(config));
    const auto scan = [&](printing::Service& with, printing::ScanSource source, Pages& pages) {
        return with.scan_pages(
            "presswickfake:duplex",
            {.resolution_dpi = 150, .colour_mode = printing::ScanColourMode::grayscale, .source = source},
            pages.sink(), {});
    };
    Pages both;
    const auto duplex = scan(*service, printing::ScanSource::two_sided, both);
    ASSERT_TRUE(duplex.has_value()) << duplex.error();
    EXPECT_EQ(*duplex, printing::ScanEnd::done);
    // Front, back, front, back, front, back: three sheets in one session.
    EXPECT_EQ(both.widths, (std::vector<std::uint32_t>{101, 102, 103, 104, 105, 106}));
    Pages fronts;
    ASSERT_EQ(scan(*service, printing::ScanSource::feeder, fronts), printing::ScanEnd::done);
    EXPECT_EQ(fronts.widths, (std::vector<std::uint32_t>{101, 102, 103}));
    Pages flatbed;
    ASSERT_EQ(scan(*service, printing::ScanSource::flatbed, flatbed), printing::ScanEnd::done);
    EXPECT_EQ(flatbed.widths, (std::vector<std::uint32_t>{101}));

    const auto empty_service =
        printing::detail::make_system_service(scanner_side(config, {{"PRESSWICK_FAKE_SANE_SHEETS", "0"}}));
    Pages none;
    EXPECT_EQ(scan(*empty_service, printing::ScanSource::two_sided, none), printing::ScanEnd::feeder_empty);
    EXPECT_TRUE(none.widths.empty());
    // The flatbed of the same scanner still scans.
    EXPECT_EQ(scan(*empty_service, printing::ScanSource::flatbed, none), printing::ScanEnd::done);
    EXPECT_EQ(none.widths.size(), 1u);

    // SANE's own test scanner: its feeder holds ten sheets, all of them come in one press.
    const auto test_service = printing::detail::make_system_service(scanner_side(
        sane_config("test-feeder", "test", "number_of_devices 1\nresolution 50.0\ntest-picture \"Grid\"\n")));
    Pages sheets;
    const auto feeder = test_service->scan_pages("test:0",
                                                 {.resolution_dpi = 150,
                                                  .colour_mode = printing::ScanColourMode::grayscale,
                                                  .source = printing::ScanSource::feeder},
                                                 sheets.sink(), {});
    ASSERT_TRUE(feeder.has_value()) << feeder.error();
    EXPECT_EQ(*feeder, printing::ScanEnd::done);
    EXPECT_EQ(sheets.widths.size(), 10u);
    EXPECT_EQ(std::ranges::count(sheets.widths, sheets.widths.front()), 10);
    EXPECT_TRUE(nothing_left_running());
}

TEST(ScanHelper, CancelStopsTheScanInTheHelperAndKeepsThePagesSoFar) {
    const auto config = sane_config("fake-cancel", "presswickfake");
    // A slow feeder of ten sheets whose backend ends a read when cancelled.
    const auto service = printing::detail::make_system_service(
        scanner_side(config, {{"PRESSWICK_FAKE_SANE_SHEETS", "10"}, {"PRESSWICK_FAKE_SANE_READ_MS", "300"}}));
    Pages pages;
    std::stop_source stop;
    auto scan = std::async(std::launch::async, [&] {
        return service->scan_pages("presswickfake:duplex",
                                   {.resolution_dpi = 150,
                                    .colour_mode = printing::ScanColourMode::grayscale,
                                    .source = printing::ScanSource::two_sided},
                                   pages.sink(), stop.get_token());
    });
    ASSERT_TRUE(printing_test::wait_until([&] { return pages.count() >= 1; }, 5s));
    auto start = Clock::now();
    stop.request_stop();
    const auto end = scan.get();
    ASSERT_TRUE(end.has_value()) << end.error();
    EXPECT_EQ(*end, printing::ScanEnd::cancelled);
    EXPECT_LT(since(start), 1s);  // sane_cancel ended the read: no kill needed
    EXPECT_GE(pages.count(), 1u);
    EXPECT_LT(pages.count(), 20u);
    EXPECT_EQ(pages.widths.front(), 101u);
    EXPECT_TRUE(nothing_left_running());

    // SANE's test backend, slow, on its feeder: its reader thread resets SIGTERM, the cancel still ends
    // the read in SANE and the helper closes the device itself.
    const std::string slow_conf =
        "number_of_devices 1\nresolution 50.0\ntest-picture \"Grid\"\nread-limit true\n"
        "read-limit-size 32768\nread-delay true\nread-delay-duration 200000\n";
    const auto test_service =
        printing::detail::make_system_service(scanner_side(sane_config("test-cancel", "test", slow_conf)));
    Pages test_pages;
    std::stop_source stop_test;
    auto test_scan = std::async(std::launch::async, [&] {
        return test_service->scan_pages("test:0",
                                        {.resolution_dpi = 150,
                                         .colour_mode = printing::ScanColourMode::grayscale,
                                         .source = printing::ScanSource::feeder},
                                        test_pages.sink(), stop_test.get_token());
    });
    ASSERT_TRUE(printing_test::wait_until([&] { return test_pages.count() >= 1; }, 10s));
    start = Clock::now();
    stop_test.request_stop();
    EXPECT_EQ(test_scan.get(), printing::ScanEnd::cancelled);
    EXPECT_LT(since(start), 1s);
    EXPECT_GE(test_pages.count(), 1u);
    EXPECT_LT(test_pages.count(), 10u);
    EXPECT_TRUE(nothing_left_running());

    // A backend that never returns from sane_read: the helper is ended within the 2 s allowed.
    std::stop_source stop_hung;
    Pages hung_pages;
    auto hung = std::async(std::launch::async, [&] {
        return service->scan_pages("presswickfake:hang", {}, hung_pages.sink(), stop_hung.get_token());
    });
    std::this_thread::sleep_for(400ms);
    start = Clock::now();
    stop_hung.request_stop();
    EXPECT_EQ(hung.get(), printing::ScanEnd::cancelled);
    EXPECT_LT(since(start), 2500ms);
    EXPECT_TRUE(hung_pages.widths.empty());
    EXPECT_TRUE(nothing_left_running());
}

// The helper loads vendor code: while it works it has no way to more rights, none of the session's
// environment, and an address-space limit of its own.
TEST(ScanHelper, RunsConfined) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus", 1);
    const auto service = printing::detail::make_system_service(scanner_side(
        sane_config("fake-confined", "presswickfake"), {{"PRESSWICK_FAKE_SANE_LIST_MS", "hang"}}));
    (void)service->scanners();  // starts listing, which hangs in the backend
    std::filesystem::path helper;
    ASSERT_TRUE(printing_test::wait_until(
        [&] {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                if (printing_test::read_file(entry.path() / "comm") == "presswick-scan-\n") {
                    helper = entry.path();
                    return true;
                }
            }
            return false;
        },
        5s));
    const auto status = printing_test::read_file(helper / "status");
    const auto environment = printing_test::read_file(helper / "environ");
    const auto limits = printing_test::read_file(helper / "limits");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_NE(status.find("NoNewPrivs:\t1\n"), std::string::npos) << status;
    EXPECT_EQ(environment.find("DBUS_SESSION_BUS_ADDRESS"), std::string::npos);
    EXPECT_NE(environment.find("SANE_CONFIG_DIR="), std::string::npos) << "what SANE needs stays";
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_NE(limits.find("Max address space         4294967296"), std::string::npos) << limits;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_home = printing_test::use_private_home();
    // Printers from the private print system when it runs, else from a server that is not there.
    if (!printing_test::sandbox_running()) {
        ::setenv("CUPS_SERVER", (g_home / "no-server.sock").c_str(), 1);
    }
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(g_home, ec);
    return result;
}
