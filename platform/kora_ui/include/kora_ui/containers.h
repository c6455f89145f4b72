// The containers a view lays its tree out with: stacks, a sized container, a scrolled area.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "kora_ui/widget.h"

namespace kora_ui {

// Shared by the containers that hold an ordered list of children.
template <class Self>
class Stack : public Widget {
  public:
    template <class W>
    Self&& push(W&& child) && {
        m_children.push_back(into_widget(std::forward<W>(child)));
        return std::move(static_cast<Self&>(*this));
    }
    template <class W>
    Self& push(W&& child) & {
        m_children.push_back(into_widget(std::forward<W>(child)));
        return static_cast<Self&>(*this);
    }
    std::span<const WidgetPtr> children() const override { return m_children; }
    [[nodiscard]] bool empty() const { return m_children.empty(); }

  protected:
    std::vector<WidgetPtr> m_children;
};

class Column final : public Stack<Column> {
  public:
    std::string_view type_name() const override { return "kora_ui::Column"; }
};

class Row final : public Stack<Row> {
  public:
    std::string_view type_name() const override { return "kora_ui::Row"; }
};

// One child with sizing: flexible (takes the free space), a minimum and a maximum width.
class Container final : public Widget {
  public:
    Container() = default;
    template <class W>
    Container&& with_child(W&& child) && {
        set(into_widget(std::forward<W>(child)));
        return std::move(*this);
    }
    Container&& flexible(bool on = true) && {
        m_flexible = on;
        return std::move(*this);
    }
    Container&& min_width(float width) && {
        m_min_width = width;
        return std::move(*this);
    }
    Container&& max_width(float width) && {
        m_max_width = width;
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Container"; }
    std::span<const WidgetPtr> children() const override { return {m_child.data(), m_child.size()}; }
    [[nodiscard]] bool is_flexible() const { return m_flexible; }
    [[nodiscard]] std::optional<float> min_width() const { return m_min_width; }
    [[nodiscard]] std::optional<float> max_width() const { return m_max_width; }

  private:
    void set(WidgetPtr child) {
        m_child.clear();
        m_child.push_back(std::move(child));
    }
    std::vector<WidgetPtr> m_child;
    bool m_flexible = false;
    std::optional<float> m_min_width;
    std::optional<float> m_max_width;
};

class Scrollable final : public Widget {
  public:
    template <class W>
    Scrollable&& with_child(W&& child) && {
        m_child.clear();
        m_child.push_back(into_widget(std::forward<W>(child)));
        return std::move(*this);
    }
    std::string_view type_name() const override { return "kora_ui::Scrollable"; }
    std::span<const WidgetPtr> children() const override { return {m_child.data(), m_child.size()}; }

  private:
    std::vector<WidgetPtr> m_child;
};

}  // namespace kora_ui
