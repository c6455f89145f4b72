#include "qt/desktop.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include "kora_ui/clipboard.h"
#include "qt/awaited_answer.h"
#include "qt/portal_pick.h"

namespace kora_ui::qt {

namespace {

class DesktopPicker final : public PickerBackend {
  public:
    DesktopPicker(QObject* context, QWidget* window, bool use_portal, QString bus_name)
        : m_context(context), m_window(window), m_use_portal(use_portal), m_bus_name(std::move(bus_name)) {}

    PickOutcome pick(const PickRequest& request) override {
        auto answer = std::make_shared<AwaitedAnswer<PickOutcome>>();
        if (QThread::currentThread() == m_context->thread()) {
            // Called on the GUI thread itself: wait in a local loop (the program's picks never come here).
            QEventLoop loop;
            auto* pick = new PortalPick(request, m_window, bus(), [&](PickOutcome outcome) {
                answer->give(std::move(outcome));
                loop.quit();
            });
            pick->start(m_use_portal);
            loop.exec();
            return answer->wait();
        }
        QMetaObject::invokeMethod(
            m_context,
            [this, request,
             share = AnswerShare(answer, PickOutcome{PickOutcome::Kind::failed, {}, kWindowGone})] {
                auto* pick = new PortalPick(request, m_window, bus(),
                                            [share](PickOutcome outcome) { share.give(std::move(outcome)); });
                pick->setParent(m_context);
                pick->start(m_use_portal);
            },
            Qt::QueuedConnection);
        return answer->wait();
    }

  private:
    [[nodiscard]] QDBusConnection bus() const {
        return m_bus_name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(m_bus_name);
    }

    QObject* m_context;
    QPointer<QWidget> m_window;
    bool m_use_portal;
    QString m_bus_name;
};

}  // namespace

std::shared_ptr<PickerBackend> make_desktop_picker(QObject* gui_context, QWidget* window, bool use_portal,
                                                   const QString& bus_name) {
    return std::make_shared<DesktopPicker>(gui_context, window, use_portal, bus_name);
}

void install_clipboard_backend(QObject* gui_context) {
    text_selection::set_clipboard_backend([gui_context](const std::string& text) {
        auto copy = [value = QString::fromStdString(text)] {
            QGuiApplication::clipboard()->setText(value);
        };
        if (QThread::currentThread() == gui_context->thread()) {
            copy();
        } else {
            QMetaObject::invokeMethod(gui_context, copy, Qt::QueuedConnection);
        }
    });
}

}  // namespace kora_ui::qt
