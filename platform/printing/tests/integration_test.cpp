// The real print service against the private print system of scripts/sandbox.sh: two queues
// (Studio_printer with ink levels, Office_laser), virtual IPP Everywhere devices, SANE's test backend.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <png.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "pdf_fixture.h"
#include "printing/printing.h"
#include "sandbox_env.h"

namespace printing = os_actions::printing;
using namespace std::chrono_literals;
using printing_test::wait_until;

namespace {

std::filesystem::path g_home;
std::string g_real_lpoptions;  // what the "user's own" file held before any test ran

std::optional<printing::PrintQueue> find_queue(const std::vector<printing::PrintQueue>& queues,
                                               const std::string& name) {
    const auto it = std::ranges::find(queues, name, &printing::PrintQueue::name);
    return it == queues.end() ? std::nullopt : std::optional(*it);
}

std::optional<printing::PrintJob> find_job(const std::string& title) {
    const auto jobs = printing::jobs();
    if (!jobs) {
        return std::nullopt;
    }
    std::optional<printing::PrintJob> found;
    for (const auto& job : *jobs) {
        if (job.title == title) {
            found = job;  // the newest with that title
        }
    }
    return found;
}

std::optional<printing::PrintJob> job_by_id(const std::string& id) {
    const auto jobs = printing::jobs();
    if (!jobs) {
        return std::nullopt;
    }
    const auto it = std::ranges::find(*jobs, id, &printing::PrintJob::id);
    return it == jobs->end() ? std::nullopt : std::optional(*it);
}

std::filesystem::path write_test_file(const std::string& name, const std::string& text) {
    const auto path = g_home / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A valid one-page PDF with a line of text.
std::string tiny_pdf() {
    const std::string content = "BT /F1 24 Tf 72 720 Td (Presswick test page) Tj ET";
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 "
        "R >> "
        ">> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    return test_pdf::from_objects(objects);
}

std::string unique_name(const std::string& stem, const std::string& extension) {
    static int counter = 0;
    return stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + extension;
}

void expect_printed(const std::string& title) {
    std::optional<printing::PrintJob> job;
    ASSERT_TRUE(wait_until(
        [&] {
            job = find_job(title);
            return job && job->state == printing::JobState::printed;
        },
        60s))
        << title << " did not reach Printed (state " << (job && job->state ? int(*job->state) : -1) << ")";
    EXPECT_TRUE(job->id.starts_with("Studio_printer-"));
    EXPECT_EQ(job->queue, "Studio_printer");
    // Its time is when it finished (the server's clock is this machine's).
    EXPECT_LT(std::chrono::abs(std::chrono::system_clock::now() - job->time), std::chrono::minutes(5));
    ASSERT_TRUE(job->pages_done.has_value());
    EXPECT_GE(*job->pages_done, 1u);
    if (job->pages_total) {  // reported by the server or absent, never guessed
        EXPECT_GE(*job->pages_total, 1u);
    }
}

// A job held until released, submitted past the service (which never holds jobs itself).
int submit_held_job(const std::string& queue, const std::filesystem::path& file, const std::string& title) {
    cups_option_t* options = nullptr;
    const int count = cupsAddOption("job-hold-until", "indefinite", 0, &options);
    const int id =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), file.c_str(), title.c_str(), count, options);
    cupsFreeOptions(count, options);
    return id;
}

// A raw queue whose device address leads nowhere: 192.0.2.0/24 is reserved for documentation.
bool add_dead_queue(const std::string& name) {
    char uri[512];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, "ipp://192.0.2.1/ipp/print");
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
    return cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
}

void delete_queue(const std::string& name) {
    char uri[512];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_DELETE_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
}

// --- Queues ----------------------------------------------------------------------------------------

