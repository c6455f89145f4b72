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
        service->scan_page("presswickfake:page", {.resolution_dpi = 75, .colour_mode = 0, .source = 0});
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
        return service->scan_page("test:0", {.resolution_dpi = 150, .colour_mode = 1, .source = 0});
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
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ(list->at(2).id, "presswickfake:page");
    EXPECT_EQ(list->at(2).name, "Presswick A4 scanner");
    EXPECT_TRUE(nothing_left_running());
}

TEST(ScanHelper, SettingsAreHonouredOrRefused) {
    const auto service =
        printing::detail::make_system_service(scanner_side(sane_config("fake-settings", "presswickfake")));
    const auto feeder =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75, .colour_mode = 0, .source = 1});
    ASSERT_FALSE(feeder.has_value());
    EXPECT_NE(feeder.error().find("no document feeder"), std::string::npos) << feeder.error();
    const auto duplex =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75, .colour_mode = 0, .source = 2});
    ASSERT_FALSE(duplex.has_value());
    EXPECT_NE(duplex.error().find("both sides"), std::string::npos) << duplex.error();

    // Grey is the true grey mode, not the dithered one listed before it.
    const auto grey =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75, .colour_mode = 1, .source = 0});
    ASSERT_TRUE(grey.has_value()) << grey.error();
    const auto grey_header = printing_test::png_header(**grey);
    ASSERT_TRUE(grey_header.has_value());
    EXPECT_EQ(grey_header->colour_type, 0);
    EXPECT_EQ(grey_header->bit_depth, 8);

    const auto colour =
        service->scan_page("presswickfake:page", {.resolution_dpi = 75, .colour_mode = 0, .source = 0});
    ASSERT_TRUE(colour.has_value()) << colour.error();
    const auto header = printing_test::png_header(**colour);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->colour_type, 2);
    EXPECT_EQ(header->width, 620u);   // 210 mm at 75 dpi
    EXPECT_EQ(header->height, 876u);  // 297 mm
    EXPECT_EQ(png_pixels_per_metre(**colour), 2953u);
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
