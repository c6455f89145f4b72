// The interfaces of the actions export as Qt D-Bus adaptors: Qt derives their introspection and the
// marshalling of every argument from these declarations. The interface names are those of
// kora_actions/bus.h (checked in bus_adaptors.cpp).
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace kora_ui::qt {

// What the adaptors hand on. A call that takes the message answers it itself (a reply or a D-Bus error).
class BusBackend {
  public:
    virtual ~BusBackend() = default;
    [[nodiscard]] virtual QString list_resources() = 0;
    virtual void invoke(uchar execution_kind, const QString& operation_id, const QString& argument_json,
                        const QDBusMessage& message) = 0;
    virtual void activate(const QVariantMap& platform_data) = 0;
    virtual void open(const QStringList& uris, const QVariantMap& platform_data,
                      const QDBusMessage& message) = 0;
    virtual void activate_action(const QString& action_name, const QVariantList& parameter,
                                 const QVariantMap& platform_data, const QDBusMessage& message) = 0;
};

// org.kora.Actions1: the resources and their actions.
class ActionsAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kora.Actions1")

  public:
    ActionsAdaptor(QObject* object, BusBackend& backend);

  public Q_SLOTS:
    QString ListResources();
    void Invoke(uchar execution_kind, const QString& operation_id, const QString& argument_json,
                const QDBusMessage& message);

  Q_SIGNALS:
    void ControlInvoked(const QString& control_id, qlonglong index);

  private:
    BusBackend& m_backend;
};

// org.freedesktop.Application: what launchers call to raise the window or run one of its actions.
class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

  public:
    ApplicationAdaptor(QObject* object, BusBackend& backend);

  public Q_SLOTS:
    void Activate(const QVariantMap& platform_data);
    void Open(const QStringList& uris, const QVariantMap& platform_data, const QDBusMessage& message);
    void ActivateAction(const QString& action_name, const QVariantList& parameter,
                        const QVariantMap& platform_data, const QDBusMessage& message);

  private:
    BusBackend& m_backend;
};

}  // namespace kora_ui::qt
