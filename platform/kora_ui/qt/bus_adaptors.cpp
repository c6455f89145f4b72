#include "qt/bus_adaptors.h"

#include "kora_actions/bus.h"

namespace kora_ui::qt {

static_assert(kora_actions::bus::kInterface == "org.kora.Actions1", "bus_adaptors.h names the interface");
static_assert(kora_actions::bus::kApplicationInterface == "org.freedesktop.Application");

ActionsAdaptor::ActionsAdaptor(QObject* object, BusBackend& backend)
    : QDBusAbstractAdaptor(object), m_backend(backend) {}

QString ActionsAdaptor::ListResources() {
    return m_backend.list_resources();
}

void ActionsAdaptor::Invoke(uchar execution_kind, const QString& operation_id, const QString& argument_json,
                            const QDBusMessage& message) {
    m_backend.invoke(execution_kind, operation_id, argument_json, message);
}

ApplicationAdaptor::ApplicationAdaptor(QObject* object, BusBackend& backend)
    : QDBusAbstractAdaptor(object), m_backend(backend) {}

void ApplicationAdaptor::Activate(const QVariantMap& platform_data) {
    m_backend.activate(platform_data);
}

void ApplicationAdaptor::Open(const QStringList& uris, const QVariantMap& platform_data,
                              const QDBusMessage& message) {
    m_backend.open(uris, platform_data, message);
}

void ApplicationAdaptor::ActivateAction(const QString& action_name, const QVariantList& parameter,
                                        const QVariantMap& platform_data, const QDBusMessage& message) {
    m_backend.activate_action(action_name, parameter, platform_data, message);
}

}  // namespace kora_ui::qt
