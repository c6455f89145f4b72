#include "scan/scan_worker.h"

#include <utility>

#include "scan/page_image.h"
#include "scan/page_text.h"
#include "workers.h"

namespace presswick::scan {

namespace {

std::string scan_status(const std::expected<RecognizedText, RecognitionFailure>& recognized) {
    if (recognized) {
        return recognized->status;
    }
    return recognized.error() == RecognitionFailure::engine_missing
               ? "Text recognition is not installed; the scanned page is still ready."
               : "Text could not be recognized; the scanned page is still ready.";
}

std::expected<ScannedPage, std::string> scan_one_page(const ScanRequest& request) {
    auto scanned = os_actions::printing::scan_page(request.scanner_id, request.settings);
    if (!scanned) {
        return std::unexpected(std::move(scanned.error()));
    }
    if (!*scanned) {
        return std::unexpected(std::string("the scanner returned no image"));
    }
    auto decoded = decode_page_image(**scanned);
    if (!decoded) {
        return std::unexpected(std::move(decoded.error()));
    }
    ScannedPage page;
    page.pixels = to_rgba(*decoded);
    page.width = decoded->width;
    page.height = decoded->height;
    // Recognition reads the image as decoded, not the RGBA copy.
    auto recognized = recognize_text({decoded->samples(), decoded->width, decoded->height, decoded->channels},
                                     request.language_code);
    page.status = scan_status(recognized);
    if (recognized) {
        page.text = std::move(recognized->text);
        page.words = std::move(recognized->words);
    }
    page.language = request.language_name;
    page.encoded = std::move(*scanned);
    return page;
}

std::expected<RecognizedText, std::string> recognize_again(const std::string& language, const Bytes& pixels,
                                                           std::uint32_t width, std::uint32_t height) {
    const std::size_t needed = std::size_t{width} * height * 4;
    if (!pixels || pixels->size() < needed) {
        return std::unexpected(std::string("The scanned page pixels were incomplete."));
    }
    const std::string_view code = RecognitionLanguage::code_for_english_name(language);
    auto recognized = recognize_text({std::span(*pixels).first(needed), width, height, 4}, code);
    if (!recognized) {
        return std::unexpected(std::string("Text could not be recognized on this page."));
    }
    return std::move(*recognized);
}

}  // namespace

bool start_scan_worker(kora_ui::Sender<Operation> sender, ScanRequest request) {
    return workers::spawn_worker("kora-scan-document",
                                 [sender = std::move(sender), request = std::move(request)]() {
                                     (void)sender.send(PageScanned{scan_one_page(request)});
                                 });
}

bool start_recognition_worker(kora_ui::Sender<Operation> sender, const ScannedPage& page) {
    // The encoded buffer travels with the worker and then with its outcome: the key stays unique until the
    // outcome has been applied.
    return workers::spawn_worker(
        "kora-recognize-scanned-page",
        [sender = std::move(sender), language = page.language, pixels = page.pixels, key = page.encoded,
         width = page.width, height = page.height]() {
            (void)sender.send(PageRecognized{key, recognize_again(language, pixels, width, height)});
        });
}

}  // namespace presswick::scan
