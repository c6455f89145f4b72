// presswick-actions: lists and invokes the actions of a running Presswick over the session bus.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <nlohmann/json.hpp>

#include "command_line.h"
#include "kora_actions/bus.h"
#include "listing.h"

namespace {

namespace bus = kora_actions::bus;
namespace cli = kora_actions::cli;

enum Exit : int { kHandled = 0, kFailed = 1, kNotHandled = 2 };

constexpr int kCallTimeoutMs = 10000;

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void say(const std::string& line) {
    std::fprintf(stderr, "presswick-actions: %s\n", line.c_str());
}

struct Peer {
    QDBusConnection connection;
    std::string name;
    std::string path;

    // The reply or error; the caller reads what it expects.
    QDBusMessage call(const char* method, const QVariantList& args) const {
        auto message = QDBusMessage::createMethodCall(q(name), q(path), q(bus::kInterface), method);
        message.setArguments(args);
        message.setAutoStartService(false);
        return connection.call(message, QDBus::Block, kCallTimeoutMs);
    }

    // Says why a call found no answer.
    void explain(const QDBusMessage& error) const {
        const auto kind = error.errorName();
        if (kind == u"org.freedesktop.DBus.Error.ServiceUnknown" ||
            kind == u"org.freedesktop.DBus.Error.NameHasNoOwner" ||
            kind == u"org.freedesktop.DBus.Error.UnknownObject") {
            say("Presswick is not running (nothing owns " + name + " on the session bus)");
        } else if (kind == u"org.freedesktop.DBus.Error.UnknownMethod" ||
                   kind == u"org.freedesktop.DBus.Error.UnknownInterface") {
            say("the program that owns " + name + " does not offer " + std::string(bus::kInterface));
        } else {
            say("the call to " + name + " failed: " + error.errorMessage().toStdString());
        }
    }
};

std::optional<nlohmann::json> fetch_listing(const Peer& peer) {
    const auto reply = peer.call("ListResources", {});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        peer.explain(reply);
        return std::nullopt;
    }
    auto listing = cli::read_listing(reply.arguments().value(0).toString().toStdString());
    if (!listing) {
        say("Presswick answered a malformed listing: " + listing.error());
        return std::nullopt;
    }
    return std::move(*listing);
}

int invoke(const Peer& peer, const cli::Invocation& invocation) {
    const auto reply =
        peer.call("Invoke", {QVariant::fromValue(static_cast<uchar>(invocation.execution_kind)),
                             q(invocation.operation_id), q(invocation.argument_json)});
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return kHandled;
    }
    if (reply.errorName() == q(bus::kErrorFailed)) {
        // Verbatim: scripts compare it.
        std::fprintf(stderr, "%s\n", reply.errorMessage().toStdString().c_str());
        return kFailed;
    }
    if (reply.errorName() == q(bus::kErrorNotHandled)) {
        say("not handled: " + invocation.operation_id);
        return kNotHandled;
    }
    peer.explain(reply);
    return kNotHandled;
}

int run(const cli::CommandLine& line) {
    const Peer peer{QDBusConnection::sessionBus(), bus::bus_name_for(line.application_id),
                    bus::object_path_for(line.application_id)};
    if (!peer.connection.isConnected()) {
        say("no session bus, so Presswick is not running here");
        return kNotHandled;
    }
    if (const auto* list = std::get_if<cli::ListCommand>(&line.command)) {
        const auto listing = fetch_listing(peer);
        if (!listing) {
            return kNotHandled;
        }
        std::fputs((list->json ? listing->dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"
                               : cli::format_listing(*listing))
                       .c_str(),
                   stdout);
        return kHandled;
    }
    if (const auto* call = std::get_if<cli::CallCommand>(&line.command)) {
        return invoke(peer, {call->execution_kind, call->operation_id, call->argument_json});
    }
    const auto& request = std::get<cli::InvokeCommand>(line.command);
    const auto listing = fetch_listing(peer);
    if (!listing) {
        return kNotHandled;
    }
    const auto invocation =
        cli::plan_invocation(*listing, request.resource_id, request.action_id, request.index);
    if (!invocation) {
        say(invocation.error().message);
        if (invocation.error().kind == cli::PlanError::Kind::usage) {
            std::fputs(cli::usage_text().c_str(), stderr);
        }
        return kNotHandled;
    }
    return invoke(peer, *invocation);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto line = cli::parse_command_line(args);
    if (!line) {
        say(line.error());
        std::fputs(cli::usage_text().c_str(), stderr);
        return kNotHandled;
    }
    if (std::holds_alternative<cli::HelpCommand>(line->command)) {
        std::fputs(cli::usage_text().c_str(), stdout);
        return kHandled;
    }
    QCoreApplication app(argc, argv);
    return run(*line);
}
