#include "qt/host.h"

#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>

#include "kora_ui/channel.h"

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
    layout->addWidget(m_scroll);

    m_wake->host = this;
    std::weak_ptr<WakeTarget> wake = m_wake;
    set_channel_wake_hook([wake] {
        if (auto target = wake.lock()) {
            target->post();
        }
    });
    m_context.after_input = [wake] {
        if (auto target = wake.lock()) {
            target->post();
        }
    };

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
    m_context.alive->store(false);
    // The realized widgets point into the tree: let them go before the tree does.
    delete m_scroll->takeWidget();
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
    const bool changed = m_root->update(context);
    if (changed) {
        m_last_change = std::chrono::steady_clock::now();
        rebuild();
    }
    while (auto invocation = m_root->take_control_invocation()) {
        if (m_invocation_handler) {
            m_invocation_handler(*invocation);
        }
    }
    m_in_pump = false;
    return changed;
}

void Host::rebuild() {
    const int outer = m_scroll->verticalScrollBar()->value();
    std::vector<int> inner;
    for (const auto& area : m_context.scroll_areas) {
        inner.push_back(area ? area->verticalScrollBar()->value() : 0);
    }

    // The old widgets may be inside their own signal handler right now: they stop reaching the
    // tree at once and are deleted later, from the event loop.
    m_context.alive->store(false);
    RealizeContext next;
    next.after_input = m_context.after_input;
    m_context = std::move(next);

    auto* page = new QWidget();
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(0);
    add_to_layout(*layout, *m_root, page, m_context);
    bool fills = false;
    for (int i = 0; i < layout->count(); ++i) {
        if (layout->stretch(i) > 0) {
            fills = true;
        }
    }
    if (!fills) {
        layout->addStretch(1);
    }

    if (QWidget* old = m_scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_scroll->setWidget(page);
    ++m_rebuilds;
    restore_scroll(outer, inner);
    if (outer != 0 || std::any_of(inner.begin(), inner.end(), [](int v) { return v != 0; })) {
        // Ranges are known only once the new content is laid out.
        QTimer::singleShot(0, this, [this, outer, inner] { restore_scroll(outer, inner); });
    }
}

void Host::restore_scroll(int outer, const std::vector<int>& inner) {
    m_scroll->verticalScrollBar()->setValue(outer);
    for (std::size_t i = 0; i < inner.size() && i < m_context.scroll_areas.size(); ++i) {
        if (auto& area = m_context.scroll_areas[i]) {
            area->verticalScrollBar()->setValue(inner[i]);
        }
    }
}

}  // namespace kora_ui::qt
