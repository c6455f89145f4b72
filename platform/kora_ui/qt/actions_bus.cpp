#include "actions_bus.h"

#include <cstdio>
#include <utility>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <nlohmann/json.hpp>

#include "kora_actions/bus.h"
#include "kora_ui/controls.h"

namespace kora_ui::qt {

namespace {

constexpr const char* kIntrospection = R"(<interface name="org.kora.Actions">
  <method name="ListResources">
    <arg name="resources_json" type="s" direction="out"/>
  </method>
  <method name="Invoke">
    <arg name="execution_kind" type="y" direction="in"/>
    <arg name="operation_id" type="s" direction="in"/>
    <arg name="argument_json" type="s" direction="in"/>
    <arg name="outcome" type="s" direction="out"/>
    <arg name="message" type="s" direction="out"/>
  </method>
  <signal name="ControlInvoked">
    <arg name="control_id" type="s"/>
    <arg name="index" type="x"/>
  </signal>
</interface>
)";

QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// D-Bus strings cannot hold NUL; a message echoing a caller's text could.
QString bus_text(std::string_view text) {
    auto out = to_qstring(text);
    out.replace(QChar(u'\0'), QChar(0xFFFD));
    return out;
}

QString outcome_name(kora_actions::Outcome::Kind kind) {
    switch (kind) {
        case kora_actions::Outcome::Kind::handled:
            return to_qstring(kora_actions::bus::kOutcomeHandled);
        case kora_actions::Outcome::Kind::failed:
            return to_qstring(kora_actions::bus::kOutcomeFailed);
        case kora_actions::Outcome::Kind::not_handled:
            break;
    }
    return to_qstring(kora_actions::bus::kOutcomeNotHandled);
}

}  // namespace

// The exported object. Qt delivers its messages in the thread it lives in: the UI thread.
class ActionsObject final : public QDBusVirtualObject {
  public:
    ActionsObject(Widget& root, std::function<void()> after_invocation)
        : m_root(root), m_after_invocation(std::move(after_invocation)) {}

    QString introspect(const QString&) const override { return QString::fromUtf8(kIntrospection); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage ||
            (!message.interface().isEmpty() &&
             message.interface() != to_qstring(kora_actions::bus::kInterface))) {
            return false;  // Introspectable and Properties are Qt's own
        }
        if (message.member() == u"ListResources" && message.signature().isEmpty()) {
            connection.send(message.createReply(to_qstring(resources_json(m_root))));
            return true;
        }
        if (message.member() == u"Invoke" && message.signature() == u"yss") {
            const auto args = message.arguments();
            const auto kind = static_cast<std::uint8_t>(args.at(0).value<uchar>());
            const auto operation = args.at(1).toString().toStdString();
            const auto arguments = args.at(2).toString().toStdString();
            const auto outcome = route_invocation(m_root, kind, operation, arguments);
            connection.send(
                message.createReply(QVariantList{outcome_name(outcome.kind), bus_text(outcome.message)}));
            if (outcome.kind == kora_actions::Outcome::Kind::handled) {
                after_invocation();
            }
            return true;
        }
        if (message.member() == u"ListResources" || message.member() == u"Invoke") {
            connection.send(message.createErrorReply(
                QDBusError::InvalidSignature, QStringLiteral("ListResources takes no arguments; Invoke takes "
                                                             "(byte, string, string)")));
            return true;
        }
        return false;
    }

    void after_invocation() {
        if (m_after_invocation) {
            m_after_invocation();
            return;
        }
        UpdateContext context;
        m_root.update(context);
    }

  private:
    Widget& m_root;
    std::function<void()> m_after_invocation;
};

struct ActionsBus::Impl {
    Widget& root;
    QDBusConnection connection;
    std::string bus_name;
    std::string object_path;
    std::unique_ptr<ActionsObject> object;

    void emit_control_invoked(const ControlInvocation& invocation) {
        auto signal =
            QDBusMessage::createSignal(to_qstring(object_path), to_qstring(kora_actions::bus::kInterface),
                                       QStringLiteral("ControlInvoked"));
        signal << bus_text(invocation.control_id) << static_cast<qlonglong>(invocation.index.value_or(-1));
        connection.send(signal);
    }
};

ActionsBus::ActionsBus(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

ActionsBus::~ActionsBus() {
    m_impl->connection.unregisterObject(to_qstring(m_impl->object_path));
    m_impl->connection.unregisterService(to_qstring(m_impl->bus_name));
}

void ActionsBus::drain_control_invocations() {
    while (auto invocation = m_impl->root.take_control_invocation()) {
        m_impl->emit_control_invoked(*invocation);
    }
}

void ActionsBus::offer_control_invocation(const ControlInvocation& invocation) {
    m_impl->emit_control_invoked(invocation);
}

const std::string& ActionsBus::bus_name() const {
    return m_impl->bus_name;
}
const std::string& ActionsBus::object_path() const {
    return m_impl->object_path;
}

std::string resources_json(const Widget& root) {
    auto listed = nlohmann::json::array();
    for (const auto& resource : root.resources()) {
        listed.push_back(kora_actions::to_json(resource));
    }
    for (const auto& resource : control_resources(root)) {
        listed.push_back(kora_actions::to_json(resource));
    }
    return listed.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

kora_actions::Outcome route_invocation(Widget& root, std::uint8_t execution_kind,
                                       std::string_view operation_id, std::string_view arguments) {
    if (operation_id == kControlInvokeOperation || operation_id == kSegmentedSelectOperation) {
        return invoke_control(root, execution_kind, operation_id, arguments);
    }
    return root.invoke_resource_operation_v2(execution_kind, operation_id, arguments);
}

std::unique_ptr<ActionsBus> start_actions_bus(Widget& root, const std::string& application_id,
                                              std::function<void()> after_invocation) {
    auto connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) {
        std::fprintf(stderr, "%s: no session bus, its actions are not exported\n", application_id.c_str());
        return nullptr;
    }
    auto impl = std::make_unique<ActionsBus::Impl>(
        root, connection, kora_actions::bus::bus_name_for(application_id),
        kora_actions::bus::object_path_for(application_id),
        std::make_unique<ActionsObject>(root, std::move(after_invocation)));
    if (!connection.registerVirtualObject(to_qstring(impl->object_path), impl->object.get())) {
        std::fprintf(stderr, "%s: cannot export %s on the session bus\n", application_id.c_str(),
                     impl->object_path.c_str());
        return nullptr;
    }
    // Not queued behind another owner: a second window of the same application stays off the bus.
    const auto reply = connection.interface()->registerService(
        to_qstring(impl->bus_name), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        std::fprintf(stderr, "%s: the bus name %s is taken, its actions are not exported\n",
                     application_id.c_str(), impl->bus_name.c_str());
        connection.unregisterObject(to_qstring(impl->object_path));
        return nullptr;
    }
    return std::make_unique<ActionsBus>(std::move(impl));
}

}  // namespace kora_ui::qt
