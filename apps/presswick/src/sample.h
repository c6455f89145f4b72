// The built-in sample data set, and the states the named surfaces open on.
#pragma once

#include <memory>
#include <vector>

#include "preview.h"
#include "printing/printing.h"
#include "scan/scanned_page.h"
#include "snapshot.h"
#include "surface/presswick.h"

namespace presswick::sample {

// One printer "Studio_printer", the documents "Studio_printer-42" and "-41", the scanner "scanner0".
[[nodiscard]] DeviceSnapshot snapshot();
// "Studio printer" at "Upstairs workspace" and "Office laser" at "Downstairs office".
[[nodiscard]] std::vector<os_actions::printing::DriverlessPrinter> discovered_printers();
// The 320 × 420 flat-colour page of the print dialog's ready preview.
[[nodiscard]] PreviewImage print_preview_image();
// The 320 × 440 receipt page with its three lines of recognised text.
[[nodiscard]] ScannedPage receipt_page();

// The root state for a surface number 0..12 (as the surface table numbers them): sample data, no
// snapshot kept, no refresh started.
[[nodiscard]] std::unique_ptr<Presswick> new_surface_state(int surface_number);

}  // namespace presswick::sample
