// Pure helpers of the CUPS + SANE service: turning server attributes into records, and choosing
// scanner option values. No I/O, so they are unit-tested on their own.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printing/printing.h"

namespace os_actions::printing::detail {

// ---- queues (queue_parsing.cpp) ----------------------------------------------------------------

// Supplies from the parallel marker-names / marker-colors / marker-levels lists. A negative level
// (-1 unknown, -2 unavailable, -3 "some remaining") is not reported; absent when there are no names.
[[nodiscard]] std::optional<std::vector<Supply>> parse_supplies(const std::vector<std::string>& names,
                                                                const std::vector<std::string>& colours,
                                                                const std::vector<int>& levels,
                                                                const std::vector<int>& low_levels = {});

// Whether the print server `server` (as libcups names it: a socket path, a host name or an address,
// IPv6 possibly in brackets) is this machine: a socket, loopback, this machine's `host_name` (or its
// ".local" name), or one of its `addresses` (numeric, an IPv6 scope after "%" ignored).
[[nodiscard]] bool names_this_machine(std::string_view server, std::string_view host_name,
                                      const std::vector<std::string>& addresses);

// Splits a comma-separated option value as libcups' destination options carry it ("a,b\,c" → "a", "b,c").
[[nodiscard]] std::vector<std::string> split_option_list(std::string_view value);

// The per-user default in an lpoptions text: the last "Default NAME[/INSTANCE]" line's name.
[[nodiscard]] std::optional<std::string> lpoptions_default(std::string_view text);

// printer-state-reasons without "none", without duplicates, in the server's order.
[[nodiscard]] std::vector<std::string> clean_reasons(const std::vector<std::string>& reasons);
// Whether a reason says the device is offline or did not answer ("offline-report", "timed-out", ...).
[[nodiscard]] bool reason_means_unreachable(std::string_view reason);
[[nodiscard]] bool reasons_mean_unreachable(const std::vector<std::string>& reasons);

// Whether a queue answered: cupsd's reasons first; on a server elsewhere they alone decide (a device only
// that server can reach cannot be asked from here); else the device's own answer in this check when it
// was asked (absent only for devices that cannot be asked, such as USB ones: their reasons decide).
[[nodiscard]] bool queue_answered(int ipp_printer_state, const std::vector<std::string>& reasons,
                                  bool server_is_local, std::optional<bool> device_answered);

// IPP printer-state (3 idle, 4 processing, 5 stopped) with the reasons and the live check.
[[nodiscard]] QueueState queue_state(int ipp_printer_state, const std::vector<std::string>& reasons,
                                     bool answered);

// Whether a device address is on the network and can be asked directly (ipp, ipps, DNS-SD names).
[[nodiscard]] bool is_network_device(std::string_view device_uri);

// ---- jobs (job_parsing.cpp) --------------------------------------------------------------------

// IPP job-state (3..9) as the records name it (held and stopped jobs need attention); absent for values
// outside IPP's range.
[[nodiscard]] std::optional<JobState> job_state_from_ipp(int ipp_job_state);
// The same with the job's reasons: a job the printer or the server stopped (canceled at the device, by
// the system, over its document) could not print; only one canceled by a person is canceled.
[[nodiscard]] std::optional<JobState> job_state(int ipp_job_state, const std::vector<std::string>& reasons);

// Page counters of a job as the server reports them; absent when not reported or not a count.
struct JobCounters {
    std::optional<int> impressions;
    std::optional<int> impressions_completed;
    std::optional<int> media_sheets;
    std::optional<int> media_sheets_completed;
};
struct PageCounts {
    std::optional<std::uint32_t> done;
    std::optional<std::uint32_t> total;
};
// Pages from impressions, falling back to media sheets only where impressions are unknown. A printed
// job without a total printed what it completed, so that is its total.
[[nodiscard]] PageCounts page_counts(const JobCounters& counters, bool printed);

// What of the counts a job in `state` can show. cupsd counts pages as they are sent and adds the counts of
// earlier tries to a job sent again, so a waiting job has printed nothing yet and an unfinished one has
// not printed its last page.
[[nodiscard]] PageCounts shown_counts(PageCounts counts, std::optional<JobState> state);

// "{queue}-{number}" → queue and number; nothing when the text is not a job id.
struct JobRef {
    std::string queue;
    int number = 0;
};
[[nodiscard]] std::optional<JobRef> parse_job_id(std::string_view id);
// The queue name at the end of a printer URI ("ipp://localhost/printers/Studio_printer").
[[nodiscard]] std::string queue_from_printer_uri(std::string_view uri);

// ---- queue and device names (device_names.cpp) -------------------------------------------------

// A valid CUPS queue name from a printer's display name: printable ASCII except space, '/', '#', '\\',
// '?', quotes and '@', each run of others replaced by one '_', at most 127 bytes, never empty.
[[nodiscard]] std::string queue_name_from(std::string_view display_name);

// base, or base with "_2", "_3", ... when a queue of that name exists (names compare without case,
// as the server compares them); never longer than 127 bytes.
[[nodiscard]] std::string unique_queue_name(const std::string& base, const std::vector<std::string>& taken);

// A device address reduced for comparison: ipp, ipps and DNS-SD schemes alike, host letter case and
// query ignored, no trailing "/" or ".", a DNS-SD name's secure service like its plain one
// ("ipps://Studio._ipps._tcp.local./" and "dnssd://studio._ipp._tcp.local/?uuid=..." are one device).
[[nodiscard]] std::string device_key(std::string_view device_uri);
// The DNS-SD service instance name in a DNS-SD address ("ipps://Acme%20Studio%201._ipps._tcp.local/"
// → "Acme Studio 1"), lower-cased for comparison; empty for any other address.
[[nodiscard]] std::string dns_sd_instance(std::string_view device_uri);
// A DNS-SD instance name as compared (DNS-SD names compare without letter case).
[[nodiscard]] std::string service_key(std::string_view name);
// "urn:uuid:ABC" and "abc" name the same printer.
[[nodiscard]] std::string uuid_key(std::string_view uuid);

// ---- scanner options (scanner_choices.cpp) -----------------------------------------------------

// Scanner option choices. Each answers the backend's value to set, or nothing to keep the default.
[[nodiscard]] std::optional<std::string> choose_mode(const std::vector<std::string>& modes,
                                                     ScanColourMode colour_mode);
[[nodiscard]] std::optional<std::string> choose_source(const std::vector<std::string>& sources,
                                                       ScanSource source);
// Nearest allowed resolution: from a list of values, or a range [min, max] with step quant (0: any).
[[nodiscard]] double nearest_in_list(const std::vector<double>& allowed, double wanted);
[[nodiscard]] double nearest_in_range(double min, double max, double quant, double wanted);

// ---- server events (event_parsing.cpp) ---------------------------------------------------------

// One event of a Get-Notifications answer, as far as it matters here.
struct NotifyEvent {
    int sequence = 0;
    std::string kind;     // notify-subscribed-event, such as "job-state-changed"
    std::string printer;  // printer-name, empty when not given
    int job = 0;          // notify-job-id, 0 when not given
};
// What a run of events (in sequence order) names. `expected_sequence` is the first number not seen yet:
// a first event beyond it means events were lost (the server keeps only so many), so anything may have
// changed.
[[nodiscard]] Changes changes_from(const std::vector<NotifyEvent>& events, int expected_sequence);

}  // namespace os_actions::printing::detail
