#include "cups_events.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "base/unique_fd.h"
#include "bus_handles.h"
#include "cups_auth.h"
#include "cups_handles.h"
#include "parsing.h"

namespace os_actions::printing::cups {

namespace {

using Clock = std::chrono::steady_clock;

// What the watch and its thread share: the thread outlives the watch until it sees `stopped`.
struct Shared {
    std::atomic<bool> stopped{false};
    base::UniqueFd wake_fd;
    ChangesCallback callback;
};

class CupsWatch final : public Watch {
  public:
    explicit CupsWatch(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
    ~CupsWatch() override {
        m_shared->stopped = true;
        const std::uint64_t one = 1;
        (void)!::write(m_shared->wake_fd.get(), &one, sizeof one);
    }

  private:
    std::shared_ptr<Shared> m_shared;
};

enum class Outcome : std::uint8_t { ok, gone, refused, unreachable };

Outcome outcome_of(ipp_status_t status) {
    if (status <= IPP_STATUS_OK_CONFLICTING) {
        return Outcome::ok;
    }
    if (status == IPP_STATUS_ERROR_NOT_FOUND) {
        return Outcome::gone;
    }
    if (status >= IPP_STATUS_ERROR_BAD_REQUEST && status < IPP_STATUS_ERROR_INTERNAL) {
        return Outcome::refused;
    }
    return Outcome::unreachable;
}

// One subscription on the server and the thread's connection to it.
class Subscription {
  public:
    // `wakes`: a subscription whose events cupsd's D-Bus notifier signals on the system bus, only to
    // wake the watch; otherwise the one whose events are pulled.
    Subscription(Shared& shared, bool wakes) : m_shared(shared), m_wakes(wakes) {}

    [[nodiscard]] bool active() const { return m_id > 0; }
    [[nodiscard]] Clock::time_point renew_at() const { return m_renew_at; }
    // How long the server asks to be left alone after an answer without events.
    [[nodiscard]] std::chrono::seconds get_interval() const { return m_get_interval; }

    Outcome create() {
        m_id = 0;
        if (!connected()) {
            return Outcome::unreachable;
        }
        auto request = new_request(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS, "ipp://localhost/");
        if (m_wakes) {
            ippAddString(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_URI, "notify-recipient-uri", nullptr,
                         "dbus://");
        } else {
            ippAddString(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr,
                         "ippget");
        }
        ippAddStrings(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events",
                      static_cast<int>(std::size(events::subscribed)), nullptr, events::subscribed);
        ippAddInteger(request.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration",
                      events::lease_seconds);
        Ipp response(cupsDoRequest(m_http.get(), request.release(), "/"));
        const auto result = finished(response);
        if (result != Outcome::ok) {
            return result;
        }
        auto* id = ippFindAttribute(response.get(), "notify-subscription-id", IPP_TAG_INTEGER);
        if (!id) {
            return Outcome::refused;
        }
        m_id = ippGetInteger(id, 0);
        m_next_sequence = 1;
        lease_granted(response.get());
        return Outcome::ok;
    }

    Outcome renew() {
        if (!connected()) {
            return Outcome::unreachable;
        }
        auto request = new_request(IPP_OP_RENEW_SUBSCRIPTION, "ipp://localhost/");
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", m_id);
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-lease-duration",
                      events::lease_seconds);
        Ipp response(cupsDoRequest(m_http.get(), request.release(), "/"));
        const auto result = finished(response);
        if (result == Outcome::ok) {
            lease_granted(response.get());
        } else if (result == Outcome::gone) {
            m_id = 0;
        }
        return result;
    }

