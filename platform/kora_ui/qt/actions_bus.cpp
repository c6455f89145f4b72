#include "actions_bus.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <nlohmann/json.hpp>

#include "kora_actions/bus.h"
#include "kora_ui/controls.h"
#include "qt/bus_adaptors.h"

namespace kora_ui::qt {

namespace {

constexpr int kActivateTimeoutMs = 5000;

QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// D-Bus strings cannot hold NUL; a message echoing a caller's text could.
QString bus_text(std::string_view text) {
    auto out = to_qstring(text);
    out.replace(QChar(u'\0'), QChar(0xFFFD));
    return out;
}

}  // namespace

// The exported object: the adaptors hand their calls here. Qt delivers them in the thread the object
// lives in: the UI thread.
class ExportedObject final : public QObject, public BusBackend {
  public:
    ExportedObject(Widget& root, QDBusConnection connection, std::function<void()> after_invocation,
                   std::function<void(const QVariantMap&)> activate)
        : m_root(root),
          m_connection(std::move(connection)),
          m_after_invocation(std::move(after_invocation)),
          m_activate(std::move(activate)),
          m_actions(new ActionsAdaptor(this, *this)) {
        new ApplicationAdaptor(this, *this);
    }

    [[nodiscard]] ActionsAdaptor& actions() const { return *m_actions; }

    QString list_resources() override { return to_qstring(resources_json(m_root)); }

    void invoke(uchar execution_kind, const QString& operation_id, const QString& argument_json,
                const QDBusMessage& message) override {
        const auto operation = operation_id.toStdString();
        answer(message, operation,
               route_invocation(m_root, execution_kind, operation, argument_json.toStdString()));
    }

    void activate(const QVariantMap& platform_data) override {
        if (m_activate) {
            m_activate(platform_data);
        }
    }

    void open(const QStringList&, const QVariantMap& platform_data, const QDBusMessage& message) override {
        activate(platform_data);
        reply_error(message, QDBusError::NotSupported, QStringLiteral("this application opens no files"));
    }

    void activate_action(const QString& action_name, const QVariantList& parameter,
                         const QVariantMap& platform_data, const QDBusMessage& message) override {
        if (!parameter.isEmpty()) {
            reply_error(message, QDBusError::InvalidArgs,
                        QStringLiteral("the action %1 takes no parameter")
                            .arg(bus_text(kora_actions::echoed(action_name.toStdString()))));
            return;
        }
        activate(platform_data);
        const auto action = action_name.toStdString();
        answer(message, action, invoke_declared_action(m_root, action));
    }

  private:
    // Handled: an empty reply, then the host's update. Otherwise a named error carrying the outcome's text.
    void answer(const QDBusMessage& message, const std::string& what, const kora_actions::Outcome& outcome) {
        message.setDelayedReply(true);
        switch (outcome.kind) {
            case kora_actions::Outcome::Kind::handled:
                m_connection.send(message.createReply());
                after_invocation();
                return;
            case kora_actions::Outcome::Kind::failed:
                m_connection.send(message.createErrorReply(to_qstring(kora_actions::bus::kErrorFailed),
                                                           bus_text(outcome.message)));
                return;
            case kora_actions::Outcome::Kind::not_handled:
                break;
        }
        m_connection.send(
            message.createErrorReply(to_qstring(kora_actions::bus::kErrorNotHandled),
                                     bus_text(kora_actions::echoed(what) + " is not handled here")));
    }

    void reply_error(const QDBusMessage& message, QDBusError::ErrorType type, const QString& text) {
        message.setDelayedReply(true);
        m_connection.send(message.createErrorReply(type, text));
    }

    void after_invocation() {
        if (m_after_invocation) {
            m_after_invocation();
            return;
        }
        UpdateContext context;
        m_root.update(context);
    }

    Widget& m_root;
    QDBusConnection m_connection;
    std::function<void()> m_after_invocation;
    std::function<void(const QVariantMap&)> m_activate;
    ActionsAdaptor* m_actions;  // owned by this object, as Qt's adaptors are
};

struct ActionsBus::Impl {
    Widget& root;
    QDBusConnection connection;
    std::string bus_name;
    std::string object_path;
    std::unique_ptr<ExportedObject> object;

    void emit_control_invoked(const ControlInvocation& invocation) {
        emit object->actions().ControlInvoked(bus_text(invocation.control_id),
                                              static_cast<qlonglong>(invocation.index.value_or(-1)));
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
    if (operation_id == kControlInvokeOperation || operation_id == kSegmentedSelectOperation ||
        operation_id == kTextSetOperation) {
        return invoke_control(root, execution_kind, operation_id, arguments);
    }
    return root.invoke_resource_operation_v2(execution_kind, operation_id, arguments);
}

kora_actions::Outcome invoke_declared_action(Widget& root, std::string_view action_id) {
    for (const auto& resource : root.resources()) {
        for (const auto& action : resource.actions) {
            if (action.id == action_id) {
                const auto payload =
                    action.payload.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
                return route_invocation(root, action.execution_kind, action.operation_id, payload);
            }
        }
    }
    return kora_actions::Outcome::not_handled();
}

std::unique_ptr<ActionsBus> start_actions_bus(Widget& root, const std::string& application_id,
                                              std::function<void()> after_invocation,
                                              std::function<void(const QVariantMap&)> activate) {
    auto connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) {
        std::fprintf(stderr, "%s: no session bus, its actions are not exported\n", application_id.c_str());
        return nullptr;
    }
    auto impl = std::make_unique<ActionsBus::Impl>(
        root, connection, kora_actions::bus::bus_name_for(application_id),
        kora_actions::bus::object_path_for(application_id),
        std::make_unique<ExportedObject>(root, connection, std::move(after_invocation), std::move(activate)));
    if (!connection.registerObject(to_qstring(impl->object_path), impl->object.get(),
                                   QDBusConnection::ExportAdaptors)) {
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

bool raise_running_instance(const std::string& application_id) {
    auto connection = QDBusConnection::sessionBus();
    const auto name = to_qstring(kora_actions::bus::bus_name_for(application_id));
    if (!connection.isConnected() || !connection.interface()->isServiceRegistered(name).value()) {
        return false;
    }
    auto call = QDBusMessage::createMethodCall(
        name, to_qstring(kora_actions::bus::object_path_for(application_id)),
        to_qstring(kora_actions::bus::kApplicationInterface), QStringLiteral("Activate"));
    // What lets the desktop hand the focus to the raised window.
    QVariantMap platform_data;
    if (const char* token = std::getenv("XDG_ACTIVATION_TOKEN"); token && *token) {
        platform_data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    }
    if (const char* startup = std::getenv("DESKTOP_STARTUP_ID"); startup && *startup) {
        platform_data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startup));
    }
    call << platform_data;
    call.setAutoStartService(false);
    const auto reply = connection.call(call, QDBus::Block, kActivateTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "%s: the running window did not answer (%s)\n", application_id.c_str(),
                     reply.errorMessage().toStdString().c_str());
        return false;
    }
    return true;
}

}  // namespace kora_ui::qt
