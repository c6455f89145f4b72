// Focus and Tab order: Tab follows the page in reading order (put right only around what was made
// since), focus survives a widget made afresh, and never lands by itself on a destructive control.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include "qt/realize/kind.h"

namespace kora_ui::qt {

namespace {
template <class Visit>
void walk_records(const Realized& record, const Visit& visit) {
    visit(record);
    for (const auto& child : record.children) {
        walk_records(*child, visit);
    }
}

struct Stop {
    QWidget* widget;
    const Realized* record;
};

// The focusable widgets of the page in the order of the tree, which is the order they are seen in.
std::vector<Stop> controls_in_order(const Realized& top) {
    std::vector<Stop> found;
    walk_records(top, [&found](const Realized& record) {
        QWidget* widget = record.widget;
        if (!widget || record.lazy) {
            return;
        }
        if (record.kind && record.kind->segmented) {
            for (auto* segment : widget->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
                found.push_back({segment, &record});
            }
        } else if (widget->focusPolicy() & Qt::TabFocus) {
            found.push_back({widget, &record});
        }
    });
    return found;
}

void forget_fresh(const Realized& record) {
    walk_records(record, [](const Realized& each) { const_cast<Realized&>(each).tab_fresh = false; });
}

bool takes_focus(const Stop& stop) {
    return stop.widget->isEnabled() && stop.widget->isVisible() &&
           stop.record->meaning != Meaning::destructive;
}
}  // namespace

void Realizer::fix_tab_order() {
    if (!m_top || !m_tab_order_dirty) {
        return;
    }
    m_tab_order_dirty = false;
    // Only the links next to a control made since are set: the others are in order already.
    const auto controls = controls_in_order(*m_top);
    for (std::size_t i = 1; i < controls.size(); ++i) {
        if (controls[i - 1].record->tab_fresh || controls[i].record->tab_fresh) {
            QWidget::setTabOrder(controls[i - 1].widget, controls[i].widget);
        }
    }
    forget_fresh(*m_top);
}

QWidget* Realizer::first_control() const {
    if (!m_top) {
        return nullptr;
    }
    for (const auto& stop : controls_in_order(*m_top)) {
        if (stop.widget->isEnabled()) {
            return stop.widget;
        }
    }
    return nullptr;
}

Realizer::FocusMemo Realizer::remember_focus() const {
    FocusMemo memo;
    QWidget* focused = QApplication::focusWidget();
    if (!m_top || !m_page || !focused || !m_page->isAncestorOf(focused)) {
        return memo;
    }
    memo.widget = focused;
    std::vector<std::size_t> path;
    std::function<bool(const Realized&)> find = [&](const Realized& record) {
        QWidget* widget = record.widget;
        if (widget && !record.lazy && (widget == focused || widget->isAncestorOf(focused))) {
            memo.found = true;
            memo.control_id = record.control_id;
            memo.path = path;
            if (record.kind && record.kind->segmented) {
                memo.segment =
                    widget->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly).indexOf(focused);
            }
        }
        for (std::size_t i = 0; i < record.children.size(); ++i) {
            path.push_back(i);
            find(*record.children[i]);
            path.pop_back();
        }
        return memo.found;
    };
    find(*m_top);
    return memo;
}

bool Realizer::page_has_focus() const {
    QWidget* now = QApplication::focusWidget();
    return m_page && now && m_page->isAncestorOf(now) && now->isVisible();
}

bool Realizer::restore_focus(const FocusMemo& memo) {
    if (!memo.found || !m_top) {
        return false;
    }
    QWidget* now = QApplication::focusWidget();
    if (memo.widget && memo.widget == now && memo.widget->isVisible()) {
        return true;  // the focused control was kept
    }
    const Realized* target = nullptr;
    if (!memo.control_id.empty()) {
        walk_records(*m_top, [&](const Realized& record) {
            if (!target && record.control_id == memo.control_id && record.widget && !record.lazy) {
                target = &record;
            }
        });
    } else {
        const Realized* at = m_top.get();
        for (std::size_t index : memo.path) {
            at = index < at->children.size() ? at->children[index].get() : nullptr;
            if (!at) {
                break;
            }
        }
        target = at && at->widget && !at->lazy ? at : nullptr;
    }
    if (!target || !target->widget->isEnabled()) {
        return false;
    }
    QWidget* widget = target->widget;
    if (memo.segment >= 0) {
        const auto segments = widget->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
        widget = memo.segment < segments.size() ? segments[memo.segment] : widget;
    }
    widget->setFocus(Qt::OtherFocusReason);
    return true;
}

QWidget* Realizer::safe_instead_of(const FocusMemo& memo) const {
    QWidget* now = QApplication::focusWidget();
    if (!m_top || !now || now == memo.widget.data()) {
        return nullptr;
    }
    const auto controls = controls_in_order(*m_top);
    const auto at = std::find_if(controls.begin(), controls.end(),
                                 [now](const Stop& stop) { return stop.widget == now; });
    if (at == controls.end() || at->record->meaning != Meaning::destructive) {
        return nullptr;
    }
    // Nearest first, the one before before the one after (where the control that went stood).
    const auto here = static_cast<std::ptrdiff_t>(at - controls.begin());
    const auto count = static_cast<std::ptrdiff_t>(controls.size());
    for (std::ptrdiff_t step = 1; step < count; ++step) {
        for (const std::ptrdiff_t i : {here - step, here + step}) {
            if (i >= 0 && i < count && takes_focus(controls[static_cast<std::size_t>(i)])) {
                return controls[static_cast<std::size_t>(i)].widget;
            }
        }
    }
    return nullptr;
}

}  // namespace kora_ui::qt
