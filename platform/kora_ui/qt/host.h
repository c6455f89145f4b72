// The window of a kora_ui root: calls the root's update from a timer and whenever a channel is
// posted to, rebuilds the QWidget content when update says it changed, keeps scroll positions.
#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kora_ui/widget.h"
#include "qt/realize.h"

class QScrollArea;

namespace kora_ui::qt {

class Host final : public QWidget {
  public:
    explicit Host(WidgetPtr root, QWidget* parent = nullptr);
    ~Host() override;

    [[nodiscard]] Widget& root() const { return *m_root; }
    // One update of the root; a rebuild when it changed. True when it changed.
    bool pump();
    // Realizes the whole tree again now. Never call it from a control's own signal handler:
    // use request_update, which runs later from the event loop.
    void rebuild();
    // Queues one update (many requests before it runs make one).
    void request_update();

    [[nodiscard]] QScrollArea* scroll_area() const { return m_scroll; }
    [[nodiscard]] QWidget* content() const;
    [[nodiscard]] std::uint64_t rebuild_count() const { return m_rebuilds; }
    // kora_ui widgets realized for the current tree, cards realized later as they came into view included.
    [[nodiscard]] std::size_t realized_widgets() const { return m_context.realized; }
    [[nodiscard]] std::chrono::steady_clock::time_point last_change() const { return m_last_change; }
    void set_update_interval(std::chrono::milliseconds interval);
    // Receives the control invocations taken from the root after each update (dropped without one).
    void set_control_invocation_handler(std::function<void(const ControlInvocation&)> handler);

  private:
    struct WakeTarget;
    void restore_scroll(int outer, const std::vector<int>& inner);

    WidgetPtr m_root;
    QScrollArea* m_scroll = nullptr;
    QTimer m_timer;
    RealizeContext m_context;
    std::shared_ptr<WakeTarget> m_wake;
    std::function<void(const ControlInvocation&)> m_invocation_handler;
    std::uint64_t m_frame = 0;
    std::uint64_t m_rebuilds = 0;
    bool m_in_pump = false;
    std::chrono::steady_clock::time_point m_last_change = std::chrono::steady_clock::now();
};

}  // namespace kora_ui::qt
