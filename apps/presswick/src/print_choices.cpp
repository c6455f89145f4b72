#include "print_choices.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "views/common.h"

namespace presswick {

namespace printing = os_actions::printing;

namespace {

constexpr std::uint32_t kOpenEnd = std::numeric_limits<std::int32_t>::max();
constexpr const char* kSyntax = N_("Enter pages such as 1-3, 5, 8-");

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint32_t> page_number(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > kOpenEnd) {
        return std::nullopt;
    }
    return value;
}

template <class T>
std::optional<std::size_t> position_of(const std::vector<T>& values, const T& wanted) {
    const auto it = std::ranges::find(values, wanted);
    return it == values.end() ? std::nullopt : std::optional<std::size_t>(it - values.begin());
}

}  // namespace

std::expected<std::vector<printing::PageRange>, std::string> parse_page_ranges(std::string_view text,
                                                                               std::uint32_t pages) {
    std::vector<printing::PageRange> ranges;
    if (trimmed(text).empty()) {
        return ranges;
    }
    bool beyond = false;
    while (true) {
        const auto comma = text.find(',');
        const auto part = trimmed(text.substr(0, comma));
        const auto dash = part.find('-');
        std::optional<std::uint32_t> first, last;
        if (dash == std::string_view::npos) {
            first = last = page_number(part);
        } else {
            first = page_number(trimmed(part.substr(0, dash)));
            const auto end = trimmed(part.substr(dash + 1));
            last = end.empty() ? std::optional(pages > 0 ? std::max(pages, *first) : kOpenEnd)
                               : page_number(end);
            if (!first) {
                last.reset();
            }
        }
        if (!first || !last || *last < *first) {
            return std::unexpected(std::string(kora_ui::tr(kSyntax)));
        }
        beyond = beyond || (pages > 0 && *last > pages);
        ranges.push_back({*first, *last});
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (beyond) {
        return std::unexpected(views::fill(kora_ui::tr("Pages go from 1 to {}"), std::to_string(pages)));
    }
    // The printer wants them ascending and apart.
    std::ranges::sort(ranges, {}, &printing::PageRange::first);
    std::vector<printing::PageRange> merged;
    for (const auto& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().last + 1) {
            merged.back().last = std::max(merged.back().last, range.last);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

std::string quality_label(printing::PrintQuality quality) {
    switch (quality) {
        case printing::PrintQuality::draft:
            return kora_ui::tr("Draft");
        case printing::PrintQuality::normal:
            return kora_ui::tr("Normal");
        case printing::PrintQuality::high:
            break;
    }
    return kora_ui::tr("Best");
}

std::expected<printing::JobOptions, std::string> job_options(
    const PrintCells& cells, const std::optional<printing::PrinterOptions>& offered, std::uint16_t copies,
    std::uint32_t document_pages) {
    printing::JobOptions job;
    job.copies = copies;
    job.two_sided = cells.two_sided;
    if (!offered) {
        return job;
    }
    job.two_sided = cells.two_sided && offered->two_sided;
    if (offered->page_ranges) {
        auto pages = parse_page_ranges(cells.pages, document_pages);
        if (!pages) {
            return std::unexpected(pages.error());
        }
        job.pages = std::move(*pages);
    }
    if (std::ranges::find(offered->papers, cells.paper, &printing::PaperSize::keyword) !=
        offered->papers.end()) {
        job.paper = cells.paper;
    }
    const auto orientation =
        cells.orientation == 1 ? printing::Orientation::landscape : printing::Orientation::portrait;
    if (position_of(offered->orientations, orientation)) {
        job.orientation = orientation;
    }
    const auto colour = cells.colour == 1 ? printing::ColorMode::monochrome : printing::ColorMode::color;
    if (position_of(offered->color_modes, colour)) {
        job.color_mode = colour;
    }
    if (cells.quality < offered->qualities.size()) {
        job.quality = offered->qualities[cells.quality];
    }
    for (const auto up : offered->pages_per_sheet) {
        if (std::to_string(up) == cells.per_sheet) {
            job.pages_per_sheet = up;
        }
    }
    if (offered->collate && copies > 1) {
        job.collate = cells.collate;
    }
    return job;
}

PrintCells cells_for(const printing::PrinterOptions& offered, const std::optional<printing::JobOptions>& keep,
                     std::string pages) {
    PrintCells cells{std::move(pages), {}, 0, 0, 0, "1", offered.collate_default, offered.two_sided_default};
    auto kept = [&keep](auto member, const auto& supported) {
        using Value = std::remove_cvref_t<decltype(*((*keep).*member))>;
        std::optional<Value> value;
        if (keep && ((*keep).*member) &&
            std::ranges::find(supported, *((*keep).*member)) != supported.end()) {
            value = *((*keep).*member);
        }
        return value;
    };
    std::vector<std::string> paper_keywords;
    for (const auto& paper : offered.papers) {
        paper_keywords.push_back(paper.keyword);
    }
    cells.paper =
        kept(&printing::JobOptions::paper, paper_keywords)
            .value_or(offered.paper_default.value_or(paper_keywords.empty() ? "" : paper_keywords.front()));
    const auto orientation =
        kept(&printing::JobOptions::orientation, offered.orientations)
            .value_or(offered.orientation_default.value_or(printing::Orientation::portrait));
    cells.orientation = orientation == printing::Orientation::landscape ? 1 : 0;
    const auto colour = kept(&printing::JobOptions::color_mode, offered.color_modes)
                            .value_or(offered.color_default.value_or(printing::ColorMode::color));
    cells.colour = colour == printing::ColorMode::monochrome ? 1 : 0;
    if (const auto quality = kept(&printing::JobOptions::quality, offered.qualities).or_else([&] {
            return offered.quality_default;
        })) {
        cells.quality = position_of(offered.qualities, *quality).value_or(0);
    } else {
        cells.quality = position_of(offered.qualities, printing::PrintQuality::normal).value_or(0);
    }
    const auto up = kept(&printing::JobOptions::pages_per_sheet, offered.pages_per_sheet)
                        .value_or(offered.pages_per_sheet_default.value_or(1));
    cells.per_sheet = std::to_string(up);
    if (keep && keep->collate && offered.collate) {
        cells.collate = *keep->collate;
    }
    if (keep && offered.two_sided) {
        cells.two_sided = keep->two_sided;
    } else if (!offered.two_sided) {
        cells.two_sided = false;
    }
    return cells;
}

}  // namespace presswick
