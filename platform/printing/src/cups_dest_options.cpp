// What a queue's printer offers for a job, asked of the printer through cupsd (cupsCopyDestInfo): its
// supported values and defaults, never the driver files, so driverless printers show what they can do.
#include <cups/cups.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

#include "cups_auth.h"
#include "cups_client.h"
#include "cups_handles.h"
#include "job_options.h"

namespace os_actions::printing::cups {

namespace {

// One queue's destination and its information, with the questions asked of them.
class Dest {
  public:
    Dest(http_t* http, Destination dest, DestinationInfo info)
        : m_http(http), m_dest(std::move(dest)), m_info(std::move(info)) {}

    [[nodiscard]] ipp_attribute_t* supported(const char* option) const {
        return cupsFindDestSupported(m_http, m_dest.get(), m_info.get(), option);
    }
    [[nodiscard]] std::vector<std::string> keywords(const char* option) const {
        std::vector<std::string> out;
        if (auto* attr = supported(option)) {
            for (int i = 0; i < ippGetCount(attr); ++i) {
                if (const char* value = ippGetString(attr, i, nullptr)) {
                    out.emplace_back(value);
                }
            }
        }
        return out;
    }
    [[nodiscard]] std::vector<int> integers(const char* option) const {
        std::vector<int> out;
        auto* attr = supported(option);
        if (!attr) {
            return out;
        }
        for (int i = 0; i < ippGetCount(attr); ++i) {
            if (ippGetValueTag(attr) == IPP_TAG_RANGE) {
                int upper = 0;
                const int lower = ippGetRange(attr, i, &upper);
                for (const int common : {1, 2, 4, 6, 9, 16}) {
                    if (common >= lower && common <= upper) {
                        out.push_back(common);
                    }
                }
            } else {
                out.push_back(ippGetInteger(attr, i));
            }
        }
        return out;
    }
    // The user's own setting for the queue (lpoptions) first, then the printer's default.
    [[nodiscard]] std::optional<std::string> default_text(const char* option) const {
        if (const char* own = cupsGetOption(option, m_dest->num_options, m_dest->options)) {
            return std::string(own);
        }
        auto* attr = cupsFindDestDefault(m_http, m_dest.get(), m_info.get(), option);
        if (!attr || ippGetCount(attr) < 1) {
            return std::nullopt;
        }
        switch (ippGetValueTag(attr)) {
            case IPP_TAG_INTEGER:
            case IPP_TAG_ENUM:
                return std::to_string(ippGetInteger(attr, 0));
            case IPP_TAG_KEYWORD:
            case IPP_TAG_NAME:
            case IPP_TAG_TEXT: {
                const char* value = ippGetString(attr, 0, nullptr);
                return value ? std::optional<std::string>(value) : std::nullopt;
            }
            default:
                return std::nullopt;  // "none" and other out-of-band values
        }
    }
    [[nodiscard]] std::optional<int> default_integer(const char* option) const {
        const auto text = default_text(option);
        if (!text || text->empty() ||
            !std::ranges::all_of(*text, [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        return std::atoi(text->c_str());
    }
    [[nodiscard]] std::vector<PaperSize> papers() const {
        std::vector<PaperSize> out;
        const int count = cupsGetDestMediaCount(m_http, m_dest.get(), m_info.get(), CUPS_MEDIA_FLAGS_DEFAULT);
        for (int i = 0; i < count; ++i) {
            cups_size_t size{};
            if (!cupsGetDestMediaByIndex(m_http, m_dest.get(), m_info.get(), i, CUPS_MEDIA_FLAGS_DEFAULT,
                                         &size)) {
                continue;
            }
            auto name = detail::paper_name(size.media);
            if (!name) {
                const char* localized = cupsLocalizeDestMedia(m_http, m_dest.get(), m_info.get(),
                                                              CUPS_MEDIA_FLAGS_DEFAULT, &size);
                name = std::string(localized && *localized ? localized : size.media);
            }
            out.push_back({size.media, std::move(*name)});
        }
        return out;
    }

  private:
    http_t* m_http;
    Destination m_dest;
    DestinationInfo m_info;
};

bool has(const std::vector<std::string>& values, std::string_view wanted) {
    return std::ranges::find(values, wanted) != values.end();
}

PrinterOptions read_options(const Dest& dest) {
    PrinterOptions options;
    if (auto* ranges = dest.supported("page-ranges")) {
        options.page_ranges = ippGetValueTag(ranges) != IPP_TAG_BOOLEAN || ippGetBoolean(ranges, 0);
    }
    options.papers = dest.papers();
    options.paper_default = dest.default_text("media");

    for (const int value : dest.integers("orientation-requested")) {
        if (value == 3 || value == 4) {
            options.orientations.push_back(static_cast<Orientation>(value));
        }
    }
    const auto orientation = dest.default_integer("orientation-requested");
    options.orientation_default = orientation == 4 ? Orientation::landscape : Orientation::portrait;

    const auto colours = dest.keywords("print-color-mode");
    if (has(colours, "color")) {
        options.color_modes.push_back(ColorMode::color);
    }
    if (has(colours, "monochrome")) {
        options.color_modes.push_back(ColorMode::monochrome);
    }
    if (const auto colour = dest.default_text("print-color-mode")) {
        options.color_default = *colour == "monochrome" ? ColorMode::monochrome : ColorMode::color;
    }

    for (const int value : dest.integers("print-quality")) {
        if (value >= 3 && value <= 5) {
            options.qualities.push_back(static_cast<PrintQuality>(value));
        }
    }
    std::ranges::sort(options.qualities);
    if (const auto quality = dest.default_integer("print-quality");
        quality && *quality >= 3 && *quality <= 5) {
        options.quality_default = static_cast<PrintQuality>(*quality);
    }

    constexpr std::array kPerSheet{1, 2, 4, 6, 9, 16};
    for (const int value : dest.integers("number-up")) {
        if (std::ranges::find(kPerSheet, value) != kPerSheet.end()) {
            options.pages_per_sheet.push_back(static_cast<std::uint8_t>(value));
        }
    }
    std::ranges::sort(options.pages_per_sheet);
    if (const auto up = dest.default_integer("number-up");
        up && std::ranges::find(kPerSheet, *up) != kPerSheet.end()) {
        options.pages_per_sheet_default = static_cast<std::uint8_t>(*up);
    }

    const auto sides = dest.keywords("sides");
    options.two_sided = has(sides, "two-sided-long-edge");
    const auto side_default = dest.default_text("sides");
    options.two_sided_default = side_default && side_default->starts_with("two-sided");

    const auto handling = dest.keywords("multiple-document-handling");
    options.collate = has(handling, "separate-documents-collated-copies") &&
                      has(handling, "separate-documents-uncollated-copies");
    options.collate_default =
        dest.default_text("multiple-document-handling") != "separate-documents-uncollated-copies";
    detail::tidy(options);
    return options;
}

}  // namespace

Result<PrinterOptions> printer_options(const std::string& queue) {
    auto http = connect_server();
    if (!http) {
        return std::unexpected(http.error());
    }
    const OneSignIn sign_in;
    Destination dest(cupsGetNamedDest(http->get(), queue.c_str(), nullptr));
    if (!dest) {
        return failure(failure_of(cupsLastError(), "No printer " + queue + ": " + last_error()).message);
    }
    DestinationInfo info(cupsCopyDestInfo(http->get(), dest.get()));
    if (!info) {
        return failure(
            failure_of(cupsLastError(), "Could not read what " + queue + " offers: " + last_error()).message);
    }
    return read_options(Dest(http->get(), std::move(dest), std::move(info)));
}

}  // namespace os_actions::printing::cups
