// The print dialog's choices: the page ranges typed in "Pages", and the dialog's cells as the job's
// options for what the chosen printer offers. Pure, so the rules are unit-tested on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printing/printing.h"

namespace presswick {

// "1-3, 5, 8-" as ascending ranges without overlaps (empty or only spaces: every page). With a known
// page count (`pages` > 0) an open range ends at the last page and a page past it is refused with
// "Pages go from 1 to {}"; otherwise an open range ends at 2147483647. A text that is no list of pages
// is refused with "Enter pages such as 1-3, 5, 8-".
[[nodiscard]] std::expected<std::vector<os_actions::printing::PageRange>, std::string> parse_page_ranges(
    std::string_view text, std::uint32_t pages);

// The segment labels of a quality.
[[nodiscard]] std::string quality_label(os_actions::printing::PrintQuality quality);

// What the dialog's cells hold, beside copies and both sides.
struct PrintCells {
    std::string pages;        // as typed
    std::string paper;        // a paper keyword
    std::size_t orientation;  // 0 portrait, 1 landscape
    std::size_t colour;       // 0 colour, 1 black and white
    std::size_t quality;      // a position in the printer's qualities
    std::string per_sheet;    // "1", "2", ...
    bool collate;
    bool two_sided;
    bool operator==(const PrintCells&) const = default;
};

// The job's options from the cells, for what `offered` offers (nothing offered: copies and sides only;
// a choice the printer does not offer is left to it). Fails with the pages caption when the pages typed
// do not do; `document_pages` is the page count, 0 when unknown.
[[nodiscard]] std::expected<os_actions::printing::JobOptions, std::string> job_options(
    const PrintCells& cells, const std::optional<os_actions::printing::PrinterOptions>& offered,
    std::uint16_t copies, std::uint32_t document_pages);

// The cells for a printer that offers `offered`: each choice in `keep` that it also offers, the
// printer's default for the others; the pages typed stay as they are.
[[nodiscard]] PrintCells cells_for(const os_actions::printing::PrinterOptions& offered,
                                   const std::optional<os_actions::printing::JobOptions>& keep,
                                   std::string pages);

}  // namespace presswick
