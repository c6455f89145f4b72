#include "sample.h"

#include <chrono>
#include <cstdint>
#include <ctime>

#include "scan/page_image.h"
#include "views/common.h"
#include "views/views.h"

namespace presswick::sample {

namespace printing = os_actions::printing;

namespace {

struct Colour {
    std::uint8_t r, g, b;
};

// A flat RGBA canvas; rectangles are given by their inclusive corners.
class Canvas {
  public:
    Canvas(std::uint32_t width, std::uint32_t height, Colour background)
        : m_width(width), m_height(height), m_rgba(std::size_t{width} * height * 4) {
        fill(0, 0, width - 1, height - 1, background);
    }
    void fill(std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1, Colour colour) {
        for (std::uint32_t y = y0; y <= y1 && y < m_height; ++y) {
            for (std::uint32_t x = x0; x <= x1 && x < m_width; ++x) {
                auto* pixel = &m_rgba[(std::size_t{y} * m_width + x) * 4];
                pixel[0] = colour.r;
                pixel[1] = colour.g;
                pixel[2] = colour.b;
                pixel[3] = 255;
            }
        }
    }
    [[nodiscard]] std::shared_ptr<const std::vector<std::uint8_t>> take() {
        return std::make_shared<const std::vector<std::uint8_t>>(std::move(m_rgba));
    }

