// The pure helpers of the CUPS + SANE service.
#include <gtest/gtest.h>

#include <cstdlib>

#include "job_options.h"
#include "parsing.h"

namespace os_actions::printing::detail {
namespace {

TEST(Supplies, AbsentWithoutMarkers) {
    EXPECT_FALSE(parse_supplies({}, {}, {}).has_value());
}

TEST(Supplies, NegativeLevelsAreNotReported) {
    const auto s = parse_supplies({"Black", "Cyan", "Magenta", "Waste"}, {"#000000", "#00FFFF", "none", ""},
                                  {80, -1, -3, 250});
    ASSERT_TRUE(s.has_value());
    ASSERT_EQ(s->size(), 4u);
    EXPECT_EQ((*s)[0], (Supply{"Black", "#000000", 80}));
    EXPECT_EQ((*s)[1].level, std::nullopt);
    EXPECT_EQ((*s)[2].level, std::nullopt);
    EXPECT_EQ((*s)[2].colour, std::nullopt);
    EXPECT_EQ((*s)[3].colour, std::nullopt);
    EXPECT_EQ((*s)[3].level, 100);
}

TEST(Supplies, SingleMarkerAndShortLists) {
    const auto s = parse_supplies({"Toner"}, {}, {42});
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(*s, (std::vector<Supply>{{"Toner", std::nullopt, 42}}));
    const auto low = parse_supplies({"Black", "Cyan", "Waste"}, {}, {5, 40, 10}, {10, 10});
    ASSERT_TRUE(low.has_value());
    EXPECT_EQ((*low)[0].low_level, 10);
    EXPECT_TRUE((*low)[0].is_low());   // 5 % where its printer calls 10 % low
    EXPECT_FALSE((*low)[1].is_low());  // 40 %
    EXPECT_FALSE((*low)[2].is_low());  // no low level reported for it
    const auto t = parse_supplies({"A", "B"}, {"#111111"}, {});
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ((*t)[1], (Supply{"B", std::nullopt, std::nullopt}));
}

TEST(Supplies, EscapedOptionLists) {
    EXPECT_EQ(split_option_list("Black Ink,Cyan\\, light"),
              (std::vector<std::string>{"Black Ink", "Cyan, light"}));
    EXPECT_EQ(split_option_list("80"), (std::vector<std::string>{"80"}));
    EXPECT_TRUE(split_option_list("").empty());
}

TEST(QueueState, MapsPrinterStateAndReasons) {
    EXPECT_EQ(queue_state(3, {}, true), QueueState::idle);
    EXPECT_EQ(queue_state(4, {}, true), QueueState::printing);
    EXPECT_EQ(queue_state(5, {"paused"}, true), QueueState::paused);
    EXPECT_EQ(queue_state(5, {"offline-report"}, false), QueueState::paused);
    EXPECT_EQ(queue_state(3, {"offline-report"}, true), QueueState::unreachable);
    EXPECT_EQ(queue_state(4, {"timed-out-error"}, true), QueueState::unreachable);
    EXPECT_EQ(queue_state(3, {"media-empty-warning"}, false), QueueState::unreachable);
    EXPECT_EQ(queue_state(3, {"media-empty-warning"}, true), QueueState::idle);
}

TEST(QueueState, AnsweredTrustsTheServerWhereItMust) {
    // A server elsewhere: only its reasons decide, whatever this machine could reach.
    EXPECT_TRUE(queue_answered(3, {}, false, false));
    EXPECT_FALSE(queue_answered(3, {"connecting-to-device"}, false, true));
    EXPECT_FALSE(queue_answered(3, {"offline-report"}, false, std::nullopt));
    // This machine's server: the device's own answer in this check, printing or not (cupsd "prints" to a
    // device that refuses while it keeps trying); the reasons alone for devices that cannot be asked.
    EXPECT_FALSE(queue_answered(4, {}, true, false));
    EXPECT_TRUE(queue_answered(4, {}, true, true));
    EXPECT_FALSE(queue_answered(4, {"connecting-to-device"}, true, std::nullopt));
    EXPECT_FALSE(queue_answered(3, {}, true, false));
    EXPECT_TRUE(queue_answered(3, {}, true, std::nullopt));
    EXPECT_FALSE(queue_answered(4, {"timed-out-error"}, true, true));
    EXPECT_TRUE(queue_answered(3, {"connecting-to-device"}, true, true));
}

TEST(QueueState, ReasonsDropNoneAndDuplicates) {
    EXPECT_EQ(clean_reasons({"none"}), std::vector<std::string>{});
    EXPECT_EQ(clean_reasons({"media-low-report", "none", "media-low-report", "toner-low-warning"}),
              (std::vector<std::string>{"media-low-report", "toner-low-warning"}));
    EXPECT_TRUE(reason_means_unreachable("offline"));
    EXPECT_TRUE(reason_means_unreachable("offline-report"));
    EXPECT_FALSE(reason_means_unreachable("media-empty-warning"));
    EXPECT_FALSE(reason_means_unreachable("offline-something"));
}

TEST(QueueState, NetworkDevices) {
    EXPECT_TRUE(is_network_device("ipp://localhost:8632/ipp/print"));
    EXPECT_TRUE(is_network_device("IPPS://printer.local/ipp/print"));
    EXPECT_TRUE(is_network_device("dnssd://Acme._ipp._tcp.local/?uuid=1"));
    EXPECT_TRUE(is_network_device("implicitclass://x._ipps._tcp.local/"));
    EXPECT_FALSE(is_network_device("usb://Acme/Laser?serial=1"));
    EXPECT_FALSE(is_network_device("socket://192.0.2.1:9100"));
    EXPECT_FALSE(is_network_device(""));
}

TEST(JobState, MapsIppStates) {
    EXPECT_EQ(job_state_from_ipp(3), JobState::waiting);
    EXPECT_EQ(job_state_from_ipp(4), JobState::needs_attention);
    EXPECT_EQ(job_state_from_ipp(5), JobState::in_progress);
    EXPECT_EQ(job_state_from_ipp(6), JobState::needs_attention);
    EXPECT_EQ(job_state_from_ipp(7), JobState::canceled);
    EXPECT_EQ(job_state_from_ipp(8), JobState::not_printed);
    EXPECT_EQ(job_state_from_ipp(9), JobState::printed);
    EXPECT_EQ(job_state_from_ipp(0), std::nullopt);
    EXPECT_EQ(job_state_from_ipp(10), std::nullopt);
}

TEST(JobState, OnlyAPersonCancels) {
    // Canceled by a person, or without a reason: canceled.
    EXPECT_EQ(job_state(7, {"job-canceled-by-user"}), JobState::canceled);
    EXPECT_EQ(job_state(7, {"job-canceled-by-operator"}), JobState::canceled);
    EXPECT_EQ(job_state(7, {}), JobState::canceled);
    // Stopped by the printer or the server: could not print, as an aborted job.
    EXPECT_EQ(job_state(7, {"job-canceled-at-device"}), JobState::not_printed);
    EXPECT_EQ(job_state(7, {"aborted-by-system"}), JobState::not_printed);
    EXPECT_EQ(job_state(7, {"document-format-error"}), JobState::not_printed);
    EXPECT_EQ(job_state(7, {"document-unprintable-error"}), JobState::not_printed);
    EXPECT_EQ(job_state(8, {"job-canceled-by-user"}), JobState::not_printed);
    // Other states keep their numbers whatever the reasons.
    EXPECT_EQ(job_state(9, {"job-completed-successfully"}), JobState::printed);
    EXPECT_EQ(job_state(3, {"job-canceled-at-device"}), JobState::waiting);
}

TEST(JobState, CountsShowOnlyWhatTheJobCanHavePrinted) {
    const PageCounts sent{24, 24};
    // Waiting (sent again, with an earlier try's count): nothing printed yet, the total stays.
    EXPECT_EQ(shown_counts(sent, JobState::waiting).done, 0u);
    EXPECT_EQ(shown_counts({std::nullopt, 24}, JobState::waiting).done, std::nullopt);
    EXPECT_EQ(shown_counts(sent, JobState::waiting).total, 24u);
    // Still printing with every page sent: the last one is not printed yet.
    EXPECT_EQ(shown_counts(sent, JobState::in_progress).done, 23u);
    EXPECT_EQ(shown_counts({8, 12}, JobState::in_progress).done, 8u);
    EXPECT_EQ(shown_counts({3, std::nullopt}, JobState::in_progress).done, 3u);
    // Finished jobs keep their counts.
    EXPECT_EQ(shown_counts(sent, JobState::printed).done, 24u);
    EXPECT_EQ(shown_counts(sent, JobState::not_printed).done, 24u);
}

TEST(JobState, DocumentPagesLeaveOutTheCopies) {
    os_actions::printing::PrintJob job;
    EXPECT_EQ(job.document_pages(), std::nullopt);
    job.pages_total = 24;
    job.copies = 2;
    EXPECT_EQ(job.document_pages(), 12u);
    job.copies = 1;
    EXPECT_EQ(job.document_pages(), 24u);
    job.pages_total = 25;  // not a whole number of copies: the server counted the document alone
    job.copies = 2;
    EXPECT_EQ(job.document_pages(), 25u);
}

TEST(Events, EventsNameTheirJobsAndPrintersOnce) {
    const std::vector<NotifyEvent> events = {
        {1, "job-created", "Office_laser", 7},
        {2, "printer-state-changed", "Office_laser", 0},
        {3, "job-progress", "Office_laser", 7},
        {4, "job-completed", "Studio_printer", 8},
    };
    const auto changes = changes_from(events, 1);
    EXPECT_FALSE(changes.everything);
    EXPECT_EQ(changes.jobs, (std::vector<std::string>{"Office_laser-7", "Studio_printer-8"}));
    EXPECT_EQ(changes.printers, std::vector<std::string>{"Office_laser"});
    EXPECT_TRUE(changes_from({}, 5).empty());
}

TEST(Events, LostOrNamelessEventsMeanAnythingMayHaveChanged) {
    // The server kept fewer events than came: the first one is past the one expected.
    EXPECT_TRUE(changes_from({{9, "job-progress", "Office_laser", 7}}, 4).everything);
    EXPECT_TRUE(changes_from({{1, "server-restarted", "", 0}}, 1).everything);
    EXPECT_TRUE(changes_from({{1, "job-state-changed", "", 7}}, 1).everything);
    EXPECT_TRUE(changes_from({{1, "printer-modified", "", 0}}, 1).everything);
    // Merging keeps each name once and the widest news.
    os_actions::printing::Changes a{false, {"P"}, {"P-1"}};
    a.merge({true, {"P", "Q"}, {"P-1"}});
    EXPECT_TRUE(a.everything);
    EXPECT_EQ(a.printers, (std::vector<std::string>{"P", "Q"}));
    EXPECT_EQ(a.jobs, std::vector<std::string>{"P-1"});
}

TEST(JobId, ParsesQueueAndNumber) {
    const auto ref = parse_job_id("Studio_printer-42");
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(ref->queue, "Studio_printer");
    EXPECT_EQ(ref->number, 42);
    const auto dashed = parse_job_id("my-queue-7");
    ASSERT_TRUE(dashed.has_value());
    EXPECT_EQ(dashed->queue, "my-queue");
    EXPECT_FALSE(parse_job_id("Studio_printer").has_value());
    EXPECT_FALSE(parse_job_id("-3").has_value());
    EXPECT_FALSE(parse_job_id("q-").has_value());
    EXPECT_FALSE(parse_job_id("q-0").has_value());
    EXPECT_FALSE(parse_job_id("q-12x").has_value());
    EXPECT_FALSE(parse_job_id("q-99999999999999").has_value());
    EXPECT_EQ(queue_from_printer_uri("ipp://localhost/printers/Office_laser"), "Office_laser");
}

TEST(QueueName, SanitisesDisplayNames) {
    EXPECT_EQ(queue_name_from("Acme Studio 1"), "Acme_Studio_1");
    EXPECT_EQ(queue_name_from("  HP/LaserJet #2 @ Office  "), "HP_LaserJet_2_Office");
    EXPECT_EQ(queue_name_from("Büro-Drucker"), "B_ro-Drucker");
    EXPECT_EQ(queue_name_from(""), "Printer");
    EXPECT_EQ(queue_name_from("???"), "Printer");
    EXPECT_EQ(queue_name_from(std::string(300, 'a')).size(), 127u);
}

TEST(QueueName, NeverTakesAnExistingName) {
    EXPECT_EQ(unique_queue_name("Acme_Studio_1", {"Office_laser"}), "Acme_Studio_1");
    EXPECT_EQ(unique_queue_name("Acme_Studio_1", {"acme_studio_1", "Acme_Studio_1_2"}), "Acme_Studio_1_3");
    const std::string long_name(127, 'a');
    const auto other = unique_queue_name(long_name, {long_name});
    EXPECT_EQ(other.size(), 127u);
    EXPECT_TRUE(other.ends_with("_2"));
}

TEST(QueueName, SameDeviceByAddressOrIdentity) {
    EXPECT_EQ(device_key("ipps://Acme%20Studio%201._ipps._tcp.local./"),
              device_key("dnssd://acme%20studio%201._ipp._tcp.local/?uuid=7f1d"));
    EXPECT_EQ(device_key("IPP://Printer.example:631/ipp/print/"),
              device_key("ipps://printer.example:631/ipp/print"));
    EXPECT_NE(device_key("ipp://localhost:8632/ipp/print"), device_key("ipp://localhost:8633/ipp/print"));
    EXPECT_NE(device_key("ipp://printer.example/ipp/print"), device_key("socket://printer.example"));
    EXPECT_EQ(uuid_key("urn:uuid:7F1D397C-FF1B"), uuid_key("7f1d397c-ff1b"));
    EXPECT_EQ(dns_sd_instance("ipps://Acme%20Studio%201._ipps._tcp.local/"), "acme studio 1");
    EXPECT_EQ(dns_sd_instance("dnssd://B%C3%BCro._ipp._tcp.local/?uuid=1"), "b\xC3\xBCro");
    EXPECT_EQ(dns_sd_instance("ipp://localhost:8632/ipp/print"), "");
}

TEST(JobPages, ImpressionsFirstThenSheets) {
    constexpr std::optional<int> none;
    auto counters = [](std::optional<int> impressions, std::optional<int> impressions_done,
                       std::optional<int> sheets, std::optional<int> sheets_done) {
        return JobCounters{impressions, impressions_done, sheets, sheets_done};
    };
    // Active: impressions as the server counts them.
    auto p = page_counts(counters(17, 4, 18, none), false);
    EXPECT_EQ(p.done, 4u);
    EXPECT_EQ(p.total, 17u);
    // Printed without a total (cupsd never reports one for a finished job): what it completed is the whole.
    p = page_counts(counters(none, 17, none, 18), true);
    EXPECT_EQ(p.done, 17u);
    EXPECT_EQ(p.total, 17u);
    // No impressions at all: media sheets stand in.
    p = page_counts(counters(none, none, 9, 2), false);
    EXPECT_EQ(p.done, 2u);
    EXPECT_EQ(p.total, 9u);
    // Nothing counted yet: no total rather than a guessed one.
    p = page_counts(counters(0, 0, none, none), false);
    EXPECT_EQ(p.done, 0u);
    EXPECT_EQ(p.total, std::nullopt);
    EXPECT_EQ(page_counts({}, true).total, std::nullopt);
}

TEST(Lpoptions, FindsTheLastDefault) {
    EXPECT_EQ(lpoptions_default("Dest Office_laser sides=one-sided\nDefault Studio_printer\n"),
              "Studio_printer");
    EXPECT_EQ(lpoptions_default("Default A/draft copies=2\nDefault B"), "B");
    EXPECT_EQ(lpoptions_default("Default A/draft copies=2"), "A");
    EXPECT_EQ(lpoptions_default("Dest A\n"), std::nullopt);
}

TEST(SaneOptions, ModesByUsualNames) {
    const std::vector<std::string> test_backend{"Gray", "Color"};
    EXPECT_EQ(choose_mode(test_backend, ScanColourMode::colour), "Color");
    EXPECT_EQ(choose_mode(test_backend, ScanColourMode::grayscale), "Gray");
    EXPECT_EQ(choose_mode(test_backend, ScanColourMode::text), std::nullopt);
    const std::vector<std::string> other{"Lineart", "Halftone", "Gray", "Color"};
    EXPECT_EQ(choose_mode(other, ScanColourMode::text), "Lineart");
    const std::vector<std::string> epson{"Binary", "Gray", "Color Lineart", "24bit Color"};
    EXPECT_EQ(choose_mode(epson, ScanColourMode::colour), "24bit Color");
    EXPECT_EQ(choose_mode(epson, ScanColourMode::text), "Binary");
    EXPECT_EQ(choose_mode({"Grayscale", "RGB"}, ScanColourMode::grayscale), "Grayscale");
    EXPECT_EQ(choose_mode({"Grayscale", "RGB"}, ScanColourMode::colour), "RGB");
    // Dithered grey is listed first by some vendors; true grey wins where both are offered.
    const std::vector<std::string> brother{"Black & White", "Gray[Error Diffusion]", "True Gray",
                                           "24bit Color"};
    EXPECT_EQ(choose_mode(brother, ScanColourMode::grayscale), "True Gray");
    EXPECT_EQ(choose_mode(brother, ScanColourMode::text), "Black & White");
    EXPECT_EQ(choose_mode({"Halftone Gray", "Color"}, ScanColourMode::grayscale), "Halftone Gray");
    EXPECT_EQ(choose_mode({"Color Lineart", "Color Photo"}, ScanColourMode::colour), "Color Photo");
}

TEST(SaneOptions, SourcesByKeywords) {
    const std::vector<std::string> test_backend{"Flatbed", "Automatic Document Feeder"};
    EXPECT_EQ(choose_source(test_backend, ScanSource::flatbed), "Flatbed");
    EXPECT_EQ(choose_source(test_backend, ScanSource::feeder), "Automatic Document Feeder");
    EXPECT_EQ(choose_source(test_backend, ScanSource::two_sided), std::nullopt);
    const std::vector<std::string> fujitsu{"ADF Front", "ADF Back", "ADF Duplex"};
    EXPECT_EQ(choose_source(fujitsu, ScanSource::flatbed), std::nullopt);
    EXPECT_EQ(choose_source(fujitsu, ScanSource::feeder), "ADF Front");
    EXPECT_EQ(choose_source(fujitsu, ScanSource::two_sided), "ADF Duplex");
}

TEST(SaneOptions, NearestResolution) {
    EXPECT_EQ(nearest_in_list({75, 100, 200, 600}, 150), 100);
    EXPECT_EQ(nearest_in_list({75, 100, 200, 600}, 300), 200);
    EXPECT_EQ(nearest_in_list({}, 300), 300);
    EXPECT_EQ(nearest_in_range(1, 1200, 0, 300), 300);
    EXPECT_EQ(nearest_in_range(1, 1200, 0, 5000), 1200);
    EXPECT_EQ(nearest_in_range(50, 600, 100, 300), 350);
    EXPECT_EQ(nearest_in_range(100, 600, 100, 640), 600);
}

TEST(PrinterOptions, PaperNamesFromPwgMediaNames) {
    EXPECT_EQ(paper_name("iso_a4_210x297mm"), "A4");
    EXPECT_EQ(paper_name("na_letter_8.5x11in"), "Letter");
    EXPECT_EQ(paper_name("na_legal_8.5x14in"), "Legal");
    EXPECT_EQ(paper_name("custom_card_85x54mm"), "85 × 54 mm") << "the size it names";
    EXPECT_EQ(paper_name("oe_square-photo_5x5in"), "5 × 5 in");
    EXPECT_FALSE(paper_name("photo"));
    EXPECT_FALSE(paper_name("x_y_axbmm"));
    EXPECT_FALSE(paper_name("x_y_10x.mm"));
}

TEST(PrinterOptions, TidyKeepsOnlyRealChoices) {
    PrinterOptions options;
    options.papers = {{"iso_a4_210x297mm", "A4"}, {"iso_a4_210x297mm", "A4 (Borderless)"}};
    options.paper_default = "iso_a4_210x297mm";
    options.color_modes = {ColorMode::color, ColorMode::monochrome, ColorMode::color};
    options.color_default = ColorMode::color;
    options.qualities = {PrintQuality::normal};
    options.quality_default = PrintQuality::draft;  // not offered
    options.two_sided_default = true;               // without two-sided printing
    tidy(options);
    EXPECT_TRUE(options.papers.empty()) << "one paper is no choice";
    EXPECT_FALSE(options.paper_default);
    EXPECT_EQ(options.color_modes, (std::vector{ColorMode::color, ColorMode::monochrome}));
    EXPECT_EQ(options.color_default, ColorMode::color);
    EXPECT_TRUE(options.qualities.empty());
    EXPECT_FALSE(options.quality_default);
    EXPECT_FALSE(options.two_sided_default);
}

TEST(PrinterOptions, JobAttributesInIppTerms) {
    JobOptions job;
    EXPECT_EQ(job_attributes(job),
              (std::vector<std::pair<std::string, std::string>>{{"copies", "1"}, {"sides", "one-sided"}}));
    job.copies = 3;
    job.two_sided = true;
    job.pages = {{2, 3}, {7, 7}};
    job.paper = "iso_a4_210x297mm";
    job.orientation = Orientation::landscape;
    job.color_mode = ColorMode::monochrome;
    job.quality = PrintQuality::draft;
    job.pages_per_sheet = 4;
    job.collate = false;
    EXPECT_EQ(job_attributes(job),
              (std::vector<std::pair<std::string, std::string>>{
                  {"copies", "3"},
                  {"sides", "two-sided-long-edge"},
                  {"page-ranges", "2-3,7-7"},
                  {"media", "iso_a4_210x297mm"},
                  {"orientation-requested", "4"},
                  {"print-color-mode", "monochrome"},
                  {"print-quality", "3"},
                  {"number-up", "4"},
                  {"multiple-document-handling", "separate-documents-uncollated-copies"}}));
}

}  // namespace
}  // namespace os_actions::printing::detail

namespace os_actions::printing::detail {
namespace {

TEST(LocalServer, ThisMachineByAnyOfItsNames) {
    const std::vector<std::string> own{"127.0.0.1", "192.168.4.20", "::1", "fe80::5054:ff:fe12:3456%eth0",
                                       "2001:db8::20"};
    for (const char* server :
         {"/run/cups/cups.sock", "localhost", "LOCALHOST", "127.0.0.1", "127.1.2.3", "::1", "[::1]", "desk-7",
          "Desk-7", "desk-7.", "desk-7.local", "192.168.4.20", "fe80::5054:ff:fe12:3456", "[2001:DB8::20]"}) {
        EXPECT_TRUE(names_this_machine(server, "desk-7", own)) << server;
    }
    for (const char* server :
         {"office-server.test", "desk-70", "desk-7.example.com", "192.168.4.2", "2001:db8::21", "", "[]"}) {
        EXPECT_FALSE(names_this_machine(server, "desk-7", own)) << server;
    }
    EXPECT_FALSE(names_this_machine("desk-7", "", {}));
}

}  // namespace
}  // namespace os_actions::printing::detail
