// The controls family: buttons, number inputs, drop-downs, check boxes and segmented controls. Each
// control's handler names its record and reaches its node only through the realizer's dispatch.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include "kora_ui/theme.h"
#include "kora_ui/widgets.h"
#include "qt/accessible.h"
#include "qt/icons.h"
#include "qt/keyboard.h"
#include "qt/qstrings.h"
#include "qt/realize/frames.h"
#include "qt/realize/kind.h"
#include "qt/style.h"
#include "qt/text_input.h"

namespace kora_ui::qt {

namespace controls {

// Runs `work` on the control's node of type `Node` in the current tree.
template <class Node, class Work>
void reach(Realizer& realizer, const std::weak_ptr<Realized>& record, Work work) {
    realizer.dispatch(record, [&work](Widget& node) {
        if (auto* target = node_as<Node>(node)) {
            work(*target);
        }
    });
}

void show_button(const Button& button, QPushButton& widget, const std::string& subject) {
    widget.setText(button_text(button.label()));
    const Meaning meaning = button.meaning();
    // A way back says where it leads; its visible label is only the place's name.
    widget.setAccessibleName(meaning == Meaning::back ? tq("Back to {}", {qs(button.label())})
                                                      : qs(button.label()));
    widget.setAccessibleDescription(!subject.empty() && subject != button.label() ? qs(subject) : QString());
    accessible::set_selected(&widget, meaning == Meaning::selected);
    if (button.icon()) {
        // Symbolic glyphs are drawn for 16 units; on a primary button in its text colour.
        const bool primary = button.style() == ButtonStyle::primary;
        widget.setIcon(primary ? symbolic_icon(*button.icon(), colour(theme::Theme::dark().on_accent))
                               : icon_for_code(*button.icon()));
        widget.setIconSize(QSize(16, 16));
    } else {
        widget.setIcon(QIcon());
    }
    widget.setPalette(button.style() == ButtonStyle::primary ? primary_palette() : QPalette());
    widget.setFlat(button.style() == ButtonStyle::subtle);
    widget.setEnabled(button.has_action());
}

QWidget* make_button(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                     const Context& context) {
    auto& button = static_cast<Button&>(node);
    auto* widget = new QPushButton(button_text(button.label()), parent);
    widget->setObjectName(qs(std::string(button.control_id())));
    widget->setAutoDefault(false);
    show_button(button, *widget, context.subject);
    builder.keys().watch(widget);
    QObject::connect(widget, &QPushButton::clicked, widget,
                     [realizer = &builder.realizer(), weak = std::weak_ptr<Realized>(record)](bool) {
                         reach<Button>(*realizer, weak, [](Button& target) { target.press(); });
                     });
    return widget;
}

void sign_button(const Widget& node, Signature& out) {
    const auto& button = static_cast<const Button&>(node);
    out.add(button.label());
    out.number(button.icon() ? static_cast<int>(*button.icon()) : -1);
    out.number(static_cast<int>(button.style()));
    out.number(button.has_action());
    out.number(static_cast<int>(button.meaning()));
}

bool patch_button(Widget& node, Realized& record) {
    show_button(static_cast<Button&>(node), *static_cast<QPushButton*>(record.widget.data()),
                record.context.subject);
    return true;
}

bool fits_int(double value) {
    return std::isfinite(value) && std::floor(value) == value && std::abs(value) <= 1e9;
}

QWidget* make_number_input(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                           const Context&) {
    auto& input = static_cast<NumberInput&>(node);
    const double current = input.state().get();
    QAbstractSpinBox* box = nullptr;
    auto enter = [realizer = &builder.realizer(), weak = std::weak_ptr<Realized>(record)](double value) {
        reach<NumberInput>(*realizer, weak, [value](NumberInput& target) { target.enter(value); });
    };
    if (fits_int(input.minimum()) && fits_int(input.maximum())) {
        auto* spin = new QSpinBox(parent);
        spin->setRange(static_cast<int>(input.minimum()), static_cast<int>(input.maximum()));
        spin->setValue(static_cast<int>(std::lround(current)));
        QObject::connect(spin, &QSpinBox::valueChanged, spin, [enter](int value) { enter(value); });
        box = spin;
    } else {
        auto* spin = new QDoubleSpinBox(parent);
        const double low = std::isfinite(input.minimum()) ? std::max(input.minimum(), -1e12) : -1e12;
        const double high = std::isfinite(input.maximum()) ? std::min(input.maximum(), 1e12) : 1e12;
        spin->setRange(low, high);
        spin->setDecimals(2);
        spin->setValue(current);
        QObject::connect(spin, &QDoubleSpinBox::valueChanged, spin, enter);
        box = spin;
    }
    box->setObjectName(qs(std::string(input.control_id())));
    box->setAccessibleName(qs(input.accessible_label()));
    box->setMinimumWidth(84);
    builder.keys().watch(box);
    return box;
}

void sign_number_input(const Widget& node, Signature& out) {
    const auto& input = static_cast<const NumberInput&>(node);
    out.number(input.minimum());
    out.number(input.maximum());
    out.add(input.accessible_label());
}

void show_number(Widget& node, Realized& record) {
    const double value = static_cast<NumberInput&>(node).state().get();
    if (auto* spin = qobject_cast<QSpinBox*>(record.widget.data());
        spin && spin->value() != static_cast<int>(std::lround(value))) {
        const QSignalBlocker quiet(spin);
        spin->setValue(static_cast<int>(std::lround(value)));
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(record.widget.data());
               real && real->value() != value) {
        const QSignalBlocker quiet(real);
        real->setValue(value);
    }
}

int chosen_index(const Dropdown& dropdown) {
    const auto& options = dropdown.options();
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (dropdown.value() && *dropdown.value() == options[i].value) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QWidget* make_dropdown(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                       const Context&) {
    auto& dropdown = static_cast<Dropdown&>(node);
    auto* combo = new QComboBox(parent);
    combo->setObjectName(qs(std::string(dropdown.control_id())));
    combo->setAccessibleName(qs(dropdown.label()));
    // Named by its label (Qt names a drop-down by its current text), the choice its value.
    accessible::set_role(combo, accessible::Role::combo);
    combo->setPlaceholderText(qs(dropdown.placeholder()));
    for (const auto& option : dropdown.options()) {
        combo->addItem(qs(option.label), qs(option.value));
    }
    combo->setCurrentIndex(chosen_index(dropdown));
    combo->setMinimumWidth(200);
    builder.keys().watch(combo);
    QObject::connect(
        combo, &QComboBox::activated, combo,
        [realizer = &builder.realizer(), weak = std::weak_ptr<Realized>(record), combo](int index) {
            if (index < 0) {
                return;
            }
            const auto value = combo->itemData(index).toString().toStdString();
            reach<Dropdown>(*realizer, weak, [&value](Dropdown& target) { target.choose(value); });
        });
    return combo;
}

void sign_dropdown(const Widget& node, Signature& out) {
    const auto& dropdown = static_cast<const Dropdown&>(node);
    out.add(dropdown.label());
    out.add(dropdown.placeholder());
    for (const auto& option : dropdown.options()) {
        out.add(option.value);
        out.add(option.label);
    }
}

void show_choice(Widget& node, Realized& record) {
    auto* combo = static_cast<QComboBox*>(record.widget.data());
    if (const int chosen = chosen_index(static_cast<Dropdown&>(node)); combo->currentIndex() != chosen) {
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(chosen);
    }
}

QWidget* make_toggle(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                     const Context&) {
    auto& toggle = static_cast<Toggle&>(node);
    auto* box = new QCheckBox(parent);
    box->setChecked(toggle.state().get());
    box->setAccessibleName(qs(toggle.accessible_label()));
    box->setEnabled(toggle.enabled());
    builder.keys().watch(box);
    QObject::connect(box, &QCheckBox::toggled, box,
                     [realizer = &builder.realizer(), weak = std::weak_ptr<Realized>(record)](bool on) {
                         reach<Toggle>(*realizer, weak, [on](Toggle& target) { target.set(on); });
                     });
    return box;
}

void show_toggle(Widget& node, Realized& record) {
    auto* box = static_cast<QCheckBox*>(record.widget.data());
    if (const bool on = static_cast<Toggle&>(node).state().get(); box->isChecked() != on) {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
    }
}

// The chosen segment checked and highlighted, whoever chose it.
void show_selection(Widget& node, Realized& record) {
    const auto& group = static_cast<ToggleGroup&>(node);
    const std::size_t selected = group.selected().get();
    const auto segments = record.widget->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
    for (qsizetype i = 0; i < segments.size(); ++i) {
        segments[i]->setEnabled(group.enabled(static_cast<std::size_t>(i)));
        const bool on = static_cast<std::size_t>(i) == selected;
        if (segments[i]->isChecked() != on) {
            const QSignalBlocker quiet(segments[i]);
            segments[i]->setChecked(on);
        }
        const bool highlighted =
            segments[i]->palette().color(QPalette::Button) == primary_palette().color(QPalette::Button);
        if (highlighted != on) {
            segments[i]->setPalette(on ? primary_palette() : QPalette());
        }
    }
}

QWidget* make_toggle_group(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                           const Context& context) {
    auto& group = static_cast<ToggleGroup&>(node);
    auto* strip = new QWidget(parent);
    strip->setObjectName(qs(std::string(group.control_id())));
    strip->setAccessibleName(qs(context.caption.empty() ? std::string(group.control_id()) : context.caption));
    accessible::set_role(strip, accessible::Role::group);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* buttons = new QButtonGroup(strip);
    buttons->setExclusive(true);
    for (std::size_t i = 0; i < group.options().size(); ++i) {
        auto* segment = new QPushButton(button_text(group.options()[i]), strip);
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setAccessibleName(qs(group.options()[i]));
        accessible::set_role(segment, accessible::Role::radio);
        builder.keys().watch(segment, true);
        buttons->addButton(segment, static_cast<int>(i));
        layout->addWidget(segment);
    }
    record->widget = strip;
    show_selection(node, *record);
    QObject::connect(buttons, &QButtonGroup::idClicked, strip,
                     [realizer = &builder.realizer(), weak = std::weak_ptr<Realized>(record)](int index) {
                         reach<ToggleGroup>(*realizer, weak, [index](ToggleGroup& target) {
                             (void)target.select(static_cast<std::size_t>(index));
                         });
                     });
    return strip;
}

void sign_toggle_group(const Widget& node, Signature& out) {
    const auto& group = static_cast<const ToggleGroup&>(node);
    for (std::size_t i = 0; i < group.options().size(); ++i) {
        out.add(group.options()[i]);
        out.number(group.enabled(i) ? 1 : 0);
    }
}

void sign_toggle(const Widget& node, Signature& out) {
    const auto& toggle = static_cast<const Toggle&>(node);
    out.add(toggle.accessible_label());
    out.number(toggle.enabled());
}

// A text input: its line edit lives in qt/text_input.*.
QWidget* make_text_input(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                         const Context&) {
    return text_input::make(
        static_cast<TextInput&>(node), parent, builder.keys(),
        [realizer = &builder.realizer(), weak = std::weak_ptr<Realized>(record)](std::string text) {
            reach<TextInput>(*realizer, weak, [&text](TextInput& target) { target.enter(std::move(text)); });
        });
}

void sign_text_input(const Widget& node, Signature& out) {
    out.add(text_input::signature(static_cast<const TextInput&>(node)));
}

bool patch_text_input(Widget& node, Realized& record) {
    text_input::patch(static_cast<TextInput&>(node), *record.widget);
    return true;
}

void show_text(Widget& node, Realized& record) {
    text_input::sync(static_cast<TextInput&>(node), *record.widget);
}

}  // namespace controls

void add_controls(KindTable& table) {
    using namespace controls;
    table[typeid(Button)] = {.make = make_button,
                             .sign = sign_button,
                             .patch = patch_button,
                             .keeps_own_width = true,
                             .shape = Shape::button};
    table[typeid(NumberInput)] = {.make = make_number_input,
                                  .sign = sign_number_input,
                                  .show_bound = show_number,
                                  .keeps_own_width = true};
    table[typeid(Dropdown)] = {
        .make = make_dropdown, .sign = sign_dropdown, .show_bound = show_choice, .keeps_own_width = true};
    table[typeid(Toggle)] = {
        .make = make_toggle, .sign = sign_toggle, .show_bound = show_toggle, .keeps_own_width = true};
    table[typeid(TextInput)] = {.make = make_text_input,
                                .sign = sign_text_input,
                                .patch = patch_text_input,
                                .show_bound = show_text,
                                .keeps_own_width = true};
    table[typeid(ToggleGroup)] = {.make = make_toggle_group,
                                  .sign = sign_toggle_group,
                                  .show_bound = show_selection,
                                  .keeps_own_width = true,
                                  .segmented = true};
}

}  // namespace kora_ui::qt
