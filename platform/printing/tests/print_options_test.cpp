// What a printer offers and what a job is sent with, against the private print system of
// scripts/sandbox.sh: Studio_printer (a colour, two-sided IPP Everywhere device) and a one-sided device
// this test starts and sets up itself.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "pdf_fixture.h"
#include "printing/printing.h"
#include "sandbox_env.h"

namespace printing = os_actions::printing;
using namespace std::chrono_literals;

namespace {

std::filesystem::path g_home;

// A valid PDF of `pages` pages, each with its number on it.
std::string pdf_of_pages(int pages) {
    return test_pdf::with_pages(
        pages, [](int i) { return "BT /F1 48 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET"; });
}

// The attributes cupsd keeps for the newest job named `title` on `queue`, as "name=value" texts.
std::vector<std::string> job_attributes_of(const std::string& queue, const std::string& title) {
    std::vector<std::string> found;
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1,
                                3000, nullptr);
    if (!http) {
        return found;
    }
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    // As the job's owner: cupsd keeps job names private to it.
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    const char* wanted[] = {"job-name", "page-ranges", "print-color-mode", "orientation-requested",
                            "media",    "sides"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 6, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    std::vector<std::string> job;
    bool ours = false;
    auto flush = [&] {
        if (ours) {
            found = job;  // the last listed is the newest
        }
        job.clear();
        ours = false;
    };
    for (auto* attr = ippFirstAttribute(response); attr; attr = ippNextAttribute(response)) {
        if (!ippGetName(attr)) {
            flush();
            continue;
        }
        char value[256];
        ippAttributeString(attr, value, sizeof value);
        job.push_back(std::string(ippGetName(attr)) + "=" + value);
        ours = ours || (std::string_view(ippGetName(attr)) == "job-name" && value == title);
    }
    flush();
    ippDelete(response);
    httpClose(http);
    return found;
}

bool has(const std::vector<std::string>& texts, const std::string& text) {
    return std::ranges::find(texts, text) != texts.end();
}

TEST(SandboxPrinterOptions, StudioPrinterOffersWhatItCanDo) {
    REQUIRE_SANDBOX();
    const auto options = printing::printer_options("Studio_printer");
    ASSERT_TRUE(options.has_value()) << options.error();
    EXPECT_TRUE(options->page_ranges);
    EXPECT_EQ(options->color_modes,
              (std::vector{printing::ColorMode::color, printing::ColorMode::monochrome}));
    EXPECT_EQ(options->orientations,
              (std::vector{printing::Orientation::portrait, printing::Orientation::landscape}));
    EXPECT_EQ(options->qualities, (std::vector{printing::PrintQuality::draft, printing::PrintQuality::normal,
                                               printing::PrintQuality::high}));
    EXPECT_EQ(options->pages_per_sheet, (std::vector<std::uint8_t>{1, 2, 4, 6, 9, 16}));
    EXPECT_TRUE(options->two_sided);
    auto named = [&](const std::string& keyword) {
        const auto it = std::ranges::find(options->papers, keyword, &printing::PaperSize::keyword);
        return it == options->papers.end() ? std::string() : it->name;
    };
    EXPECT_EQ(named("iso_a4_210x297mm"), "A4");
    EXPECT_EQ(named("na_letter_8.5x11in"), "Letter");
    ASSERT_TRUE(options->paper_default.has_value());
    EXPECT_FALSE(named(*options->paper_default).empty()) << *options->paper_default;
    EXPECT_FALSE(printing::printer_options("No_such_queue").has_value());
}

TEST(SandboxPrinterOptions, ChoicesReachTheJob) {
    REQUIRE_SANDBOX();
    ASSERT_TRUE(printing::set_enabled("Studio_printer", true).has_value());
    const std::string title = "options-" + std::to_string(::getpid()) + ".pdf";
    const auto path = g_home / title;
    std::ofstream(path, std::ios::binary) << pdf_of_pages(4);
    printing::JobOptions job;
    job.pages = {{2, 3}};
    job.color_mode = printing::ColorMode::monochrome;
    job.orientation = printing::Orientation::landscape;
    job.paper = "iso_a4_210x297mm";
    ASSERT_TRUE(printing::print_document("Studio_printer", path, job, 4).has_value());
    const auto attributes = job_attributes_of("Studio_printer", title);
    ASSERT_FALSE(attributes.empty()) << "no job " << title;
    EXPECT_TRUE(has(attributes, "page-ranges=2-3"));
    EXPECT_TRUE(has(attributes, "print-color-mode=monochrome"));
    EXPECT_TRUE(has(attributes, "orientation-requested=landscape"));
    EXPECT_TRUE(has(attributes, "media=iso_a4_210x297mm"));
    EXPECT_TRUE(has(attributes, "sides=one-sided"));

    // Printed again, the job keeps its own choices.
    std::optional<printing::PrintJob> printed;
    ASSERT_TRUE(printing_test::wait_until(
        [&] {
            const auto jobs = printing::jobs();
            const auto it = jobs ? std::ranges::find(*jobs, std::optional(title), &printing::PrintJob::title)
                                 : decltype(jobs->end()){};
            if (jobs && it != jobs->end() && it->state == printing::JobState::printed) {
                printed = *it;
            }
            return printed.has_value();
        },
        20s));
    ASSERT_TRUE(printing::retry_job(printed->id).has_value());
    const auto again = job_attributes_of("Studio_printer", title);
    EXPECT_TRUE(has(again, "page-ranges=2-3"));
    EXPECT_TRUE(has(again, "print-color-mode=monochrome"));
    EXPECT_TRUE(has(again, "orientation-requested=landscape"));
    // Done printing before the tests that follow look at the printer.
    EXPECT_TRUE(printing_test::wait_until(
        [&] {
            const auto jobs = printing::jobs();
            return jobs && std::ranges::any_of(*jobs, [&](const printing::PrintJob& j) {
                       return j.id == printed->id && j.state == printing::JobState::printed;
                   });
        },
        20s));
}

// A device that prints on one side only, set up as a queue of the sandbox for the test's life.
class OneSidedPrinter {
  public:
    // Without "-2": sides-supported is one-sided only.
    OneSidedPrinter() : m_device(g_home / "one-sided-spool", "Simplex 4") {}
    // Sets it up as `queue` once the device answers (IPP Everywhere, like the sandbox's own).
    bool set_up(const std::string& queue) const {
        const std::string answers =
            "ipptool -q " + m_device.uri() + " get-printer-attributes.test >/dev/null 2>&1";
        if (!printing_test::wait_until([&] { return std::system(answers.c_str()) == 0; }, 10s)) {
            return false;
        }
        const std::string add =
            "lpadmin -p " + queue + " -E -v " + m_device.uri() + " -m everywhere >/dev/null 2>&1";
        return std::system(add.c_str()) == 0;
    }

  private:
    printing_test::VirtualPrinter m_device;
};

// Adds a queue: runs with the last integration tests (scripts/test.sh).
TEST(SandboxAddsQueue, OneSidedPrinterHasNoBothSides) {
    REQUIRE_SANDBOX();
    const OneSidedPrinter device;
    ASSERT_TRUE(device.set_up("One_sided_printer"));
    const auto options = printing::printer_options("One_sided_printer");
    ASSERT_TRUE(options.has_value()) << options.error();
    EXPECT_FALSE(options->two_sided);
    EXPECT_FALSE(options->two_sided_default);
    // Left in place (deleting an IPP Everywhere queue can bring cupsd 2.4 down); set up anew next run.
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_home = printing_test::use_private_home();
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(g_home, ec);
    return result;
}
