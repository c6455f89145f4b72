#include "pk_helper.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "bus_handles.h"

namespace os_actions::printing::cups::pk {

namespace {

constexpr const char* service = "org.opensuse.CupsPkHelper.Mechanism";
constexpr const char* object = "/";
constexpr const char* interface = "org.opensuse.CupsPkHelper.Mechanism";
// Long enough for a person to answer the authentication agent; without an agent polkit answers at once.
constexpr std::uint64_t call_timeout_us = 120'000'000;

std::unexpected<std::string> failure(const char* member, std::string why) {
    return std::unexpected(std::string("The print administration service could not do ") + member + ": " +
                           std::move(why));
}

// Calls one method; every method answers one text, empty on success, else the server's complaint.
template <class... Args>
Result<void> call(const char* member, const char* signature, Args... args) {
    sd_bus* raw = nullptr;
    if (const int r = sd_bus_open_system(&raw); r < 0) {
        return failure(member, std::string("no system bus: ") + std::strerror(-r));
    }
    Bus bus(raw);
    (void)sd_bus_set_method_call_timeout(bus.get(), call_timeout_us);
    (void)sd_bus_set_allow_interactive_authorization(bus.get(), 1);
    BusError error;
    sd_bus_message* reply_raw = nullptr;
    const int r = sd_bus_call_method(bus.get(), service, object, interface, member, &error.error, &reply_raw,
                                     signature, args...);
    Message reply(reply_raw);
    if (r < 0) {
        return failure(member, error.error.message ? error.error.message : std::strerror(-r));
    }
    const char* complaint = nullptr;
    if (sd_bus_message_read(reply.get(), "s", &complaint) < 0) {
        return failure(member, "unexpected answer");
    }
    if (complaint && *complaint) {
        return failure(member, complaint);
    }
    return {};
}

}  // namespace

Result<void> printer_set_enabled(const std::string& queue, bool enabled) {
    return call("PrinterSetEnabled", "sb", queue.c_str(), static_cast<int>(enabled));
}

Result<void> printer_set_accept_jobs(const std::string& queue, bool accept) {
    return call("PrinterSetAcceptJobs", "sbs", queue.c_str(), static_cast<int>(accept), "");
}

Result<void> printer_set_shared(const std::string& queue, bool shared) {
    return call("PrinterSetShared", "sb", queue.c_str(), static_cast<int>(shared));
}

Result<void> printer_add(const std::string& queue, const std::string& device_uri, const std::string& model,
                         const std::string& info, const std::string& location) {
    return call("PrinterAdd", "sssss", queue.c_str(), device_uri.c_str(), model.c_str(), info.c_str(),
                location.c_str());
}

Result<void> job_cancel(int job_id) {
    return call("JobCancelPurge", "ib", static_cast<std::int32_t>(job_id), 0);
}

Result<void> job_restart(int job_id) {
    return call("JobRestart", "i", static_cast<std::int32_t>(job_id));
}

Result<void> job_release(int job_id) {
    return call("JobSetHoldUntil", "is", static_cast<std::int32_t>(job_id), "no-hold");
}

}  // namespace os_actions::printing::cups::pk
