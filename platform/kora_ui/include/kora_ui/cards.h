// Cards: titled surfaces with an optional header button, plain framed cards, and a wrapping grid.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kora_ui/containers.h"
#include "kora_ui/control_widgets.h"
#include "kora_ui/leaves.h"
#include "kora_ui/widget.h"

namespace kora_ui {

// A titled card: title, an optional header control (a button) and a body. Children: [header?, body].
class CardSurface final : public Widget {
  public:
    CardSurface(std::string title, std::optional<Button> header, WidgetPtr body);
    CardSurface(CardSurface&&) noexcept;
    CardSurface& operator=(CardSurface&&) noexcept;
    ~CardSurface() override;
    std::string_view type_name() const override { return "kora_ui::CardSurface"; }
    std::span<const WidgetPtr> children() const override { return m_children; }
    [[nodiscard]] const std::string& title() const { return m_title; }
    // The header button, when there is one.
    [[nodiscard]] const Button* header() const;
    [[nodiscard]] const Widget& body() const { return *m_children.back(); }
    // Drawn in the colours of a banner style: a card that reports a problem or an outcome.
    CardSurface&& with_tone(BannerStyle tone) && {
        m_tone = tone;
        return std::move(*this);
    }
    [[nodiscard]] std::optional<BannerStyle> tone() const { return m_tone; }

  private:
    std::string m_title;
    bool m_has_header = false;
    std::optional<BannerStyle> m_tone;
    std::vector<WidgetPtr> m_children;
};

namespace widget::card {
template <class W>
CardSurface surface(std::string title, std::optional<Button> header, W&& body) {
    return CardSurface(std::move(title), std::move(header), into_widget(std::forward<W>(body)));
}
}  // namespace widget::card

// A plain framed card without a title.
class Card final : public Widget {
  public:
    template <class W>
    explicit Card(W&& child) {
        m_child.push_back(into_widget(std::forward<W>(child)));
    }
    std::string_view type_name() const override { return "kora_ui::Card"; }
    std::span<const WidgetPtr> children() const override { return {m_child.data(), m_child.size()}; }

  private:
    std::vector<WidgetPtr> m_child;
};

// Cards that wrap into as many columns as fit: each column at least `min_column_width` wide and
// a card never wider than `max_card_width`.
class CardGrid final : public Stack<CardGrid> {
  public:
    CardGrid(float min_column_width, float max_card_width)
        : m_min_column_width(min_column_width), m_max_card_width(max_card_width) {}
    std::string_view type_name() const override { return "kora_ui::CardGrid"; }
    [[nodiscard]] float min_column_width() const { return m_min_column_width; }
    [[nodiscard]] float max_card_width() const { return m_max_card_width; }

  private:
    float m_min_column_width;
    float m_max_card_width;
};

}  // namespace kora_ui
