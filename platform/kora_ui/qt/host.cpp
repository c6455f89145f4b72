#include "qt/host.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <mutex>

#include "kora_ui/channel.h"
#include "qt/accessible.h"
#include "qt/qstrings.h"

namespace kora_ui::qt {

// What the channel wake hook reaches from any thread: the host while it lives, and a flag that
// turns a burst of posts into one queued update.
struct Host::WakeTarget {
    std::mutex mutex;
    Host* host = nullptr;
    std::atomic<bool> queued{false};

    void post() {
        std::lock_guard lock(mutex);
        if (!host || queued.exchange(true)) {
            return;
        }
        QMetaObject::invokeMethod(
            host,
            [this] {
                queued.store(false);
                if (host) {
                    host->pump();
                }
            },
            Qt::QueuedConnection);
    }
};

Host::Host(WidgetPtr root, QWidget* parent)
    : QWidget(parent), m_root(std::move(root)), m_wake(std::make_shared<WakeTarget>()) {
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Always there, so pages of one width keep one left edge whether they scroll or not.
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_scroll);
    accessible::set_role(this, accessible::Role::frame);

    m_wake->host = this;
    std::weak_ptr<WakeTarget> wake = m_wake;
    set_channel_wake_hook([wake] {
        if (auto target = wake.lock()) {
            target->post();
        }
    });
    m_realizer = std::make_unique<Realizer>(*m_root, [wake] {
        if (auto target = wake.lock()) {
            target->post();
        }
    });

    m_idle.setSingleShot(true);
    // Late enough not to delay the first frame, soon enough that the cards are in Tab order and in
    // the accessibility tree before anyone scrolls to them.
    m_idle.setInterval(std::chrono::milliseconds(30));
    connect(&m_idle, &QTimer::timeout, this, [this] { realize_waiting_cards(); });
    rebuild();
    m_timer.setInterval(std::chrono::milliseconds(250));
    connect(&m_timer, &QTimer::timeout, this, [this] { pump(); });
    m_timer.start();
}

Host::~Host() {
    set_channel_wake_hook({});
    {
        std::lock_guard lock(m_wake->mutex);
        m_wake->host = nullptr;
    }
    // The realized widgets name records of the realizer: they go first, then the realizer.
    delete m_scroll->takeWidget();
    m_realizer.reset();
}

QWidget* Host::content() const {
    return m_scroll->widget();
}

void Host::set_update_interval(std::chrono::milliseconds interval) {
    m_timer.setInterval(interval);
}

void Host::set_control_invocation_handler(std::function<void(const ControlInvocation&)> handler) {
    m_invocation_handler = std::move(handler);
}

void Host::request_update() {
    m_wake->post();
}

bool Host::pump() {
    if (m_in_pump) {
        return false;
    }
    m_in_pump = true;
    UpdateContext context{m_frame++};
    const bool updated = m_root->update(context);
    // Whatever the update said: an action may have installed a new view outside it.
    const bool patched = reconcile();
    if (updated || patched) {
        m_last_change = std::chrono::steady_clock::now();
    }
    while (auto invocation = m_root->take_control_invocation()) {
        if (m_invocation_handler) {
            m_invocation_handler(*invocation);
        }
    }
    if (m_root->take_close_request()) {
        // Outside the pump: closing asks the root again, which must then have nothing to ask.
        QTimer::singleShot(0, this, [this] { close(); });
    }
    // An update takes one result: while it takes some, look again (others may wait in channels that
    // were not empty, which wake nobody). Only a root that waits on something without a wake of its own
    // (a picker, a question) is looked at on a timer; otherwise nothing here runs until something happens.
    if (updated) {
        request_update();
    }
    if (m_root->needs_idle_sync()) {
        if (!m_timer.isActive()) {
            m_timer.start();
        }
    } else {
        m_timer.stop();
    }
    m_in_pump = false;
    return updated || patched;
}

