#include "job_options.h"

#include <algorithm>
#include <array>
#include <utility>

namespace os_actions::printing {

namespace {

struct KnownPaper {
    std::string_view keyword;
    std::string_view name;
};

constexpr std::array kKnownPapers{
    KnownPaper{"iso_a3_297x420mm", "A3"},
    KnownPaper{"iso_a4_210x297mm", "A4"},
    KnownPaper{"iso_a5_148x210mm", "A5"},
    KnownPaper{"iso_a6_105x148mm", "A6"},
    KnownPaper{"iso_b5_176x250mm", "B5"},
    KnownPaper{"jis_b5_182x257mm", "B5 (JIS)"},
    KnownPaper{"na_letter_8.5x11in", "Letter"},
    KnownPaper{"na_legal_8.5x14in", "Legal"},
    KnownPaper{"na_executive_7.25x10.5in", "Executive"},
    KnownPaper{"na_ledger_11x17in", "Tabloid"},
    KnownPaper{"na_index-3x5_3x5in", "Index card 3 × 5 in"},
    KnownPaper{"na_index-4x6_4x6in", "Photo 4 × 6 in"},
    KnownPaper{"na_5x7_5x7in", "Photo 5 × 7 in"},
    KnownPaper{"na_govt-letter_8x10in", "Photo 8 × 10 in"},
    KnownPaper{"na_number-10_4.125x9.5in", "Envelope #10"},
    KnownPaper{"iso_dl_110x220mm", "Envelope DL"},
    KnownPaper{"iso_c5_162x229mm", "Envelope C5"},
    KnownPaper{"na_monarch_3.875x7.5in", "Envelope Monarch"},
    KnownPaper{"om_small-photo_100x150mm", "Photo 10 × 15 cm"},
    KnownPaper{"jpn_hagaki_100x148mm", "Postcard (Hagaki)"},
};

// "8.5" stays "8.5", "210" stays "210": only the digits and one point.
bool is_number(std::string_view text) {
    if (text.empty() || text.front() == '.' || text.back() == '.') {
        return false;
    }
    return std::ranges::all_of(text, [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
           std::ranges::count(text, '.') <= 1;
}

template <class T>
void unique_keep_order(std::vector<T>& values) {
    std::vector<T> seen;
    for (auto& value : values) {
        if (std::ranges::find(seen, value) == seen.end()) {
            seen.push_back(value);
        }
    }
    values = std::move(seen);
}

// A choice with fewer than two values is no choice (and has no default); a default outside the values is
// none.
template <class T, class D>
void settle(std::vector<T>& values, std::optional<D>& fallback) {
    unique_keep_order(values);
    if (fallback && std::ranges::find(values, *fallback) == values.end()) {
        fallback.reset();
    }
    if (values.size() < 2) {
        values.clear();
        fallback.reset();
    }
}

}  // namespace

std::optional<std::string> detail::paper_name(std::string_view keyword) {
    for (const auto& known : kKnownPapers) {
        if (known.keyword == keyword) {
            return std::string(known.name);
        }
    }
    // class_name_WxHunit: the last part names the size.
    const auto underscore = keyword.rfind('_');
    if (underscore == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view size = keyword.substr(underscore + 1);
    std::string_view unit;
    if (size.ends_with("mm")) {
        unit = "mm";
    } else if (size.ends_with("in")) {
        unit = "in";
    } else {
        return std::nullopt;
    }
    size.remove_suffix(2);
    const auto x = size.find('x');
    if (x == std::string_view::npos || !is_number(size.substr(0, x)) || !is_number(size.substr(x + 1))) {
        return std::nullopt;
    }
    return std::string(size.substr(0, x)) + " × " + std::string(size.substr(x + 1)) + " " + std::string(unit);
}

void detail::tidy(PrinterOptions& options) {
    std::vector<PaperSize> papers;
    for (auto& paper : options.papers) {
        if (std::ranges::find(papers, paper.keyword, &PaperSize::keyword) == papers.end()) {
            papers.push_back(std::move(paper));
        }
    }
    options.papers = std::move(papers);
    if (options.paper_default && std::ranges::find(options.papers, *options.paper_default,
                                                   &PaperSize::keyword) == options.papers.end()) {
        options.paper_default.reset();
    }
    if (options.papers.size() < 2) {
        options.papers.clear();
        options.paper_default.reset();
    }
    settle(options.orientations, options.orientation_default);
    settle(options.color_modes, options.color_default);
    settle(options.qualities, options.quality_default);
    settle(options.pages_per_sheet, options.pages_per_sheet_default);
    if (!options.two_sided) {
        options.two_sided_default = false;
    }
}

std::vector<std::pair<std::string, std::string>> job_attributes(const JobOptions& options) {
    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("copies", std::to_string(options.copies));
    out.emplace_back("sides", options.two_sided ? "two-sided-long-edge" : "one-sided");
    if (!options.pages.empty()) {
        std::string ranges;
        for (const auto& range : options.pages) {
            ranges +=
                (ranges.empty() ? "" : ",") + std::to_string(range.first) + "-" + std::to_string(range.last);
        }
        out.emplace_back("page-ranges", std::move(ranges));
    }
    if (options.paper) {
        out.emplace_back("media", *options.paper);
    }
    if (options.orientation) {
        out.emplace_back("orientation-requested", std::to_string(static_cast<int>(*options.orientation)));
    }
    if (options.color_mode) {
        out.emplace_back("print-color-mode",
                         *options.color_mode == ColorMode::color ? "color" : "monochrome");
    }
    if (options.quality) {
        out.emplace_back("print-quality", std::to_string(static_cast<int>(*options.quality)));
    }
    if (options.pages_per_sheet) {
        out.emplace_back("number-up", std::to_string(*options.pages_per_sheet));
    }
    if (options.collate) {
        out.emplace_back("multiple-document-handling", *options.collate
                                                           ? "separate-documents-collated-copies"
                                                           : "separate-documents-uncollated-copies");
    }
    return out;
}

}  // namespace os_actions::printing
