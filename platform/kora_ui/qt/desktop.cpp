#include "qt/desktop.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "kora_ui/clipboard.h"
#include "qt/portal_pick.h"

namespace kora_ui::qt {

namespace {

// Where a pick's outcome meets the thread waiting for it. Dropped unanswered (the window went
// away, or the event that would start the pick never ran), it answers "failed" itself.
class Answer {
  public:
    void give(PickOutcome outcome) {
        std::lock_guard lock(m_mutex);
        if (!m_outcome) {
            m_outcome = std::move(outcome);
            m_given.notify_all();
        }
    }
    PickOutcome wait() {
        std::unique_lock lock(m_mutex);
        m_given.wait(lock, [this] { return m_outcome.has_value(); });
        return *m_outcome;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_given;
    std::optional<PickOutcome> m_outcome;
};

struct AnswerOnce {
    std::shared_ptr<Answer> answer;
    bool given = false;
    ~AnswerOnce() {
        if (!given) {
            answer->give({PickOutcome::Kind::failed, {}, "the window is gone"});
        }
    }
};

class DesktopPicker final : public PickerBackend {
  public:
    DesktopPicker(QObject* context, QWidget* window, bool use_portal, QString bus_name)
        : m_context(context), m_window(window), m_use_portal(use_portal), m_bus_name(std::move(bus_name)) {}

    PickOutcome pick(const PickRequest& request) override {
        auto answer = std::make_shared<Answer>();
        auto once = std::make_shared<AnswerOnce>();
        once->answer = answer;
        auto start = [this, request, once] {
            auto* pick = new PortalPick(request, m_window, bus(), [once](PickOutcome outcome) {
                once->given = true;
                once->answer->give(std::move(outcome));
            });
            pick->setParent(m_context);
            pick->start(m_use_portal);
        };
        if (QThread::currentThread() == m_context->thread()) {
            // Called on the GUI thread itself: wait in a local loop (the program's picks never come here).
            QEventLoop loop;
            auto* pick = new PortalPick(request, m_window, bus(), [&](PickOutcome outcome) {
                once->given = true;
                answer->give(std::move(outcome));
                loop.quit();
            });
            pick->start(m_use_portal);
            loop.exec();
            return answer->wait();
        }
        QMetaObject::invokeMethod(m_context, std::move(start), Qt::QueuedConnection);
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
