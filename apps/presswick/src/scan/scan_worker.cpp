#include "scan/scan_worker.h"
#include "kora_ui/translate.h"

#include <condition_variable>
#include <deque>
#include <mutex>
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
               ? kora_ui::tr("Text recognition is not installed; the scanned page is still ready.")
               : kora_ui::tr("Text could not be recognized; the scanned page is still ready.");
}

using os_actions::printing::ScanEnd;

// Pages from the scanning thread to the recognising one, in the order they arrived, then the scan's end.
class PageQueue {
  public:
    void push(Bytes page) {
        {
            std::lock_guard lock(m_mutex);
            m_pages.push_back(std::move(page));
        }
        m_changed.notify_one();
    }
    void close(std::expected<ScanEnd, std::string> end) {
        {
            std::lock_guard lock(m_mutex);
            m_end = std::move(end);
        }
        m_changed.notify_one();
    }
    // The next page, or nothing once the scan has ended and every page has been taken.
    std::optional<Bytes> pop() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pages.empty() || m_end.has_value(); });
        if (m_pages.empty()) {
            return std::nullopt;
        }
        Bytes page = std::move(m_pages.front());
        m_pages.pop_front();
        return page;
    }
    std::expected<ScanEnd, std::string> end() {
        std::lock_guard lock(m_mutex);
        return m_end.value_or(std::unexpected(std::string("the scan did not end")));
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Bytes> m_pages;
    std::optional<std::expected<ScanEnd, std::string>> m_end;
};

std::expected<ScannedPage, std::string> page_from(Bytes scanned, const ScanRequest& request) {
    if (!scanned) {
        return std::unexpected(std::string("the scanner returned no image"));
    }
    auto decoded = decode_page_image(*scanned);
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
    page.encoded = std::move(scanned);
    return page;
}

std::expected<RecognizedText, std::string> recognize_again(const std::string& language, const Bytes& pixels,
                                                           std::uint32_t width, std::uint32_t height) {
    const std::size_t needed = std::size_t{width} * height * 4;
    if (!pixels || pixels->size() < needed) {
        return std::unexpected(std::string(kora_ui::tr("The scanned page pixels were incomplete.")));
    }
    const std::string_view code = RecognitionLanguage::code_for_english_name(language);
    auto recognized = recognize_text({std::span(*pixels).first(needed), width, height, 4}, code);
    if (!recognized) {
        return std::unexpected(std::string(kora_ui::tr("Text could not be recognized on this page.")));
    }
    return std::move(*recognized);
}

}  // namespace

bool start_scan_worker(kora_ui::Sender<Operation> sender, ScanRequest request, std::stop_token stop) {
    return workers::spawn_worker("kora-scan-document", [sender = std::move(sender),
                                                        request = std::move(request),
                                                        stop = std::move(stop)]() {
        auto queue = std::make_shared<PageQueue>();
        const auto post_pages = [sender, queue, request]() {
            while (auto page = queue->pop()) {
                (void)sender.send(PageScanned{page_from(std::move(*page), request), true, request.serial});
            }
            (void)sender.send(ScanEnded{queue->end(), request.serial});
        };
        // Recognition beside the scan, so the next sheet is read meanwhile; after it when no thread is left.
        const bool beside = workers::spawn_worker("kora-scan-pages", post_pages);
        queue->close(os_actions::printing::scan_pages(
            request.scanner_id, request.settings, [&queue](Bytes page) { queue->push(std::move(page)); },
            stop));
        if (!beside) {
            post_pages();
        }
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