TEST(SandboxQueues, ListsBothQueuesWithStatesAndSupplies) {
    REQUIRE_SANDBOX();
    ASSERT_TRUE(printing::set_enabled("Studio_printer", true).has_value());
    ASSERT_TRUE(printing::set_enabled("Office_laser", true).has_value());
    const auto queues = printing::queues();
    ASSERT_TRUE(queues.has_value()) << queues.error();
    const auto studio = find_queue(*queues, "Studio_printer");
    const auto office = find_queue(*queues, "Office_laser");
    ASSERT_TRUE(studio && office);
    EXPECT_TRUE(studio->accepting);
    EXPECT_TRUE(studio->answered);
    EXPECT_NE(studio->state, printing::QueueState::paused);
    EXPECT_NE(studio->state, printing::QueueState::unreachable);
    EXPECT_TRUE(office->answered);
    EXPECT_EQ(std::ranges::count(studio->state_reasons, std::string("none")), 0);
    ASSERT_TRUE(studio->supplies.has_value());
    // With the level the device calls low (10 for each): Yellow at 5 is low.
    const std::vector<printing::Supply> ink = {{"Black Ink", "#000000", 80, 10},
                                               {"Cyan Ink", "#00FFFF", 60, 10},
                                               {"Magenta Ink", "#FF00FF", 30, 10},
                                               {"Yellow Ink", "#FFFF00", 5, 10}};
    EXPECT_EQ(*studio->supplies, ink);
    EXPECT_TRUE(studio->supplies->back().is_low());
    EXPECT_FALSE(office->supplies.has_value());
}

TEST(SandboxQueues, DeadNetworkPrintersCostTheTimeoutOnce) {
    REQUIRE_SANDBOX();
    const std::vector<std::string> dead = {"Dead_printer_1", "Dead_printer_2", "Dead_printer_3"};
    for (const auto& name : dead) {
        ASSERT_TRUE(add_dead_queue(name)) << cupsLastErrorString();
    }
    const auto start = std::chrono::steady_clock::now();
    const auto queues = printing::queues();
    const auto took = std::chrono::steady_clock::now() - start;
    for (const auto& name : dead) {
        delete_queue(name);
    }
    ASSERT_TRUE(queues.has_value()) << queues.error();
    EXPECT_LT(took, 3500ms);
    for (const auto& name : dead) {
        const auto q = find_queue(*queues, name);
        ASSERT_TRUE(q.has_value()) << name;
        EXPECT_FALSE(q->answered);
        EXPECT_EQ(q->state, printing::QueueState::unreachable);
    }
    const auto studio = find_queue(*queues, "Studio_printer");
    ASSERT_TRUE(studio.has_value());
    EXPECT_TRUE(studio->answered);
}

TEST(SandboxQueues, PauseAndResume) {
    REQUIRE_SANDBOX();
    ASSERT_TRUE(printing::set_enabled("Office_laser", false).has_value());
    auto queues = printing::queues();
    ASSERT_TRUE(queues.has_value()) << queues.error();
    auto office = find_queue(*queues, "Office_laser");
    ASSERT_TRUE(office.has_value());
    EXPECT_EQ(office->state, printing::QueueState::paused);
    EXPECT_TRUE(office->accepting) << "documents sent to a paused printer wait";
    EXPECT_NE(std::ranges::find(office->state_reasons, std::string("paused")), office->state_reasons.end());
    const auto waiting = write_test_file(unique_name("waits", ".txt"), "waits\n");
    EXPECT_TRUE(printing::print_document("Office_laser", waiting, 1, false).has_value());

    ASSERT_TRUE(printing::set_enabled("Office_laser", true).has_value());
    queues = printing::queues();
    ASSERT_TRUE(queues.has_value());
    office = find_queue(*queues, "Office_laser");
    EXPECT_NE(office->state, printing::QueueState::paused);
    EXPECT_TRUE(office->accepting);
    EXPECT_FALSE(printing::set_enabled("No_such_queue", false).has_value());
}