bool Host::reconcile() {
    if (auto focus = m_realizer->remember_focus(); focus.found) {
        m_focus = std::move(focus);
    }
    const bool patched = m_realizer->reconcile();
    // Also what a control's dispatch patched when it found the tree replaced.
    const bool changed = m_realizer->take_changes() || patched;
    if (changed) {
        m_realizer->fix_tab_order();
        // After a control removed or moved what the user made, the focus leaves it (a second press
        // would take the next thing): for what the page shows, else the page's first control.
        const bool after_destructive = m_realizer->take_destructive_press();
        QWidget* main = after_destructive ? m_realizer->main_control() : nullptr;
        if (auto title = m_realizer->page_title(); title != m_page_title) {
            m_page_title = std::move(title);
            name_scroll_bars();
            // A new page: its first control, where a keyboard user starts reading it.
            QWidget* first = main ? main : m_realizer->first_control();
            if (first && (m_focus.found || isActiveWindow())) {
                first->setFocus(Qt::OtherFocusReason);
            }
            m_focus = {};
        } else if (main && m_realizer->page_has_focus()) {
            main->setFocus(Qt::OtherFocusReason);
            m_focus = m_realizer->remember_focus();
        }
        if (m_realizer->waiting()) {
            m_idle.start();
        }
    }
    // Focus lost with its widget (or while the page was loading) returns to that control once it is
    // shown and enabled again.
    if (m_focus.found && !m_realizer->page_has_focus() && m_realizer->restore_focus(m_focus)) {
        m_focus.widget = QApplication::focusWidget();
    }
    // Where Qt moved the focus on from a control that went, never a destructive one.
    if (QWidget* safe = m_focus.found ? m_realizer->safe_instead_of(m_focus) : nullptr) {
        safe->setFocus(Qt::OtherFocusReason);
        m_focus = m_realizer->remember_focus();
    }
    return changed;
}

void Host::name_scroll_bars() {
    // A reader hears what a bar scrolls: the page, by its title.
    const QString page =
        QString::fromStdString(m_page_title.empty() ? std::string(kora_ui::tr("Page")) : m_page_title);
    m_scroll->verticalScrollBar()->setAccessibleName(page);
    m_scroll->horizontalScrollBar()->setAccessibleName(page);
}

void Host::realize_waiting_cards() {
    if (m_realizer->realize_waiting(4)) {
        m_idle.start();
    }
}

void Host::set_card_delay(std::chrono::milliseconds delay) {
    m_idle.setInterval(delay);
}

void Host::realize_waiting_cards_now() {
    m_idle.stop();
    (void)m_realizer->realize_waiting(std::numeric_limits<std::size_t>::max());
}

void Host::keyPressEvent(QKeyEvent* event) {
    // Escape goes back on a page that has a back control.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_realizer->press_back()) {
        return;
    }
    QWidget::keyPressEvent(event);
}

void Host::closeEvent(QCloseEvent* event) {
    if (!m_close_confirmed && ask_before_closing()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

QMessageBox* Host::close_question_box() const {
    return m_close_box.data();
}

bool Host::may_end_session() {
    return m_close_confirmed || !ask_before_closing();
}

bool Host::ask_before_closing() {
    const auto question = m_root->close_question();
    if (!question) {
        return false;
    }
    if (m_close_box) {
        m_close_box->raise();
        m_close_box->activateWindow();
        return true;
    }
    const auto label = [](const std::string& text) {
        return qs(text).replace(QLatin1Char('&'), QLatin1String("&&"));
    };
    auto* box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), qs(question->text), QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("kora.close-question"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    auto* discard = box->addButton(label(question->discard_label), QMessageBox::DestructiveRole);
    auto* cancel = box->addButton(label(question->cancel_label), QMessageBox::RejectRole);
    auto* save = box->addButton(label(question->save_label), QMessageBox::AcceptRole);
    discard->setObjectName(QStringLiteral("kora.close-question.discard"));
    cancel->setObjectName(QStringLiteral("kora.close-question.cancel"));
    save->setObjectName(QStringLiteral("kora.close-question.save"));
    box->setDefaultButton(save);
    box->setEscapeButton(cancel);  // Escape and the box's own close keep the window
    connect(box, &QMessageBox::buttonClicked, this, [this, discard, save](QAbstractButton* clicked) {
        if (clicked == discard) {
            m_root->answer_close_question(CloseAnswer::discard);
            m_close_confirmed = true;
            QTimer::singleShot(0, this, [this] { close(); });
        } else if (clicked == save) {
            m_root->answer_close_question(CloseAnswer::save);
            request_update();
        } else {
            m_root->answer_close_question(CloseAnswer::cancel);
        }
    });
    m_close_box = box;
    box->open();
    return true;
}

void Host::rebuild() {
    const int outer = m_scroll->verticalScrollBar()->value();
    QWidget* page = m_realizer->build();
    if (QWidget* old = m_scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_scroll->setWidget(page);
    ++m_rebuilds;
    m_realizer->fix_tab_order();
    (void)m_realizer->take_changes();
    m_page_title = m_realizer->page_title();
    name_scroll_bars();
    m_scroll->verticalScrollBar()->setValue(outer);
    if (outer != 0) {
        // The range is known only once the new content is laid out.
        QTimer::singleShot(0, this, [this, outer] { m_scroll->verticalScrollBar()->setValue(outer); });
    }
    if (m_realizer->waiting()) {
        m_idle.start();
    }
}

}  // namespace kora_ui::qt
