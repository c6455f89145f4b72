// One file pick on the GUI thread that never blocks it: the desktop portal's FileChooser is asked
// asynchronously, for the window given (so the portal's dialog is modal to it), and its Response
// signal answers; when no portal answers the call, Qt's own dialog opens, modal to the same window.
// A pick its asker withdrew closes the portal's request (Request.Close) or the dialog; a portal that
// leaves the bus before answering fails the pick.
#pragma once

#include <QDBusConnection>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>
#include <functional>

#include "kora_ui/picker.h"

class QDBusPendingCallWatcher;
class QFileDialog;

namespace kora_ui::qt {

// The portal's name for a parent window: "x11:" and the X window id in hex on X11; empty where the
// platform gives no handle a portal understands (a dialog then has no parent in the portal).
[[nodiscard]] QString portal_parent_window(const QWidget* window);

class PortalPick final : public QObject {
    Q_OBJECT
  public:
    using Done = std::function<void(PickOutcome)>;
    // `done` is called once, on the GUI thread; the pick deletes itself afterwards.
    PortalPick(PickRequest request, QWidget* window, QDBusConnection bus, Done done);
    ~PortalPick() override;
    // Starts the pick: the portal when `use_portal` and one is on the bus, else the dialog.
    void start(bool use_portal);

  public Q_SLOTS:
    void response(uint code, const QVariantMap& results);

  private:
    void call_answered(QDBusPendingCallWatcher* watcher);
    void listen(const QString& path);
    void open_dialog();
    void finish(PickOutcome outcome);
    // Watches `owner` (the portal's connection) and fails the pick when it leaves the bus.
    void watch_owner(const QString& owner);
    // The asker gave up: close what is open and end.
    void withdraw();
    void close_request(const QString& path);

    PickRequest m_request;
    QPointer<QWidget> m_window;
    QDBusConnection m_bus;
    Done m_done;
    QStringList m_listening;
    QString m_handle;  // the portal's request object, once it gave one
    QPointer<QFileDialog> m_dialog;
    QTimer m_withdrawn;  // looks now and then whether the asker still waits
    bool m_call_pending = false;
    bool m_finished = false;
};

}  // namespace kora_ui::qt