TEST(SandboxQueues, SetDefaultReadsBackAndLeavesTheUsersFileAlone) {
    REQUIRE_SANDBOX();
    ASSERT_NE(std::getenv("PRESSWICK_CUPS_USERCONFIG"), nullptr)
        << "eval \"$(scripts/sandbox.sh env)\" first";
    ASSERT_TRUE(printing::set_default("Office_laser").has_value());
    auto queues = printing::queues();
    ASSERT_TRUE(queues.has_value());
    EXPECT_TRUE(find_queue(*queues, "Office_laser")->is_default);
    EXPECT_FALSE(find_queue(*queues, "Studio_printer")->is_default);

    ASSERT_TRUE(printing::set_default("Studio_printer").has_value());
    queues = printing::queues();
    ASSERT_TRUE(queues.has_value());
    EXPECT_TRUE(find_queue(*queues, "Studio_printer")->is_default);
    EXPECT_EQ(std::ranges::count_if(*queues, [](const auto& q) { return q.is_default; }), 1);

    EXPECT_FALSE(printing::set_default("No_such_queue").has_value());
    EXPECT_EQ(printing_test::read_file(g_home / ".cups" / "lpoptions"), g_real_lpoptions);
}

std::optional<printing::DriverlessPrinter> offered(const std::string& name) {
    const auto found = printing::discover_driverless();
    EXPECT_TRUE(found.has_value()) << found.error();
    if (!found) {
        return std::nullopt;
    }
    const auto it = std::ranges::find(*found, name, &printing::DriverlessPrinter::name);
    return it == found->end() ? std::nullopt : std::optional(*it);
}

std::size_t queue_count() {
    const auto queues = printing::queues();
    return queues ? queues->size() : 0;
}

TEST(SandboxDiscovery, OffersOnlyPrintersNotSetUpAndAddsThemOnce) {
    REQUIRE_SANDBOX();
    // The sandbox's own devices are set up already (as Studio_printer and Office_laser).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(offered("Acme Studio 1").has_value());
    EXPECT_FALSE(offered("Acme Laser 2").has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    if (const auto queues = printing::queues(); queues && find_queue(*queues, "Acme_Spare_3_2")) {
        GTEST_SKIP() << "added by an earlier run on this sandbox";
    }
    // A third virtual printer, for as long as the test needs it.
    const printing_test::VirtualPrinter spare(g_home / "spare-spool", "Spare 3");
    std::optional<printing::DriverlessPrinter> found;
    ASSERT_TRUE(wait_until([&] { return (found = offered("Acme Spare 3")).has_value(); }, 20s));
    EXPECT_TRUE(found->uri.starts_with("ipps://")) << found->uri;
    // A queue of that name exists already, for another device: the new one takes another name.
    ASSERT_TRUE(add_dead_queue("Acme_Spare_3"));
    const auto before = queue_count();
    const auto added = printing::add_driverless(found->uri, found->name);
    ASSERT_TRUE(added.has_value()) << added.error();
    auto queues = printing::queues();
    ASSERT_TRUE(queues.has_value());
    EXPECT_EQ(queues->size(), before + 1);
    const auto queue = find_queue(*queues, "Acme_Spare_3_2");
    ASSERT_TRUE(queue.has_value());
    EXPECT_TRUE(queue->accepting);
    EXPECT_NE(queue->state, printing::QueueState::paused);
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, "Acme_Spare_3_2", nullptr);
    ASSERT_NE(dest, nullptr);
    EXPECT_STREQ(cupsGetOption("printer-is-shared", dest->num_options, dest->options), "false");
    EXPECT_NE(cupsGetOption("printer-make-and-model", dest->num_options, dest->options), nullptr);
    cupsFreeDests(1, dest);

    // Set up now: no longer offered, and adding it again (by either address) makes no twin.
    EXPECT_FALSE(offered("Acme Spare 3").has_value());
    ASSERT_TRUE(printing::add_driverless(found->uri, found->name).has_value());
    ASSERT_TRUE(printing::add_driverless(spare.uri(), found->name).has_value());
    EXPECT_EQ(queue_count(), before + 1);
    EXPECT_TRUE(printing::queues().has_value()) << "the print server is still running";
    EXPECT_FALSE(printing::add_driverless("usb://Acme/Laser", "Laser").has_value());
    // Left in place: deleting a queue of an IPP Everywhere model can bring cupsd 2.4 down, and the
    // sandbox is made afresh for every run anyway.
}

// --- Jobs ------------------------------------------------------------------------------------------

