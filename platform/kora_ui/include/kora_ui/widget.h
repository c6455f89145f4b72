// The widget interface every node of a kora_ui tree implements, and the owned-pointer type trees use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "kora_actions/resource.h"

namespace kora_ui {

class Widget;
using WidgetPtr = std::unique_ptr<Widget>;

// What the toolkit hands to update; room for frame time and similar facts.
struct UpdateContext {
    std::uint64_t frame = 0;
};

// What a widget is for, said by whoever built it, so that a host need not guess it from looks.
enum class Meaning : std::uint8_t {
    none,
    heading,      // a text that titles what follows it
    page_title,   // the title of the page: another one means another page
    card,         // a card: framed, named by its title, its controls described by its subject
    back,         // the page's way back (Escape presses it)
    destructive,  // a control that removes or rearranges what the user made: never focused by itself
    main,         // what the page shows: where the focus goes after a destructive control was used
    selected,     // the chosen one of a set of choices
};

// A control that asked to invoke its own control id (instead of sending an operation).
struct ControlInvocation {
    std::string control_id;
    std::optional<std::int64_t> index;
    bool operator==(const ControlInvocation&) const = default;
};

// What a window asks before it closes while its content holds work that closing would lose.
struct CloseQuestion {
    std::string text;
    std::string discard_label;  // closes at once
    std::string cancel_label;   // keeps the window
    std::string save_label;     // saves, then closes once the save worked
    bool operator==(const CloseQuestion&) const = default;
};
enum class CloseAnswer : std::uint8_t { discard, cancel, save };

class Widget {
  public:
    virtual ~Widget() = default;

    [[nodiscard]] virtual std::string_view type_name() const = 0;
    [[nodiscard]] virtual std::span<const WidgetPtr> children() const { return {}; }
    // The control id of a control, empty for everything else.
    [[nodiscard]] virtual std::string_view control_id() const { return {}; }
    // Gives the widget a chance to take pending results; true when anything changed.
    virtual bool update(UpdateContext& context);
    [[nodiscard]] virtual bool needs_idle_sync() const;
    [[nodiscard]] virtual std::vector<kora_actions::Resource> resources() const { return {}; }
    virtual kora_actions::Outcome invoke_resource_operation_v2(std::uint8_t execution_kind,
                                                               std::string_view operation_id,
                                                               std::string_view arguments);
    // The first pending control invocation in this subtree, taken (so asked once it is gone).
    virtual std::optional<ControlInvocation> take_control_invocation();
    // Asked by the window (a root only) before it closes, and when the session would end: a question
    // when closing now would lose work, nothing when it may close.
    [[nodiscard]] virtual std::optional<CloseQuestion> close_question() const { return std::nullopt; }
    // The user's answer to that question. After `save` the content saves; once saved it asks its window
    // to close through take_close_request.
    virtual void answer_close_question(CloseAnswer) {}
    // True once when the content asks its window to close.
    virtual bool take_close_request() { return false; }
    // A number no other widget made by this process had (a moved widget takes its source's): a host
    // tells the tree it showed from a new one by it, even when the new one sits at a reused address.
    [[nodiscard]] std::uint64_t serial() const { return m_serial; }

    // What the widget is for; `none` when nobody said (some kinds then tell it by their own rule).
    [[nodiscard]] virtual Meaning meaning() const { return m_meaning; }
    // A card's title (what a reader calls it) and subject (what its controls are about: its document
    // or printer), when said; empty otherwise.
    [[nodiscard]] const std::string& said_title() const { return m_title; }
    [[nodiscard]] const std::string& said_subject() const { return m_subject; }
    // Whether a meaning was said (also `none`, which then overrides a kind's own rule).
    [[nodiscard]] bool said() const { return m_said; }
    void say(Meaning meaning) {
        m_meaning = meaning;
        m_said = true;
    }
    void say_card(std::string title, std::string subject) {
        say(Meaning::card);
        m_title = std::move(title);
        m_subject = std::move(subject);
    }

  protected:
    Widget() = default;
    Widget(Widget&&) = default;
    Widget& operator=(Widget&&) = default;

  private:
    [[nodiscard]] static std::uint64_t next_serial();
    std::uint64_t m_serial = next_serial();
    Meaning m_meaning = Meaning::none;
    bool m_said = false;
    std::string m_title;
    std::string m_subject;
};

// `widget`, saying what it is for: `said(Button(...), Meaning::back)`.
template <class W>
std::remove_cvref_t<W> said(W&& widget, Meaning meaning) {
    std::remove_cvref_t<W> out(std::forward<W>(widget));
    out.say(meaning);
    return out;
}
// `widget` as a card with a title and a subject (see Widget::said_subject).
template <class W>
std::remove_cvref_t<W> said_card(W&& widget, std::string title, std::string subject) {
    std::remove_cvref_t<W> out(std::forward<W>(widget));
    out.say_card(std::move(title), std::move(subject));
    return out;
}

// Turns a widget value or an owned pointer into an owned pointer.
template <class W>
WidgetPtr into_widget(W&& widget) {
    using Plain = std::remove_cvref_t<W>;
    if constexpr (std::is_same_v<Plain, WidgetPtr>) {
        return std::move(widget);
    } else if constexpr (std::is_convertible_v<Plain, WidgetPtr>) {
        return WidgetPtr(std::move(widget));
    } else {
        static_assert(std::is_base_of_v<Widget, Plain>, "only widgets go into a tree");
        return std::make_unique<Plain>(std::forward<W>(widget));
    }
}

template <class W>
WidgetPtr boxed(W&& widget) {
    return into_widget(std::forward<W>(widget));
}

}  // namespace kora_ui