    // The events since the last pull; with `wait` the server holds the answer until there are some.
    Outcome pull(bool wait, Changes& changes) {
        if (!connected()) {
            return Outcome::unreachable;
        }
        auto request = new_request(IPP_OP_GET_NOTIFICATIONS, "ipp://localhost/");
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", m_id);
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers",
                      m_next_sequence);
        if (wait) {
            ippAddBoolean(request.get(), IPP_TAG_OPERATION, "notify-wait", 1);
        }
        m_waiting = wait;
        Ipp response(cupsDoRequest(m_http.get(), request.release(), "/"));
        m_waiting = false;
        const auto result = finished(response);
        auto* interval =
            response ? ippFindAttribute(response.get(), "notify-get-interval", IPP_TAG_INTEGER) : nullptr;
        m_get_interval = std::chrono::seconds(interval ? std::max(1, ippGetInteger(interval, 0)) : 30);
        if (result == Outcome::gone) {
            m_id = 0;
        }
        if (result != Outcome::ok) {
            return result;
        }
        std::vector<detail::NotifyEvent> seen;
        for_each_group(response.get(), IPP_TAG_EVENT_NOTIFICATION, [&](const auto& group) {
            detail::NotifyEvent event;
            for (auto* attr : group) {
                const std::string_view name = ippGetName(attr);
                if (name == "notify-sequence-number") {
                    event.sequence = ippGetInteger(attr, 0);
                } else if (name == "notify-subscribed-event") {
                    event.kind = ippGetString(attr, 0, nullptr);
                } else if (name == "printer-name") {
                    event.printer = ippGetString(attr, 0, nullptr);
                } else if (name == "notify-job-id") {
                    event.job = ippGetInteger(attr, 0);
                }
            }
            if (event.sequence >= m_next_sequence) {
                seen.push_back(std::move(event));
            }
        });
        std::ranges::sort(seen, {}, &detail::NotifyEvent::sequence);
        changes.merge(detail::changes_from(seen, m_next_sequence));
        if (!seen.empty()) {
            m_next_sequence = seen.back().sequence + 1;
        }
        return Outcome::ok;
    }

    void cancel() {
        if (m_id <= 0 || !connected()) {
            return;
        }
        auto request = new_request(IPP_OP_CANCEL_SUBSCRIPTION, "ipp://localhost/");
        ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", m_id);
        Ipp response(cupsDoRequest(m_http.get(), request.release(), "/"));
        m_id = 0;
    }

  private:
    bool connected() {
        if (m_http) {
            return true;
        }
        auto http = connect_server();
        if (!http) {
            return false;
        }
        m_http = std::move(*http);
        // A waiting pull may be held for long; it gives up only when the watch ends.
        httpSetTimeout(
            m_http.get(), server_timeout_ms / 1000.0,
            [](http_t*, void* data) {
                const auto& self = *static_cast<Subscription*>(data);
                return self.m_waiting && !self.m_shared.stopped ? 1 : 0;
            },
            this);
        return true;
    }

    Outcome finished(const Ipp& response) {
        const auto status = cupsLastError();
        auto result = response ? outcome_of(status) : Outcome::unreachable;
        if (result == Outcome::ok && !response) {
            result = Outcome::unreachable;
        }
        if (result == Outcome::unreachable) {
            m_http.reset();  // a new connection next time (cupsd may have restarted)
        }
        return result;
    }

    void lease_granted(ipp_t* response) {
        auto* lease = ippFindAttribute(response, "notify-lease-duration", IPP_TAG_INTEGER);
        const int seconds = lease ? ippGetInteger(lease, 0) : events::lease_seconds;
        // Renewed well before it ends; a lease of 0 never ends.
        m_renew_at =
            seconds > 0 ? Clock::now() + std::chrono::seconds(seconds * 3 / 4) : Clock::time_point::max();
    }