  private:
    std::uint32_t m_width;
    std::uint32_t m_height;
    std::vector<std::uint8_t> m_rgba;
};

// Noon of the local day `days_ago` days before today.
std::chrono::system_clock::time_point days_ago(int days) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_mday -= days;
    local.tm_hour = 12;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

printing::PrintJob job(std::string id, std::string title, std::chrono::system_clock::time_point time,
                       std::uint32_t done, std::uint32_t total, printing::JobState state) {
    printing::PrintJob sample;
    sample.id = std::move(id);
    sample.queue = "Studio_printer";
    sample.title = std::move(title);
    sample.pages_done = done;
    sample.pages_total = total;
    sample.time = time;
    sample.state = state;
    sample.owner = "wren";
    return sample;
}

}  // namespace

DeviceSnapshot snapshot() {
    printing::PrintQueue printer;
    printer.name = "Studio_printer";
    printer.is_default = true;
    printer.accepting = true;
    printer.state = printing::QueueState::printing;
    printer.answered = true;
    printer.supplies = std::vector<printing::Supply>{{"Black", "#111111", 72}, {"Colour", std::nullopt, 64}};
    return DeviceSnapshot{
        std::vector<printing::PrintQueue>{printer},
        std::vector<printing::PrintJob>{
            job("Studio_printer-42", "Travel itinerary.pdf", days_ago(0), 8, 12,
                printing::JobState::in_progress),
            job("Studio_printer-41", "Shipping labels.pdf", days_ago(1), 2, 2, printing::JobState::printed)},
        std::vector<printing::Scanner>{{"scanner0", "Studio scanner"}},
    };
}

std::vector<printing::DriverlessPrinter> discovered_printers() {
    return {
        {"ipps://studio-printer.local:631/ipp/print", "Studio printer", "Upstairs workspace"},
        {"ipps://office-laser.local:631/ipp/print", "Office laser", "Downstairs office"},
    };
}

PreviewImage print_preview_image() {
    Canvas page(320, 420, {248, 248, 246});
    page.fill(24, 28, 295, 87, {44, 91, 162});
    constexpr std::uint32_t widths[] = {238, 260, 214, 248, 176, 226};
    for (std::uint32_t i = 0; i < 6; ++i) {
        const std::uint32_t y = 126 + 38 * i;
        page.fill(28, y, 28 + widths[i] - 1, y + 6, {54, 59, 68});
    }
    return PreviewImage{page.take(), 320, 420, 3, 1};
}

// What the sample printer offers: a driverless colour printer that prints on both sides.
printing::PrinterOptions printer_offers() {
    printing::PrinterOptions offers;
    offers.page_ranges = true;
    offers.papers = {
        {"iso_a4_210x297mm", "A4"}, {"na_letter_8.5x11in", "Letter"}, {"na_legal_8.5x14in", "Legal"}};
    offers.paper_default = "iso_a4_210x297mm";
    offers.orientations = {printing::Orientation::portrait, printing::Orientation::landscape};
    offers.color_modes = {printing::ColorMode::color, printing::ColorMode::monochrome};
    offers.qualities = {printing::PrintQuality::draft, printing::PrintQuality::normal,
                        printing::PrintQuality::high};
    offers.pages_per_sheet = {1, 2, 4, 6, 9, 16};
    offers.two_sided = true;
    offers.collate = true;
    return offers;
}

ScannedPage receipt_page() {
    constexpr Colour ink{45, 51, 65};
    Canvas image(320, 440, {196, 198, 202});
    image.fill(4, 4, 315, 435, {250, 248, 243});
    image.fill(34, 38, 237, 53, ink);
    for (std::uint32_t y : {92U, 119U, 146U, 198U, 225U, 252U, 306U}) {
        image.fill(34, y, 285, y + 2, ink);
    }
    image.fill(30, 328, 289, 365, {224, 235, 255});
    ScannedPage page;
    page.pixels = image.take();
    page.width = 320;
    page.height = 440;
    page.encoded = scan::encode_png(*page.pixels, page.width, page.height)
                       .value_or(std::make_shared<const std::vector<std::uint8_t>>());
    page.text = "Travel receipt\nCoffee and breakfast  €12.40\nMonday, 7 September";
    page.status = views::fill(
        // TRANSLATORS: English says "words" for every count, one included; give each form its own words.
        kora_ui::trn("Recognized {} words.", "Recognized {} words.", 8), 8);
    page.language = "English";
    return page;
}

std::unique_ptr<Presswick> new_surface_state(int surface_number) {
    // The builders read the state's channel and cells, so the root exists before its view.
    auto state = std::make_unique<Presswick>(views::build_loading_view());
    auto sample = snapshot();
    auto& printers = *sample.printers;
    auto& jobs = *sample.jobs;
    switch (surface_number) {
        case 1:
            state->install(views::build_dashboard_view(sample, *state, std::nullopt));
            break;
        case 2:
            printers[0].accepting = false;
            printers[0].state = printing::QueueState::paused;
            printers[0].state_reasons = {"media-empty-warning"};
            jobs[0].state = printing::JobState::needs_attention;
            state->install(views::build_dashboard_view(sample, *state, std::nullopt));
            break;
        case 3:
            state->install(views::build_first_run_view());
            break;
        case 4:
            state->install(views::build_queue_view(sample, *state, std::nullopt, std::nullopt),
                           surface::shown::Queue{});
            break;
        case 5:
            if (printers.empty()) {
                state->install(views::build_dashboard_view(sample, *state, std::nullopt));
            } else {
                state->install(views::build_device_view(printers[0], *state),
                               surface::shown::Device{printers[0].name});
            }
            break;
        case 6:
            state->install(views::build_discovery_view(views::DiscoveryResult(discovered_printers()), *state),
                           surface::shown::Discovery{views::DiscoveryResult(discovered_printers())});
            break;
        case 7:
            state->print_document = "Travel itinerary.pdf";
            state->print_printer = "Studio_printer";
            state->preview = PrintPreview::ready(print_preview_image());
            (void)state->copies.publish(1.0);
            (void)state->two_sided.publish(true);
            (void)state->print_paper.publish("iso_a4_210x297mm");
            (void)state->print_quality.publish(1);
            state->print_options = Presswick::OfferedOptions{"Studio_printer", printer_offers()};
            state->install(views::build_print_view(sample, *state->print_document, state->preview,
                                                   state->print_printer, *state),
                           surface::shown::PrintDialog{});
            break;
        case 8:
            // The sample stays the state's, so that choosing the scanner shows it chosen.
            state->snapshot = sample;
            state->install(views::build_scan_view(sample, *state), surface::shown::Scan{});
            break;
        case 9: {
            state->scan_scanner = "scanner0";
            auto page = receipt_page();
            state->pages = {page};
            state->current_page = page;
            state->current_index = 0;
            state->install(views::build_scan_view(sample, *state), surface::shown::Scan{});
            break;
        }
        case 10:
            state->install(views::build_history_view(sample, *state), surface::shown::History{});
            break;
        case 11:
            state->install(views::build_diagnostics_view(sample, *state), surface::shown::Diagnostics{});
            break;
        case 12: {
            const DeviceSnapshot failed{std::unexpected("service unavailable"),
                                        std::unexpected("service unavailable"),
                                        std::unexpected("service unavailable")};
            state->install(views::build_dashboard_view(failed, *state, std::nullopt));
            break;
        }
        default:
            printers[0].state = printing::QueueState::idle;
            jobs[0].state = printing::JobState::printed;
            jobs[0].pages_done = jobs[0].pages_total;
            state->install(views::build_dashboard_view(sample, *state, std::nullopt));
            break;
    }
    return state;
}

}  // namespace presswick::sample
