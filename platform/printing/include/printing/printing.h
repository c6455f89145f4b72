// os_actions::printing: the print and scan service as the program sees it.
// Records, the Service interface behind the free functions, and the functions themselves.
#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace os_actions::printing {

template <class T>
using Result = std::expected<T, std::string>;

// The failure of an operation on the print server, typed so that callers act on its kind, never on its
// words: refused for want of rights, credentials wanted by a server elsewhere, the credentials offered
// refused, or anything else. `message` is the service's own readable words.
struct ServiceError {
    enum class Kind : std::uint8_t { failed, not_permitted, credentials_wanted, credentials_refused };
    Kind kind = Kind::failed;
    std::string server;  // the server that asks for credentials (credentials_wanted), else empty
    std::string message;
    // Any other failure is its words alone.
    ServiceError(std::string text) : message(std::move(text)) {}  // NOLINT(google-explicit-constructor)
    ServiceError(Kind kind, std::string server, std::string message)
        : kind(kind), server(std::move(server)), message(std::move(message)) {}
    bool operator==(const ServiceError&) const = default;
};
// Its message, for logs and test output.
std::ostream& operator<<(std::ostream& out, const ServiceError& error);

using OperationResult = std::expected<void, ServiceError>;

using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// What a scan reads: true colour, grey tones, or black and white for text. The numbers go to the scan
// helper on its command line.
enum class ScanColourMode : std::uint8_t { colour, grayscale, text };
// Where it reads from: the flatbed, the document feeder (one side of each sheet), or both sides.
enum class ScanSource : std::uint8_t { flatbed, feeder, two_sided };

struct ScanSettings {
    std::uint16_t resolution_dpi = 300;  // 150, 300 or 600
    ScanColourMode colour_mode = ScanColourMode::colour;
    ScanSource source = ScanSource::flatbed;
    bool operator==(const ScanSettings&) const = default;
};

// How a scan of one press ended: every page scanned (one from the flatbed, the whole feeder otherwise),
// a feeder that held no sheet at the start, or a stop asked for by the caller.
enum class ScanEnd : std::uint8_t { done, feeder_empty, cancelled };
// Receives each page of a scan as soon as it has arrived, on the scanning thread.
using PageSink = std::function<void(Bytes)>;

struct Supply {
    std::string name;
    std::optional<std::string> colour;                     // such as "#111111"
    std::optional<std::uint8_t> level;                     // percent, absent when not reported
    std::optional<std::uint8_t> low_level = std::nullopt;  // the level its printer calls low, when it says
    // At or below the level its printer calls low.
    [[nodiscard]] bool is_low() const { return level && low_level && *level <= *low_level; }
    bool operator==(const Supply&) const = default;
};

enum class QueueState : std::uint8_t { idle, printing, paused, unreachable };

struct PrintQueue {
    std::string name;
    std::optional<std::vector<Supply>> supplies;  // absent when the queue reports none
    bool is_default = false;
    bool accepting = true;
    bool answered = true;  // answered the latest status check
    QueueState state = QueueState::idle;
    std::vector<std::string> state_reasons;  // keywords, never "none"
    bool operator==(const PrintQueue&) const = default;
};

// A job's state as the records name it, in order: the first four are still to print (`unknown`: active
// in a way the server did not say), the last three finished.
enum class JobState : std::uint8_t {
    unknown,
    waiting,
    in_progress,
    needs_attention,
    canceled,
    not_printed,
    printed,
};

struct PrintJob {
    std::string id;  // "{queue}-{number}"
    std::string queue;
    std::optional<std::string> title;
    std::optional<std::uint32_t> pages_done;
    std::optional<std::uint32_t> pages_total;
    std::chrono::system_clock::time_point time{};  // completed, else created
    std::optional<JobState> state;
    std::optional<std::string> owner;
    std::uint16_t copies = 1;
    std::vector<std::string> reasons = {};  // job-state-reasons keywords, never "none"
    std::optional<std::string> message =
        std::nullopt;  // the printer's own words about the job, when it gives some

    // The pages of the document itself (the total without its copies), when known.
    [[nodiscard]] std::optional<std::uint32_t> document_pages() const;
    // completed / total as 0..100 when both are known.
    [[nodiscard]] std::optional<std::uint8_t> progress_percent() const;
    bool operator==(const PrintJob&) const = default;
};

struct Scanner {
    std::string id;  // the SANE device name
    std::string name;
    // The sources beside the flatbed, from the scanner's own source option; both when not known.
    bool has_feeder = true;
    bool has_two_sided = true;
    bool operator==(const Scanner&) const = default;
};

