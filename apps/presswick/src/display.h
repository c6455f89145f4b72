// Display helpers shared by views, notices and the action contract.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "printing/printing.h"

namespace presswick {

// "_" and "-" become spaces, then the words are joined with single spaces: Studio_printer → Studio printer.
[[nodiscard]] std::string display_name(std::string_view text);
// The job's title, or "Document {}" with the part of the id after its last "-".
[[nodiscard]] std::string document_title(const os_actions::printing::PrintJob& job);
// Scanners that share a name get their device after it, "Noname frontend-tester (test:1)", so that
// every list and line that names them tells them apart.
void tell_scanners_apart(std::vector<os_actions::printing::Scanner>& scanners);
// When a document was sent or finished: "today", "yesterday", else a short date ("3 Dec", with the year
// when it is not the current one), all in local time.
[[nodiscard]] std::string day_label(std::chrono::system_clock::time_point when,
                                    std::chrono::system_clock::time_point now);
// Whether the printer's toggle pauses it: only when it is neither paused nor refusing documents.
[[nodiscard]] bool offers_pause(const os_actions::printing::PrintQueue& printer);

}  // namespace presswick