TEST(SandboxJobs, PrintsAPdfAndATextFile) {
    REQUIRE_SANDBOX();
    ASSERT_TRUE(printing::set_enabled("Studio_printer", true).has_value());
    const auto pdf_name = unique_name("page", ".pdf");
    const auto text_name = unique_name("note", ".txt");
    const auto pdf = write_test_file(pdf_name, tiny_pdf());
    const auto text = write_test_file(text_name, "Presswick test note\nsecond line\n");
    ASSERT_TRUE(printing::print_document("Studio_printer", pdf, 2, true).has_value());
    ASSERT_TRUE(printing::print_document("Studio_printer", text, 1, false).has_value());
    expect_printed(pdf_name);
    expect_printed(text_name);
}

TEST(SandboxJobs, RejectsBadRequests) {
    REQUIRE_SANDBOX();
    const auto text = write_test_file(unique_name("bad", ".txt"), "x\n");
    EXPECT_FALSE(printing::print_document("Studio_printer", text, 0, false).has_value());
    EXPECT_FALSE(printing::print_document("Studio_printer", text, 100, false).has_value());
    EXPECT_FALSE(printing::print_document("Studio_printer", g_home / "missing.pdf", 1, false).has_value());
    EXPECT_FALSE(printing::print_document("No_such_queue", text, 1, false).has_value());
    EXPECT_FALSE(printing::cancel_job("Studio_printer-999999").has_value());
    EXPECT_FALSE(printing::retry_job("Studio_printer-999999").has_value());
    EXPECT_FALSE(printing::cancel_job("not a job").has_value());
}

TEST(SandboxJobs, CancelsAHeldJob) {
    REQUIRE_SANDBOX();
    const auto title = unique_name("held", ".txt");
    const int number = submit_held_job("Office_laser", write_test_file(title, "held\n"), title);
    ASSERT_GT(number, 0) << cupsLastErrorString();
    const auto id = "Office_laser-" + std::to_string(number);
    auto job = job_by_id(id);
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->state, printing::JobState::needs_attention);  // held: needs attention
    EXPECT_EQ(job->title, title);
    ASSERT_TRUE(printing::cancel_job(id).has_value());
    job = job_by_id(id);
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->state, printing::JobState::canceled);
}

TEST(SandboxJobs, RetryReleasesAHeldJob) {
    REQUIRE_SANDBOX();
    const auto title = unique_name("release", ".txt");
    const int number = submit_held_job("Office_laser", write_test_file(title, "release\n"), title);
    ASSERT_GT(number, 0) << cupsLastErrorString();
    const auto id = "Office_laser-" + std::to_string(number);
    ASSERT_TRUE(printing::retry_job(id).has_value());
    EXPECT_TRUE(wait_until(
        [&] { return job_by_id(id) && job_by_id(id)->state == printing::JobState::printed; }, 60s));
}

TEST(SandboxJobs, RetriesACompletedJob) {
    REQUIRE_SANDBOX();
    const auto title = unique_name("again", ".txt");
    ASSERT_TRUE(
        printing::print_document("Studio_printer", write_test_file(title, "again\n"), 1, false).has_value());
    std::optional<printing::PrintJob> job;
    ASSERT_TRUE(wait_until(
        [&] {
            job = find_job(title);
            return job && job->state == printing::JobState::printed;
        },
        60s));
    const auto first_pages = job->pages_done.value_or(0);
    ASSERT_TRUE(printing::retry_job(job->id).has_value());
    // Back in the queue under the same id, printed again; completed counts add up across restarts.
    EXPECT_TRUE(wait_until(
        [&] {
            const auto again = job_by_id(job->id);
            return again && again->state == printing::JobState::printed &&
                   again->pages_done.value_or(0) > first_pages;
        },
        60s));
}

// --- Scanners --------------------------------------------------------------------------------------

TEST(SandboxScanners, ListsTheTestScanner) {
    REQUIRE_SANDBOX();
    const auto scanners = printing::scanners();
    ASSERT_TRUE(scanners.has_value()) << scanners.error();
    const auto it = std::ranges::find(*scanners, std::string("test:0"), &printing::Scanner::id);
    ASSERT_NE(it, scanners->end());
    EXPECT_EQ(it->name, "Noname frontend-tester");
}