struct DriverlessPrinter {
    std::string uri;  // an ipps (or ipp) address
    std::string name;
    std::optional<std::string> location;
    bool operator==(const DriverlessPrinter&) const = default;
};

// What the print server said changed since it last said something. Names are queue names and job ids
// as the records carry them; `everything` means changes may have been missed (the watch started again).
struct Changes {
    bool everything = false;
    std::vector<std::string> printers;
    std::vector<std::string> jobs;
    [[nodiscard]] bool empty() const { return !everything && printers.empty() && jobs.empty(); }
    // Adds what `later` names, each name once.
    void merge(const Changes& later);
    bool operator==(const Changes&) const = default;
};

// Called on a thread of the watch's own whenever the server reports changes.
using ChangesCallback = std::function<void(Changes)>;

// Watches the print server while it lives.
class Watch {
  public:
    virtual ~Watch() = default;
};

// What a printer offers for a job, read from the printer itself (absent or empty: no choice).
enum class Orientation : std::uint8_t { portrait = 3, landscape = 4 };       // orientation-requested
enum class ColorMode : std::uint8_t { color, monochrome };                   // print-color-mode
enum class PrintQuality : std::uint8_t { draft = 3, normal = 4, high = 5 };  // print-quality

struct PaperSize {
    std::string keyword;  // the PWG media name, such as "iso_a4_210x297mm"
    std::string name;     // readable: "A4", "Letter", ...
    bool operator==(const PaperSize&) const = default;
};

struct PrinterOptions {
    bool page_ranges = false;
    std::vector<PaperSize> papers;
    std::optional<std::string> paper_default;  // a keyword of `papers`
    std::vector<Orientation> orientations;
    std::optional<Orientation> orientation_default;
    std::vector<ColorMode> color_modes;
    std::optional<ColorMode> color_default;
    std::vector<PrintQuality> qualities;
    std::optional<PrintQuality> quality_default;
    std::vector<std::uint8_t> pages_per_sheet;  // number-up values
    std::optional<std::uint8_t> pages_per_sheet_default;
    bool two_sided = false;  // prints on both sides
    bool two_sided_default = false;
    bool collate = false;  // can collate copies
    bool collate_default = true;
    bool operator==(const PrinterOptions&) const = default;
};

// A page range of a job, from `first` to `last` (both counted from 1, last >= first).
struct PageRange {
    std::uint32_t first = 1;
    std::uint32_t last = 1;
    bool operator==(const PageRange&) const = default;
};

// The choices that go with a job; an absent choice leaves it to the printer's default.
struct JobOptions {
    std::uint16_t copies = 1;
    bool two_sided = false;
    std::vector<PageRange> pages;  // ascending, not overlapping; empty: every page
    std::optional<std::string> paper;
    std::optional<Orientation> orientation;
    std::optional<ColorMode> color_mode;
    std::optional<PrintQuality> quality;
    std::optional<std::uint8_t> pages_per_sheet;
    std::optional<bool> collate;
    bool operator==(const JobOptions&) const = default;
};

// The options as IPP job attributes ("page-ranges" = "2-3", ...), in a fixed order; copies and sides too.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> job_attributes(const JobOptions& options);

// What the free functions forward to. The real CUPS + SANE service is installed by default;
// tests install a scripted one.
class Service {
  public:
    virtual ~Service() = default;
    [[nodiscard]] virtual Result<std::vector<PrintQueue>> queues() = 0;
    [[nodiscard]] virtual Result<std::vector<PrintJob>> jobs() = 0;
    [[nodiscard]] virtual Result<std::vector<Scanner>> scanners() = 0;
    [[nodiscard]] virtual Result<std::vector<DriverlessPrinter>> discover_driverless() = 0;
    [[nodiscard]] virtual OperationResult add_driverless(const std::string& uri, const std::string& name) = 0;
    [[nodiscard]] virtual OperationResult set_default(const std::string& queue) = 0;
    [[nodiscard]] virtual OperationResult set_enabled(const std::string& queue, bool enabled) = 0;
    [[nodiscard]] virtual OperationResult cancel_job(const std::string& job_id) = 0;
    [[nodiscard]] virtual OperationResult retry_job(const std::string& job_id) = 0;
    // What the queue's printer supports, and its defaults.
    [[nodiscard]] virtual Result<PrinterOptions> printer_options(const std::string& queue) = 0;
    // `document_pages`, when known, tells the server the job's size (pages times copies) up front, so
    // that a document being printed reports how many pages it has.
    [[nodiscard]] virtual OperationResult print_document(const std::string& queue,
                                                         const std::filesystem::path& document,
                                                         const JobOptions& options,
                                                         std::optional<std::uint32_t> document_pages) = 0;
    [[nodiscard]] virtual Result<Bytes> scan_page(const std::string& scanner_id,
                                                  const ScanSettings& settings) = 0;

