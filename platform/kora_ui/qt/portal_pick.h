// One file pick on the GUI thread that never blocks it: the desktop portal's FileChooser is asked
// asynchronously, for the window given (so the portal's dialog is modal to it), and its Response
// signal answers; when no portal answers the call, Qt's own dialog opens, modal to the same window.
#pragma once

#include <QDBusConnection>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <functional>

#include "kora_ui/picker.h"

class QDBusPendingCallWatcher;

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

    PickRequest m_request;
    QPointer<QWidget> m_window;
    QDBusConnection m_bus;
    Done m_done;
    QStringList m_listening;
    bool m_finished = false;
};

}  // namespace kora_ui::qt