// Decodes the whole image, to be sure it is a PNG an ordinary reader accepts.
bool decodes(const std::vector<std::uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

printing_test::PngHeader scan(std::uint16_t dpi, printing::ScanColourMode mode) {
    const auto page = printing::scan_page(
        "test:0", {.resolution_dpi = dpi, .colour_mode = mode, .source = printing::ScanSource::flatbed});
    EXPECT_TRUE(page.has_value()) << page.error();
    if (!page) {
        return {};
    }
    EXPECT_TRUE(decodes(**page));
    const auto header = printing_test::png_header(**page);
    EXPECT_TRUE(header.has_value());
    return header.value_or(printing_test::PngHeader{});
}

TEST(SandboxScanners, ScansColourAndGreyAt150And300Dpi) {
    REQUIRE_SANDBOX();
    const auto colour150 = scan(150, printing::ScanColourMode::colour);
    const auto colour300 = scan(300, printing::ScanColourMode::colour);
    const auto grey150 = scan(150, printing::ScanColourMode::grayscale);
    const auto grey300 = scan(300, printing::ScanColourMode::grayscale);
    EXPECT_EQ(colour150.colour_type, 2);
    EXPECT_EQ(colour300.colour_type, 2);
    EXPECT_EQ(grey150.colour_type, 0);
    EXPECT_EQ(grey300.colour_type, 0);
    EXPECT_EQ(grey300.bit_depth, 8);
    EXPECT_GT(colour150.width, 100u);
    EXPECT_NEAR(colour300.width, 2.0 * colour150.width, 2.0);
    EXPECT_NEAR(colour300.height, 2.0 * colour150.height, 2.0);
    EXPECT_EQ(grey300.width, colour300.width);
}

TEST(SandboxScanners, TextIsOneBitGreyFeederWorksAndDuplexIsRefused) {
    REQUIRE_SANDBOX();
    const auto text = scan(150, printing::ScanColourMode::text);
    EXPECT_EQ(text.colour_type, 0);
    EXPECT_EQ(text.bit_depth, 1);
    const auto feeder = printing::scan_page("test:0", {.resolution_dpi = 150,
                                                       .colour_mode = printing::ScanColourMode::grayscale,
                                                       .source = printing::ScanSource::feeder});
    ASSERT_TRUE(feeder.has_value()) << feeder.error();
    // No duplex source on the test scanner: refused, never scanned from the flatbed instead.
    const auto duplex = printing::scan_page("test:0", {.resolution_dpi = 150,
                                                       .colour_mode = printing::ScanColourMode::grayscale,
                                                       .source = printing::ScanSource::two_sided});
    ASSERT_FALSE(duplex.has_value());
    EXPECT_NE(duplex.error().find("both sides"), std::string::npos) << duplex.error();
}

TEST(SandboxScanners, FailuresCarryTheSaneStatus) {
    REQUIRE_SANDBOX();
    const auto page = printing::scan_page("test:no-such-device", {});
    ASSERT_FALSE(page.has_value());
    EXPECT_NE(page.error().find("Invalid argument"), std::string::npos) << page.error();
}

TEST(SandboxScanners, CallersOnManyThreadsAreServedOneAtATime) {
    REQUIRE_SANDBOX();
    std::vector<std::thread> threads;
    std::atomic<int> good = 0;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            for (int k = 0; k < 3; ++k) {
                const auto page = printing::scan_page(i % 2 ? "test:1" : "test:0",
                                                      {.resolution_dpi = 150,
                                                       .colour_mode = printing::ScanColourMode::grayscale,
                                                       .source = printing::ScanSource::flatbed});
                const auto list = printing::scanners();
                good += page.has_value() && list.has_value();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(good.load(), 12);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_home = printing_test::use_private_home();
    // Stands for the user's own settings, which nothing in the sandbox may change.
    std::filesystem::create_directories(g_home / ".cups");
    g_real_lpoptions = "Default Users_own_printer\nDest Users_own_printer sides=two-sided-long-edge\n";
    std::ofstream(g_home / ".cups" / "lpoptions") << g_real_lpoptions;
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(g_home, ec);
    return result;
}