    // Only the named queues / jobs, in the order the full lists give them; a name missing from the
    // answer is gone. By default read from the full lists.
    [[nodiscard]] virtual Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names);
    [[nodiscard]] virtual Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids);
    // Starts watching the server for changes; nothing when it cannot be watched (by default).
    [[nodiscard]] virtual std::unique_ptr<Watch> watch(ChangesCallback on_change);
    // One press of "scan": from the feeder (either feeder source) every side of every sheet until the scanner
    // reports it empty, each handed to on_page as it arrives. A stop requested cancels the scan in the
    // scanner; the page being read then is dropped, those handed on stay. By default: one scan_page.
    [[nodiscard]] virtual Result<ScanEnd> scan_pages(const std::string& scanner_id,
                                                     const ScanSettings& settings, const PageSink& on_page,
                                                     std::stop_token stop);
};

// Installs the service every free function forwards to (thread-safe); returns the previous one.
std::shared_ptr<Service> install_service(std::shared_ptr<Service> service);
// The installed service; the real one when none was installed.
[[nodiscard]] std::shared_ptr<Service> installed_service();
// The real CUPS + SANE service (defined in the cups library).
[[nodiscard]] std::shared_ptr<Service> make_system_service();

[[nodiscard]] Result<std::vector<PrintQueue>> queues();
[[nodiscard]] Result<std::vector<PrintJob>> jobs();
[[nodiscard]] Result<std::vector<Scanner>> scanners();
[[nodiscard]] Result<std::vector<DriverlessPrinter>> discover_driverless();
[[nodiscard]] OperationResult add_driverless(const std::string& uri, const std::string& name);
[[nodiscard]] OperationResult set_default(const std::string& queue);
[[nodiscard]] OperationResult set_enabled(const std::string& queue, bool enabled);
[[nodiscard]] OperationResult cancel_job(const std::string& job_id);
[[nodiscard]] OperationResult retry_job(const std::string& job_id);
[[nodiscard]] Result<PrinterOptions> printer_options(const std::string& queue);
[[nodiscard]] OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                                             const JobOptions& options,
                                             std::optional<std::uint32_t> document_pages = std::nullopt);
// Copies and sides only, every other choice the printer's default.
[[nodiscard]] OperationResult print_document(const std::string& queue, const std::filesystem::path& document,
                                             std::uint16_t copies, bool two_sided,
                                             std::optional<std::uint32_t> document_pages = std::nullopt);
[[nodiscard]] Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings);
[[nodiscard]] Result<std::vector<PrintQueue>> queues_named(const std::vector<std::string>& names);
[[nodiscard]] Result<std::vector<PrintJob>> jobs_named(const std::vector<std::string>& ids);
[[nodiscard]] std::unique_ptr<Watch> watch(ChangesCallback on_change);

// The failure of an operation the print server refused because this user may not do it (and the
// system's administration through polkit did not grant it either).
[[nodiscard]] ServiceError not_permitted_error(const std::string& what);
[[nodiscard]] Result<ScanEnd> scan_pages(const std::string& scanner_id, const ScanSettings& settings,
                                         const PageSink& on_page, std::stop_token stop = {});

// --- Credentials for a print server that asks for them ---------------------------------------------
// A server on another machine may ask who is there, and the system cannot vouch for the user there. The
// user name and password given for it are kept in this process's memory for the session only (never
// written anywhere) and offered once per request: a refused password fails the request, it never loops,
// and is forgotten, so the next request asks again.

// Keeps (replacing and overwriting any earlier) the credentials for `server` as failures name it.
void set_server_credentials(const std::string& server, std::string user, std::string password);
// Overwrites and drops every stored credential.
void forget_server_credentials();
// The failure of an operation that `server` refused for want of (correct) credentials.
[[nodiscard]] ServiceError credentials_wanted_error(const std::string& server);
// The failure of an operation whose server refused the credentials offered for it (they are forgotten):
// "The print server did not accept the user name or password."
[[nodiscard]] ServiceError credentials_refused_error();

}  // namespace os_actions::printing