    Shared& m_shared;
    bool m_wakes = false;
    bool m_waiting = false;
    std::chrono::seconds m_get_interval{30};
    Http m_http;
    int m_id = 0;
    int m_next_sequence = 1;
    Clock::time_point m_renew_at = Clock::time_point::max();
};

// cupsd's own signals on the system bus: any of them means the subscription may hold news.
struct BusWake {
    Bus bus;
    std::string sender;  // cupsd's bus name: a new one means cupsd started again
    bool signalled = false;
    bool restarted = false;
};

int on_signal(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& wake = *static_cast<BusWake*>(data);
    const char* interface = sd_bus_message_get_interface(message);
    // cupsd's own signals come from cupsd itself: a new sender means it started again. Its notifier
    // runs as processes of their own, which come and go.
    if (interface && std::string_view(interface) == "com.redhat.PrinterSpooler") {
        const char* sender = sd_bus_message_get_sender(message);
        const std::string from = sender ? sender : "";
        if (!wake.sender.empty() && from != wake.sender) {
            wake.restarted = true;
        }
        wake.sender = from;
    }
    wake.signalled = true;
    return 0;
}

std::optional<BusWake> open_bus_wake() {
    sd_bus* raw = nullptr;
    if (sd_bus_open_system(&raw) < 0) {
        return std::nullopt;
    }
    BusWake wake;
    wake.bus.reset(raw);
    return wake;
}

int milliseconds_until(Clock::time_point when) {
    if (when == Clock::time_point::max()) {
        return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

// Waits for the wake eventfd, the bus (when there is one) or the deadline; false when the watch ended.
bool wait_for(Shared& shared, sd_bus* bus, Clock::time_point deadline) {
    pollfd fds[2] = {{shared.wake_fd.get(), POLLIN, 0}, {-1, 0, 0}};
    nfds_t count = 1;
    if (bus) {
        fds[1] = {sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0};
        count = 2;
    }
    (void)::poll(fds, count, milliseconds_until(deadline));
    return !shared.stopped;
}

void run(std::shared_ptr<Shared> shared) {
    guard_thread();
    Subscription subscription(*shared, false);
    Subscription waking(*shared, true);
    std::optional<BusWake> wake;
    if (server_is_local()) {
        wake = open_bus_wake();
    }
    // cupsd signals some changes itself (new jobs, printer changes); its notifier signals every event of
    // the waking subscription (a job held, released or canceled on an idle printer too).
    if (wake && (sd_bus_match_signal(wake->bus.get(), nullptr, nullptr, nullptr, "com.redhat.PrinterSpooler",
                                     nullptr, on_signal, &*wake) < 0 ||
                 sd_bus_match_signal(wake->bus.get(), nullptr, nullptr, nullptr, "org.cups.cupsd.Notifier",
                                     nullptr, on_signal, &*wake) < 0)) {
        wake.reset();  // no cupsd signals to wait for: wait at the server instead
    }
    sd_bus* bus = wake ? wake->bus.get() : nullptr;
    bool first = true;
    auto backoff = std::chrono::seconds(5);
    while (!shared->stopped) {
        Changes changes;
        if (!subscription.active()) {
            const auto created = subscription.create();
            if (created == Outcome::refused) {
                return;  // the server does not offer events: the window works as without them
            }
            if (created != Outcome::ok) {
                // The server is down. Locally its signals say when it is back; elsewhere try again later.
                if (!wait_for(*shared, bus, bus ? Clock::time_point::max() : Clock::now() + backoff)) {
                    break;
                }
                backoff = std::min(backoff * 2, std::chrono::seconds(300));
                if (bus) {
                    while (sd_bus_process(bus, nullptr) > 0) {
                    }
                }
                continue;
            }
            backoff = std::chrono::seconds(5);
            changes.everything = !first;  // what happened while there was no subscription is not known
            first = false;
            if (bus) {
                waking.cancel();
                (void)
                    waking.create();  // without it cupsd's own signals still wake the watch, for fewer events
            }
        }
        if (Clock::now() >= subscription.renew_at()) {
            if (subscription.renew() == Outcome::gone) {
                continue;
            }
        }
        if (bus && Clock::now() >= waking.renew_at() && waking.renew() == Outcome::gone) {
            (void)waking.create();
        }
        if (bus) {
            bool pending = false;
            while (sd_bus_process(bus, nullptr) > 0) {
            }
            pending = wake->signalled;
            if (!pending && changes.empty()) {
                if (!wait_for(*shared, bus, std::min(subscription.renew_at(), waking.renew_at()))) {
                    break;
                }
                continue;
            }
            wake->signalled = false;
            if (std::exchange(wake->restarted, false)) {
                changes.everything = true;
            }
            if (pending && subscription.pull(false, changes) == Outcome::gone) {
                continue;  // cupsd forgot it: create it again, and tell that anything may have changed
            }
        } else {
            const auto asked = Clock::now();
            const auto pulled = subscription.pull(true, changes);
            // A server that answers at once without events does not hold answers: ask as often as it says.
            const bool answered_at_once =
                pulled == Outcome::ok && changes.empty() && Clock::now() - asked < std::chrono::seconds(1);
            if ((pulled != Outcome::ok && subscription.active()) || answered_at_once) {
                const auto pause = answered_at_once ? subscription.get_interval() : backoff;
                if (!wait_for(*shared, nullptr, Clock::now() + pause)) {
                    break;
                }
            }
        }
        if (!changes.empty() && !shared->stopped) {
            shared->callback(std::move(changes));
        }
    }
    subscription.cancel();
    waking.cancel();
}

}  // namespace

std::unique_ptr<Watch> watch(ChangesCallback on_change) {
    auto shared = std::make_shared<Shared>();
    shared->wake_fd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!shared->wake_fd.is_open()) {
        return nullptr;
    }
    shared->callback = std::move(on_change);
    try {
        std::thread thread([shared] { run(shared); });
        (void)pthread_setname_np(thread.native_handle(), "kora-print-events");
        thread.detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return std::make_unique<CupsWatch>(shared);
}

}  // namespace os_actions::printing::cups
