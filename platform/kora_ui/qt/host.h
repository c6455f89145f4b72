// The window of a kora_ui root: calls the root's update from a timer and whenever a channel is
// posted to, and after each update (and before any control acts) brings the QWidgets in line with the
// root's tree, however that tree was replaced: what is unchanged keeps its widgets, so focus, scroll
// positions and open drop-downs stay.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kora_ui/widget.h"
#include "qt/realize.h"

class QMessageBox;
class QScrollArea;

namespace kora_ui::qt {

class Host final : public QWidget {
  public:
    explicit Host(WidgetPtr root, QWidget* parent = nullptr);
    ~Host() override;

    [[nodiscard]] Widget& root() const { return *m_root; }
    // One update of the root, then the widgets patched to its tree. True when anything changed.
    bool pump();
    // Realizes the whole tree again now, dropping every widget (what measurements compare patching
    // with). Never call it from a control's own signal handler: use request_update.
    void rebuild();
    // Queues one update (many requests before it runs make one).
    void request_update();

    [[nodiscard]] QScrollArea* scroll_area() const { return m_scroll; }
    [[nodiscard]] QWidget* content() const;
    [[nodiscard]] std::uint64_t rebuild_count() const { return m_rebuilds; }
    // kora_ui widgets realized since the last full build (patches and cards realized later included).
    [[nodiscard]] std::size_t realized_widgets() const { return m_realizer->realized(); }
    [[nodiscard]] std::chrono::steady_clock::time_point last_change() const { return m_last_change; }
    void set_update_interval(std::chrono::milliseconds interval);
    // How long the host waits, once idle, before realizing cards that were left out of the first frame.
    void set_card_delay(std::chrono::milliseconds delay);
    // Realizes every card that waits now (their controls join Tab order and the accessibility tree).
    void realize_waiting_cards_now();
    // Receives the control invocations taken from the root after each update (dropped without one).
    void set_control_invocation_handler(std::function<void(const ControlInvocation&)> handler);

    // What the session manager hears when it asks whether the session may end: false ("not yet")
    // while closing would lose work, with the root's question put to the user; true once answered.
    [[nodiscard]] bool may_end_session();
    // The root's close question while it is on screen (modal to this window), else null.
    [[nodiscard]] QMessageBox* close_question_box() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct WakeTarget;
    // Patches the widgets to the root's tree; keeps the focus on its control, or moves it to the new
    // page's first control after a page change.
    bool reconcile();
    void realize_waiting_cards();
    // Puts the root's close question up (or raises it); false when the root has none.
    bool ask_before_closing();
    void name_scroll_bars();

    WidgetPtr m_root;
    QScrollArea* m_scroll = nullptr;
    QTimer m_timer;
    QTimer m_idle;  // realizes the cards that wait, a few at a time
    std::unique_ptr<Realizer> m_realizer;
    std::string m_page_title;
    Realizer::FocusMemo m_focus;  // the control that had the focus last, to have it again
    std::shared_ptr<WakeTarget> m_wake;
    std::function<void(const ControlInvocation&)> m_invocation_handler;
    std::uint64_t m_frame = 0;
    std::uint64_t m_rebuilds = 0;
    bool m_in_pump = false;
    QPointer<QMessageBox> m_close_box;
    bool m_close_confirmed = false;  // "close without saving" was chosen
    std::chrono::steady_clock::time_point m_last_change = std::chrono::steady_clock::now();
};

}  // namespace kora_ui::qt
