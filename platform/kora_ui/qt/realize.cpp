#include "qt/realize.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimer>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "kora_ui/theme.h"
#include "kora_ui/widgets.h"
#include "qt/accessible.h"
#include "qt/flow_layout.h"
#include "qt/icons.h"
#include "qt/keyboard.h"
#include "qt/painted.h"
#include "qt/qstrings.h"
#include "qt/reflow_row.h"
#include "qt/style.h"
#include "qt/text_input.h"

namespace kora_ui::qt {

namespace {

constexpr int kRowSpacing = 8;
// Panels side by side are at least this wide, else their row stacks them.
constexpr int kPanelWidth = 260;
constexpr int kPanelSpacing = 12;
// Cards of a grid realized with the page; later ones wait until they are painted (more than a
// window shows).
constexpr std::size_t kEagerCards = 8;
constexpr int kCardPadding = 18;
constexpr int kGridGap = 16;
// The tone a card surface was made in (a change of tone makes it afresh).
constexpr const char* kToneProperty = "kora_tone";

const QPalette& primary_palette() {
    static const QPalette palette = [] {
        QPalette p = QApplication::palette();
        const auto dark = theme::Theme::dark();
        p.setColor(QPalette::Button, colour(dark.accent));
        p.setColor(QPalette::ButtonText, colour(dark.on_accent));
        return p;
    }();
    return palette;
}

const QPalette& banner_palette() {
    static const QPalette palette = [] {
        QPalette p = QApplication::palette();
        const auto on_banner = colour(theme::Theme::dark().on_banner);
        p.setColor(QPalette::WindowText, on_banner);
        p.setColor(QPalette::PlaceholderText, on_banner);
        return p;
    }();
    return palette;
}

QColor banner_colour(BannerStyle style) {
    const auto dark = theme::Theme::dark();
    switch (style) {
        case BannerStyle::failure:
            return colour(dark.failure);
        case BannerStyle::caution:
            return colour(dark.caution);
        case BannerStyle::confirmation:
            return colour(dark.confirmation);
    }
    return colour(dark.surface);
}

QLabel* make_label(const std::string& text, float size, bool wrap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(qs(text));
    label->setFont(font_for_size(size));
    if (size < 14) {
        label->setForegroundRole(QPalette::PlaceholderText);
    }
    label->setWordWrap(wrap);
    return label;
}

bool fits_int(double value) {
    return std::isfinite(value) && std::floor(value) == value && std::abs(value) <= 1e9;
}

QImage image_from(const Pixels& rgba, std::uint32_t width, std::uint32_t height) {
    if (!rgba || width == 0 || height == 0 || rgba->size() < static_cast<std::size_t>(width) * height * 4) {
        return {};
    }
    // Shares the immutable buffer: the image keeps a reference until Qt lets go of it.
    auto* keep = new Pixels(rgba);
    return QImage(
        rgba->data(), static_cast<int>(width), static_cast<int>(height), static_cast<qsizetype>(width) * 4,
        QImage::Format_RGBA8888, [](void* info) { delete static_cast<Pixels*>(info); }, keep);
}

QWidget* make_frame(QColor fill, QColor border, int radius, QWidget* parent, QVBoxLayout*& layout,
                    int padding) {
    auto* frame = new Frame(fill, border, radius);
    frame->setParent(parent);
    layout = new QVBoxLayout(frame);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(0);
    return frame;
}

bool holds_scrollable(const Widget& node, int depth) {
    if (dynamic_cast<const Scrollable*>(&node)) {
        return true;
    }
    if (depth == 0) {
        return false;
    }
    for (const auto& child : node.children()) {
        if (holds_scrollable(*child, depth - 1)) {
            return true;
        }
    }
    return false;
}

bool fills(const Widget& node) {
    if (dynamic_cast<const Row*>(&node)) {
        return holds_scrollable(node, 2);
    }
    if (const auto* container = dynamic_cast<const Container*>(&node)) {
        return container->is_flexible();
    }
    if (const auto* spacer = dynamic_cast<const Spacer*>(&node)) {
        return spacer->is_flexible();
    }
    return dynamic_cast<const Scrollable*>(&node) != nullptr;
}

bool is_known(const Widget& node) {
    return node.type_name().starts_with("kora_ui::");
}

// A wrapper of the program's own whose type name ends in "Card" (a dashboard card): framed as a card.
bool is_card_wrapper(const Widget& node) {
    return !is_known(node) && node.children().size() == 1 && node.type_name().ends_with("Card");
}

// A wrapper of a type the host does not know (the program's root): its children take its place.
bool is_transparent(const Widget& node) {
    return !is_known(node) && !node.children().empty() && !is_card_wrapper(node);
}

bool any_fills(const Widget& node) {
    for (const auto& child : node.children()) {
        if (fills(*child) || (is_transparent(*child) && any_fills(*child))) {
            return true;
        }
    }
    return false;
}

bool stretches_in_row(const Widget& node) {
    return dynamic_cast<const Container*>(&node) || dynamic_cast<const Scrollable*>(&node) ||
           dynamic_cast<const CardSurface*>(&node) || dynamic_cast<const Card*>(&node) ||
           dynamic_cast<const CardGrid*>(&node) || dynamic_cast<const Column*>(&node);
}

bool keeps_own_width(const Widget& node) {
    return dynamic_cast<const Button*>(&node) || dynamic_cast<const NumberInput*>(&node) ||
           dynamic_cast<const Dropdown*>(&node) || dynamic_cast<const Toggle*>(&node) ||
           dynamic_cast<const ToggleGroup*>(&node) || dynamic_cast<const IconWidget*>(&node) ||
           dynamic_cast<const PagePreview*>(&node) || dynamic_cast<const Image*>(&node) ||
           dynamic_cast<const TextInput*>(&node);
}

// A card or the crop editor, bare or inside containers and wrappers.
bool is_panel(const Widget& node) {
    if (dynamic_cast<const CardSurface*>(&node) || dynamic_cast<const Card*>(&node) ||
        dynamic_cast<const ImageCropEditor*>(&node) || is_card_wrapper(node)) {
        return true;
    }
    const bool wraps = dynamic_cast<const Container*>(&node) || is_transparent(node);
    return wraps && node.children().size() == 1 && is_panel(*node.children().front());
}

// A row of nothing but two or more buttons (a tool bar of a card).
bool is_button_row(const Widget& row) {
    const auto& children = row.children();
    return children.size() >= 2 && std::all_of(children.begin(), children.end(), [](const WidgetPtr& child) {
               return dynamic_cast<const Button*>(child.get()) != nullptr;
           });
}

// A row of two or more panels, of a block of text beside a group of controls (a page header), or of
// buttons only, stacks them when the window is too narrow for them side by side.
bool reflows(const Widget& row) {
    if (is_button_row(row)) {
        return true;
    }
    const auto& children = row.children();
    const auto panels = std::count_if(children.begin(), children.end(),
                                      [](const WidgetPtr& child) { return is_panel(*child); });
    const bool text_block = std::any_of(children.begin(), children.end(), [](const WidgetPtr& child) {
        return dynamic_cast<const Column*>(child.get()) != nullptr;
    });
    const bool control_group = std::any_of(children.begin(), children.end(), [](const WidgetPtr& child) {
        return dynamic_cast<const Row*>(child.get()) != nullptr;
    });
    return panels >= 2 || (text_block && control_group);
}

// The kora_ui widgets in a subtree, counted up to `limit`.
std::size_t subtree_size(const Widget& node, std::size_t limit) {
    std::size_t size = 1;
    for (const auto& child : node.children()) {
        if (size >= limit) {
            break;
        }
        size += subtree_size(*child, limit - size);
    }
    return size;
}

// A card-sized part of a column, worth leaving for later when a long list holds many. Never one with
// a scrollable area (its position would be lost while it waits).
bool is_bulky(const Widget& node) {
    constexpr std::size_t kBulk = 8;
    return subtree_size(node, kBulk) >= kBulk && !holds_scrollable(node, std::numeric_limits<int>::max());
}

// What a node's widget shows of the node itself (children and bound cells aside): equal signatures
// need no change to the widget.
std::string signature_of(const Widget& node) {
    std::string out;
    auto add = [&out](std::string_view part) {
        out += part;
        out += '\x1f';
    };
    // The bytes of a number: only equality matters.
    auto number = [&out](double value) {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
        out += '\x1f';
    };
    if (const auto* text = dynamic_cast<const Text*>(&node)) {
        add(text->text());
        number(text->size());
    } else if (const auto* button = dynamic_cast<const Button*>(&node)) {
        add(button->label());
        number(button->icon().value_or(-1));
        number(static_cast<int>(button->style()));
        number(button->has_action());
    } else if (const auto* banner = dynamic_cast<const Banner*>(&node)) {
        number(static_cast<int>(banner->style()));
        add(banner->text());
        add(banner->message());
    } else if (const auto* bar = dynamic_cast<const ProgressBar*>(&node)) {
        number(bar->fraction());
        number(bar->is_indeterminate());
        add(bar->accessible_label());
    } else if (const auto* spacer = dynamic_cast<const Spacer*>(&node)) {
        number(spacer->size());
        number(spacer->is_flexible());
    } else if (const auto* card = dynamic_cast<const CardSurface*>(&node)) {
        add(card->title());
        number(card->header() != nullptr);
        number(card->tone() ? static_cast<int>(*card->tone()) : -1);
    } else if (const auto* container = dynamic_cast<const Container*>(&node)) {
        number(container->is_flexible());
        number(container->min_width().value_or(-1));
        number(container->max_width().value_or(-1));
    } else if (const auto* grid = dynamic_cast<const CardGrid*>(&node)) {
        number(grid->min_column_width());
        number(grid->max_card_width());
    } else if (const auto* row = dynamic_cast<const Row*>(&node)) {
        number(reflows(*row));
        number(is_button_row(*row));
    } else if (const auto* image = dynamic_cast<const Image*>(&node)) {
        number(static_cast<double>(reinterpret_cast<std::uintptr_t>(image->rgba().get())));
        number(image->width());
        number(image->height());
        number(image->quarter_turns());
        add(image->accessible_label());
    } else if (const auto* icon = dynamic_cast<const IconWidget*>(&node)) {
        number(icon->icon());
        number(icon->size());
        number(icon->scale());
    } else if (const auto* preview = dynamic_cast<const PagePreview*>(&node)) {
        add(preview->label());
        number(preview->page());
        number(preview->total());
    } else if (const auto* editor = dynamic_cast<const ImageCropEditor*>(&node)) {
        number(static_cast<double>(reinterpret_cast<std::uintptr_t>(editor->rgba().get())));
        number(editor->width());
        number(editor->height());
    } else if (const auto* toggle = dynamic_cast<const Toggle*>(&node)) {
        add(toggle->accessible_label());
        number(toggle->enabled());
    } else if (const auto* group = dynamic_cast<const ToggleGroup*>(&node)) {
        for (std::size_t i = 0; i < group->options().size(); ++i) {
            add(group->options()[i]);
            number(group->enabled(i) ? 1 : 0);
        }
    } else if (const auto* dropdown = dynamic_cast<const Dropdown*>(&node)) {
        add(dropdown->label());
        add(dropdown->placeholder());
        for (const auto& option : dropdown->options()) {
            add(option.value);
            add(option.label);
        }
    } else if (const auto* input = dynamic_cast<const NumberInput*>(&node)) {
        number(input->minimum());
        number(input->maximum());
        add(input->accessible_label());
    } else if (const auto* line = dynamic_cast<const TextInput*>(&node)) {
        add(text_input::signature(*line));
    }
    return out;
}

// Names for the toolkit's icon codes, for screen readers.
QString icon_name(int code) {
    switch (code) {
        case 5:
            return QStringLiteral("Printer");
        case 28:
            return QStringLiteral("Scanner");
        case 23:
            return QStringLiteral("No preview");
        case 70:
            return QStringLiteral("Diagnostics");
        case 60:
            return QStringLiteral("History");
        default:
            return QStringLiteral("Icon");
    }
}

// A card of a long list realized after the first frame (when painted, focused, or when the host is
// idle) instead of with the page. Until then it keeps the size of the last card realized before it.
class LazyCard final : public QWidget {
  public:
    LazyCard(std::weak_ptr<Realized> record, Realizer& realizer, QSize estimate, QWidget* parent)
        : QWidget(parent),
          m_record(std::move(record)),
          m_realizer(&realizer),
          m_estimate(estimate.isEmpty() ? QSize(240, 160) : estimate) {  // never empty, or it never paints
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    QSize sizeHint() const override { return layout()->count() > 0 ? QWidget::sizeHint() : m_estimate; }
    QSize minimumSizeHint() const override {
        return layout()->count() > 0 ? QWidget::minimumSizeHint() : QSize(0, 0);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (layout()->count() > 0 || m_queued) {
            return;
        }
        // Never change the widget tree while Qt paints it.
        m_queued = true;
        QTimer::singleShot(0, this, [this] { m_realizer->realize_lazy(m_record.lock()); });
    }

  private:
    std::weak_ptr<Realized> m_record;
    Realizer* m_realizer;
    QSize m_estimate;
    bool m_queued = false;
};

template <class Node>
Node* node_as(Widget& node) {
    return dynamic_cast<Node*>(&node);
}

}  // namespace

struct Realizer::Impl {
    Impl(Realizer& realizer, KeyboardAid& keyboard) : r(realizer), keys(keyboard) {}
    Realizer& r;
    KeyboardAid& keys;
    bool wrap = true;          // whether texts placed now may wrap
    bool page_level = true;    // no column or card above: a scrollable here is the window's own
    bool announce = false;     // new banners are announced (not those of the first page)
    bool changed = false;      // a widget was made, removed or patched
    std::string card_title;    // the enclosing card's title, for ambiguous buttons
    bool in_card = false;      // inside a card, whose first heading is then its title
    std::string last_caption;  // the text made last, when nothing else was made since
    std::string caption;       // that text, for the widget being made (a segmented control's name)

    // A wrapper of the program's own (but the root) is taken for a card: its first heading names it.
    struct CardScope {
        CardScope(Impl& impl, const Widget& node) : m_impl(impl), m_active(&node != &impl.r.m_root) {
            if (m_active) {
                m_title = std::exchange(impl.card_title, {});
                m_in_card = std::exchange(impl.in_card, true);
            }
        }
        CardScope(const CardScope&) = delete;
        CardScope& operator=(const CardScope&) = delete;
        ~CardScope() {
            if (m_active) {
                m_impl.card_title = std::move(m_title);
                m_impl.in_card = m_in_card;
            }
        }

      private:
        Impl& m_impl;
        bool m_active;
        std::string m_title;
        bool m_in_card = false;
    };

    void stamp(Widget& node, Realized& record) {
        record.node = &node;
        record.serial = node.serial();
        record.type = node.type_name();
        if (record.control_id != node.control_id()) {
            record.control_id = std::string(node.control_id());
        }
    }

    // ---- making -------------------------------------------------------------------------------

    QWidget* make_button(Button& button, QWidget* parent, const RecordPtr& record) {
        auto* widget = new QPushButton(button_text(button.label()), parent);
        widget->setObjectName(qs(std::string(button.control_id())));
        widget->setAutoDefault(false);
        show_button(button, *widget);
        if (!card_title.empty() && card_title != button.label()) {
            widget->setAccessibleDescription(qs(card_title));
        }
        keys.watch(widget);
        QObject::connect(widget, &QPushButton::clicked, widget,
                         [realizer = &r, weak = std::weak_ptr<Realized>(record)](bool) {
                             realizer->dispatch(weak, [](Widget& node) {
                                 if (auto* target = node_as<Button>(node)) {
                                     target->press();
                                 }
                             });
                         });
        return widget;
    }

    static void show_button(const Button& button, QPushButton& widget) {
        widget.setText(button_text(button.label()));
        widget.setAccessibleName(qs(button.label()));
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

    QWidget* make_number_input(NumberInput& input, QWidget* parent, const RecordPtr& record) {
        const double current = input.state().get();
        QAbstractSpinBox* box = nullptr;
        std::weak_ptr<Realized> weak = record;
        auto enter = [realizer = &r, weak](double value) {
            realizer->dispatch(weak, [value](Widget& node) {
                if (auto* target = node_as<NumberInput>(node)) {
                    target->enter(value);
                }
            });
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
        keys.watch(box);
        return box;
    }

    QWidget* make_dropdown(Dropdown& dropdown, QWidget* parent, const RecordPtr& record) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(qs(std::string(dropdown.control_id())));
        combo->setAccessibleName(qs(dropdown.label()));
        combo->setPlaceholderText(qs(dropdown.placeholder()));
        for (const auto& option : dropdown.options()) {
            combo->addItem(qs(option.label), qs(option.value));
        }
        combo->setCurrentIndex(chosen_index(dropdown));
        combo->setMinimumWidth(200);
        keys.watch(combo);
        QObject::connect(combo, &QComboBox::activated, combo,
                         [realizer = &r, weak = std::weak_ptr<Realized>(record), combo](int index) {
                             if (index < 0) {
                                 return;
                             }
                             const auto value = combo->itemData(index).toString().toStdString();
                             realizer->dispatch(weak, [&value](Widget& node) {
                                 if (auto* target = node_as<Dropdown>(node)) {
                                     target->choose(value);
                                 }
                             });
                         });
        return combo;
    }

    static int chosen_index(const Dropdown& dropdown) {
        const auto& options = dropdown.options();
        for (std::size_t i = 0; i < options.size(); ++i) {
            if (dropdown.value() && *dropdown.value() == options[i].value) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    QWidget* make_toggle_group(ToggleGroup& group, QWidget* parent, const RecordPtr& record) {
        auto* strip = new QWidget(parent);
        strip->setObjectName(qs(std::string(group.control_id())));
        strip->setAccessibleName(qs(caption.empty() ? std::string(group.control_id()) : caption));
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
            keys.watch(segment, true);
            buttons->addButton(segment, static_cast<int>(i));
            layout->addWidget(segment);
        }
        show_selection(group, *strip);
        QObject::connect(buttons, &QButtonGroup::idClicked, strip,
                         [realizer = &r, weak = std::weak_ptr<Realized>(record)](int index) {
                             realizer->dispatch(weak, [index](Widget& node) {
                                 if (auto* target = node_as<ToggleGroup>(node)) {
                                     (void)target->select(static_cast<std::size_t>(index));
                                 }
                             });
                         });
        return strip;
    }

    // The chosen segment checked and highlighted, whoever chose it.
    static void show_selection(const ToggleGroup& group, QWidget& strip) {
        const std::size_t selected = group.selected().get();
        const auto segments = strip.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
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

    QWidget* make_stack(Widget& node, bool vertical, QWidget* parent, const RecordPtr& record,
                        bool wrap_text) {
        // Texts of a column placed in a row do not wrap (a wrapped label in a row wraps early).
        const bool outer_wrap = wrap;
        wrap = vertical ? wrap_text && outer_wrap : outer_wrap;
        QWidget* box = nullptr;
        QBoxLayout* layout = nullptr;
        if (!vertical && reflows(node)) {
            const bool buttons = is_button_row(node);
            auto* reflow =
                new ReflowRow(buttons ? 0 : kPanelWidth, buttons ? kRowSpacing : kPanelSpacing, parent);
            box = reflow;
            layout = &reflow->box();
        } else {
            box = new QWidget(parent);
            layout = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(box))
                              : static_cast<QBoxLayout*>(new QHBoxLayout(box));
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(vertical ? 0 : kRowSpacing);
        }
        own_box(*record, layout, box, 0, true);
        place_children(*layout, 0, node.children(), box, *record);
        if (record->trailing_stretch) {
            layout->addStretch(1);
        }
        wrap = outer_wrap;
        return box;
    }

    void own_box(Realized& record, QBoxLayout* layout, QWidget* parent, int first, bool stretch_rule) {
        record.box = layout;
        record.box_parent = parent;
        record.box_first = first;
        record.child_wrap = wrap;
        record.child_page_level = page_level;
        record.stretch_rule = stretch_rule;
        record.trailing_stretch = stretch_rule && record.node && !any_fills(*record.node);
    }

    QWidget* make_frame_card(Widget& node, QWidget* parent, const RecordPtr& record) {
        const auto dark = theme::Theme::dark();
        QVBoxLayout* layout = nullptr;
        auto* frame = make_frame(colour(dark.surface), colour(dark.border), 12, parent, layout, kCardPadding);
        const bool outer_wrap = std::exchange(wrap, true);
        own_box(*record, layout, frame, 0, false);
        place_children(*layout, 0, node.children(), frame, *record);
        wrap = outer_wrap;
        return frame;
    }

    // A dashboard card of the program's own: framed like a card, named by its first heading.
    QWidget* make_wrapper_card(Widget& node, QWidget* parent, const RecordPtr& record) {
        const CardScope scope(*this, node);
        QWidget* frame = make_frame_card(node, parent, record);
        accessible::set_role(frame, accessible::Role::group);
        if (!card_title.empty()) {
            frame->setAccessibleName(qs(card_title));
        }
        return frame;
    }

    QWidget* make_card_surface(CardSurface& card, QWidget* parent, const RecordPtr& record) {
        const auto dark = theme::Theme::dark();
        QVBoxLayout* layout = nullptr;
        const QColor fill = card.tone() ? banner_colour(*card.tone()) : colour(dark.surface);
        const QColor edge = card.tone() ? banner_colour(*card.tone()).lighter(125) : colour(dark.border);
        auto* frame = make_frame(fill, edge, 12, parent, layout, kCardPadding);
        if (card.tone()) {
            frame->setPalette(banner_palette());
        }
        frame->setProperty(kToneProperty, card.tone() ? static_cast<int>(*card.tone()) : -1);
        frame->setAccessibleName(qs(card.title()));
        accessible::set_role(frame, accessible::Role::group);
        const std::string outer_title = std::exchange(card_title, card.title());
        const bool outer_in_card = std::exchange(in_card, true);
        auto* header = new QHBoxLayout();
        header->setSpacing(kRowSpacing);
        auto* title = make_label(card.title(), 18, true, frame);
        accessible::set_role(title, accessible::Role::heading);
        header->addWidget(title, 1);
        if (auto* button = const_cast<Button*>(card.header())) {
            auto header_record = std::make_shared<Realized>();
            record->children.push_back(header_record);
            header->addWidget(make(*button, frame, header_record, true), 0, Qt::AlignVCenter);
        }
        layout->addLayout(header);
        layout->addSpacing(12);
        record->boxed_from = record->children.size();
        const bool outer_wrap = std::exchange(wrap, true);
        own_box(*record, layout, frame, 2, false);
        place_children(*layout, 2, card.children().subspan(record->boxed_from), frame, *record);
        wrap = outer_wrap;
        card_title = outer_title;
        in_card = outer_in_card;
        return frame;
    }

    QWidget* make_grid(CardGrid& grid, QWidget* parent, const RecordPtr& record) {
        auto* box = new QWidget(parent);
        auto* layout = new FlowLayout(static_cast<int>(grid.min_column_width()),
                                      static_cast<int>(grid.max_card_width()), kGridGap);
        box->setLayout(layout);
        record->box_parent = box;
        QSize estimate;
        std::size_t index = 0;
        for (const auto& child : grid.children()) {
            auto child_record = std::make_shared<Realized>();
            record->children.push_back(child_record);
            if (index++ < kEagerCards) {
                const bool outer_wrap = std::exchange(wrap, true);
                QWidget* card = make(*child, box, child_record, true);
                wrap = outer_wrap;
                estimate = card->sizeHint();
                layout->addWidget(card);
            } else {
                layout->addWidget(make_lazy(*child, child_record, estimate, box));
            }
        }
        return box;
    }

    QWidget* make_lazy(Widget& node, const RecordPtr& record, QSize estimate, QWidget* parent) {
        stamp(node, *record);
        record->signature = signature_of(node);
        record->lazy = true;
        auto* holder = new LazyCard(record, r, estimate, parent);
        record->holder = holder;
        r.m_waiting.push_back(record);
        return holder;
    }

    QWidget* make_scrollable(Scrollable& scrollable, QWidget* parent, const RecordPtr& record) {
        auto* area = new QScrollArea(parent);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->viewport()->setAutoFillBackground(false);
        area->setFocusPolicy(Qt::NoFocus);  // an unnamed stop in Tab order; it scrolls to what has focus
        auto* inner = new QWidget(area);
        auto* layout = new QVBoxLayout(inner);
        layout->setContentsMargins(0, 0, 4, 0);
        layout->setSpacing(0);
        own_box(*record, layout, inner, 0, true);
        place_children(*layout, 0, scrollable.children(), inner, *record);
        if (record->trailing_stretch) {
            layout->addStretch(1);
        }
        area->setWidget(inner);
        return area;
    }

    QWidget* make_banner(Banner& banner, QWidget* parent) {
        QVBoxLayout* layout = nullptr;
        auto* frame = make_frame(banner_colour(banner.style()), QColor(), 10, parent, layout, 0);
        frame->setPalette(banner_palette());
        layout->setContentsMargins(16, 12, 16, 12);
        layout->setSpacing(2);
        layout->addWidget(make_label(banner.text(), 15, true, frame));
        if (!banner.message().empty()) {
            layout->addWidget(make_label(banner.message(), 14, true, frame));
        }
        frame->setAccessibleName(qs(banner.text()));
        frame->setAccessibleDescription(qs(banner.message()));
        accessible::set_role(frame, accessible::Role::alert);
        if (announce) {
            QTimer::singleShot(0, frame, [frame] { accessible::announce_alert(frame); });
        }
        return frame;
    }

    QWidget* make_text(Text& text, QWidget* parent, bool wrap_text) {
        auto* label = make_label(text.text(), text.size(), wrap_text, parent);
        if (text.size() >= 16) {
            accessible::set_role(label, accessible::Role::heading);
            if (in_card && card_title.empty()) {
                card_title = text.text();
            }
        }
        last_caption = text.text();
        return label;
    }

    QWidget* make_crop_editor(ImageCropEditor& editor, QWidget* parent, const RecordPtr& record) {
        std::weak_ptr<Realized> weak = record;
        auto* view = new CropView(
            image_from(editor.rgba(), editor.width(), editor.height()),
            [weak] {
                // Painting never reconciles: the selection is read only from a record the host checked.
                auto found = weak.lock();
                auto* node = found && found->node ? node_as<ImageCropEditor>(*found->node) : nullptr;
                return node ? node->selection().get() : CropSelection::whole();
            },
            [realizer = &r, weak](CropSelection wanted) {
                realizer->dispatch(weak, [wanted](Widget& node) {
                    if (auto* target = node_as<ImageCropEditor>(node)) {
                        target->drag_to(wanted);
                    }
                });
            });
        view->setParent(parent);
        view->setAccessibleName(QStringLiteral("Crop area"));
        view->setAccessibleDescription(QStringLiteral(
            "Arrow keys move the crop area, Space picks a corner to move instead, Shift moves further"));
        keys.watch(view);
        return view;
    }

    // One QWidget (a child of `parent`) showing `node` and its subtree; fills `record`.
    QWidget* make(Widget& node, QWidget* parent, const RecordPtr& record, bool wrap_text) {
        ++r.m_realized;
        changed = true;
        r.m_tab_order_dirty = true;
        caption = std::exchange(last_caption, {});
        stamp(node, *record);
        record->signature = signature_of(node);
        record->children.clear();
        record->lazy = false;
        // Only rows, containers and the program's plain wrappers keep what they hold at the page's level.
        const bool outer_page_level = page_level;
        page_level = outer_page_level && (node_as<Row>(node) || node_as<Container>(node) ||
                                          (!is_known(node) && !is_card_wrapper(node)));
        QWidget* widget = make_widget(node, parent, record, wrap_text, outer_page_level);
        page_level = outer_page_level;
        record->widget = widget;
        return widget;
    }

    QWidget* make_widget(Widget& node, QWidget* parent, const RecordPtr& record, bool wrap_text,
                         bool page_level_here) {
        if (auto* column = node_as<Column>(node)) {
            return make_stack(*column, true, parent, record, wrap_text);
        }
        if (auto* row = node_as<Row>(node)) {
            return make_stack(*row, false, parent, record, true);
        }
        if (auto* text = node_as<Text>(node)) {
            return make_text(*text, parent, wrap_text);
        }
        if (auto* button = node_as<Button>(node)) {
            return make_button(*button, parent, record);
        }
        if (auto* container = node_as<Container>(node)) {
            auto* box = new QWidget(parent);
            auto* layout = new QVBoxLayout(box);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
            const bool outer_wrap = std::exchange(wrap, true);
            own_box(*record, layout, box, 0, false);
            place_children(*layout, 0, container->children(), box, *record);
            wrap = outer_wrap;
            if (container->min_width()) {
                box->setMinimumWidth(static_cast<int>(*container->min_width()));
            }
            if (container->max_width()) {
                box->setMaximumWidth(static_cast<int>(*container->max_width()));
            }
            if (container->is_flexible()) {
                box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            }
            return box;
        }
        if (auto* card = node_as<CardSurface>(node)) {
            return make_card_surface(*card, parent, record);
        }
        if (node_as<Card>(node)) {
            return make_frame_card(node, parent, record);
        }
        if (auto* grid = node_as<CardGrid>(node)) {
            return make_grid(*grid, parent, record);
        }
        if (auto* scrollable = node_as<Scrollable>(node); scrollable && page_level_here) {
            // The page's own scrollable: the window already scrolls, from anywhere in it, with its
            // scroll bar at the window's edge.
            return make_stack(*scrollable, true, parent, record, wrap_text);
        }
        if (auto* scrollable = node_as<Scrollable>(node)) {
            return make_scrollable(*scrollable, parent, record);
        }
        if (auto* spacer = node_as<Spacer>(node)) {
            auto* gap = new QWidget(parent);
            const int size = static_cast<int>(spacer->size());
            gap->setFixedSize(size, size);
            if (spacer->is_flexible()) {
                gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
                gap->setMinimumSize(0, 0);
                gap->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            }
            return gap;
        }
        if (node_as<Divider>(node)) {
            auto* line = new DividerLine();
            line->setParent(parent);
            return line;
        }
        if (auto* banner = node_as<Banner>(node)) {
            return make_banner(*banner, parent);
        }
        if (auto* bar = node_as<ProgressBar>(node)) {
            auto* widget = new QProgressBar(parent);
            widget->setTextVisible(false);
            widget->setFixedHeight(8);
            show_meter(*bar, *widget);
            accessible::set_role(widget, accessible::Role::meter);
            return widget;
        }
        if (auto* image = node_as<Image>(node)) {
            auto picture = image_from(image->rgba(), image->width(), image->height());
            if (image->quarter_turns() % 4 != 0) {
                picture = picture.transformed(QTransform().rotate(-90.0 * (image->quarter_turns() % 4)));
            }
            auto* view = new ImageView(std::move(picture));
            view->setParent(parent);
            view->setAccessibleName(
                qs(image->accessible_label().empty() ? std::string("Image") : image->accessible_label()));
            accessible::set_role(view, accessible::Role::image);
            return view;
        }
        if (auto* icon = node_as<IconWidget>(node)) {
            const int size = std::max(8, static_cast<int>(std::lround(icon->size())));
            auto* tile = new IconTile(icon_for_code(icon->icon()), size, icon->scale(), parent);
            tile->setAccessibleName(icon_name(icon->icon()));
            accessible::set_role(tile, accessible::Role::image);
            return tile;
        }
        if (auto* preview = node_as<PagePreview>(node)) {
            auto* glyph = new PageGlyph(preview->page(), preview->total());
            glyph->setParent(parent);
            glyph->setAccessibleName(qs(preview->label()));
            glyph->setAccessibleDescription(
                QStringLiteral("Page %1 of %2").arg(preview->page()).arg(preview->total()));
            accessible::set_role(glyph, accessible::Role::image);
            return glyph;
        }
        if (auto* editor = node_as<ImageCropEditor>(node)) {
            return make_crop_editor(*editor, parent, record);
        }
        if (auto* toggle = node_as<Toggle>(node)) {
            auto* box = new QCheckBox(parent);
            box->setChecked(toggle->state().get());
            box->setAccessibleName(qs(toggle->accessible_label()));
            box->setEnabled(toggle->enabled());
            keys.watch(box);
            QObject::connect(box, &QCheckBox::toggled, box,
                             [realizer = &r, weak = std::weak_ptr<Realized>(record)](bool on) {
                                 realizer->dispatch(weak, [on](Widget& target) {
                                     if (auto* found = node_as<Toggle>(target)) {
                                         found->set(on);
                                     }
                                 });
                             });
            return box;
        }
        if (auto* group = node_as<ToggleGroup>(node)) {
            return make_toggle_group(*group, parent, record);
        }
        if (auto* dropdown = node_as<Dropdown>(node)) {
            return make_dropdown(*dropdown, parent, record);
        }
        if (auto* input = node_as<NumberInput>(node)) {
            return make_number_input(*input, parent, record);
        }
        if (auto* line = node_as<TextInput>(node)) {
            return text_input::make(
                *line, parent, keys,
                [realizer = &r, weak = std::weak_ptr<Realized>(record)](std::string text) {
                    realizer->dispatch(weak, [&text](Widget& target) {
                        if (auto* found = node_as<TextInput>(target)) {
                            found->enter(std::move(text));
                        }
                    });
                });
        }
        if (is_card_wrapper(node)) {
            return make_wrapper_card(node, parent, record);
        }
        // A type of the program's own: a single child stands in for it, several are stacked.
        if (node.children().size() == 1) {
            --r.m_realized;
            auto child = std::make_shared<Realized>();
            record->children.push_back(child);
            const CardScope scope(*this, node);
            return make(*node.children().front(), parent, child, wrap_text);
        }
        return make_stack(node, true, parent, record, wrap_text);
    }

    static void show_meter(const ProgressBar& bar, QProgressBar& widget) {
        if (bar.is_indeterminate()) {
            widget.setRange(0, 0);
        } else {
            widget.setRange(0, 100);
            widget.setValue(static_cast<int>(std::lround(bar.fraction() * 100)));
        }
        widget.setAccessibleName(qs(bar.accessible_label()));
    }

    // ---- placing into box layouts ---------------------------------------------------------------

    static int stretch_for(const Widget& node) {
        return fills(node) ? (dynamic_cast<const Container*>(&node) ? 1000 : 1) : 0;
    }

    // Inserts `node` at `index` of a box layout of `parent`: spacers become spacing or stretch, flexible
    // containers take the free space, and wrappers of unknown type add their children in their place.
    void place(QBoxLayout& layout, int index, Widget& node, QWidget* parent, const RecordPtr& record) {
        const bool vertical =
            layout.direction() == QBoxLayout::TopToBottom || layout.direction() == QBoxLayout::BottomToTop;
        if (auto* spacer = node_as<Spacer>(node)) {
            ++r.m_realized;
            stamp(node, *record);
            record->signature = signature_of(node);
            record->items = 1;
            if (spacer->is_flexible()) {
                layout.insertStretch(index, 1);
            } else {
                layout.insertSpacing(index, static_cast<int>(std::lround(spacer->size())));
            }
            changed = true;
            return;
        }
        if (is_transparent(node)) {
            stamp(node, *record);
            record->signature.clear();
            record->items = 0;
            const CardScope scope(*this, node);
            place_children(layout, index, node.children(), parent, *record, false);
            return;
        }
        QWidget* widget = make(node, parent, record, vertical && wrap);
        record->items = 1;
        record->stretch = stretch_for(node);
        if (vertical) {
            layout.insertWidget(index, widget, record->stretch,
                                keeps_own_width(node) ? Qt::AlignLeft : Qt::Alignment());
        } else {
            // Buttons keep their width, also when their row stacks them in a narrow window.
            const Qt::Alignment keeps =
                node_as<Button>(node) ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignVCenter;
            layout.insertWidget(index, widget, record->stretch,
                                stretches_in_row(node) ? Qt::Alignment() : keeps);
        }
        if (parent->isVisible()) {
            widget->show();
        }
    }

    // Places `nodes` from `index` on, appending their records to `owner`. In a long column the cards
    // past the first few wait to be realized.
    void place_children(QBoxLayout& layout, int index, std::span<const WidgetPtr> nodes, QWidget* parent,
                        Realized& owner, bool may_wait = true) {
        const bool vertical = layout.direction() == QBoxLayout::TopToBottom;
        std::size_t bulky = 0;
        QSize estimate;
        for (const auto& child : nodes) {
            auto record = std::make_shared<Realized>();
            const bool big = may_wait && vertical && is_bulky(*child);
            if (big && bulky++ >= kEagerCards) {
                record->items = 1;
                layout.insertWidget(index, make_lazy(*child, record, estimate, parent));
            } else {
                place(layout, index, *child, parent, record);
                if (big && record->widget) {
                    estimate = record->widget->sizeHint();
                }
            }
            index += record->items;
            owner.items += record->items;
            owner.children.push_back(std::move(record));
        }
    }

    // Takes the layout items of `record` out of `layout` and lets their widgets go.
    static void drop(Realized& record) {
        record.dropped = true;
        for (const auto& child : record.children) {
            drop(*child);
        }
    }

    void remove_items(QBoxLayout& layout, int index, Realized& record) {
        drop(record);
        for (int i = 0; i < record.items; ++i) {
            QLayoutItem* item = layout.takeAt(index);
            if (!item) {
                break;
            }
            if (QWidget* widget = item->widget()) {
                widget->hide();
                widget->deleteLater();
            }
            delete item;
        }
        changed = true;
        r.m_tab_order_dirty = true;
    }

    // ---- patching -------------------------------------------------------------------------------

    // Patches a node placed in a box; false when it must be placed afresh.
    bool patch_placed(Widget& node, const RecordPtr& record, QBoxLayout& layout, int index, QWidget* parent) {
        if (node.type_name() != record->type || node.control_id() != record->control_id) {
            return false;
        }
        if (node_as<Spacer>(node)) {
            if (record->serial != node.serial() && signature_of(node) != record->signature) {
                return false;
            }
            stamp(node, *record);
            return true;
        }
        if (!record->widget && !record->holder) {
            if (!is_transparent(node)) {
                return false;
            }
            stamp(node, *record);
            patch_box_children(node.children(), *record, 0, layout, index, parent);
            record->items = 0;
            for (const auto& child : record->children) {
                record->items += child->items;
            }
            return true;
        }
        if (!record->holder && stretch_for(node) != record->stretch) {
            return false;
        }
        return patch(node, *record);
    }

    // Patches a realized node and its subtree in place; false when its widget must be made afresh.
    bool patch(Widget& node, Realized& record) {
        if (node.type_name() != record.type || node.control_id() != record.control_id) {
            return false;
        }
        const bool same_object = record.serial == node.serial();
        if (record.lazy) {
            stamp(node, record);
            return true;
        }
        if (!same_object) {
            auto signature = signature_of(node);
            if (signature != record.signature) {
                if (!patch_own(node, record)) {
                    return false;
                }
                record.signature = std::move(signature);
                changed = true;
            }
        }
        stamp(node, record);
        sync_bound(node, record);
        if (auto* text = node_as<Text>(node)) {
            last_caption = text->text();
        }
        if (auto* card = node_as<CardSurface>(node)) {
            if (card->header() && !patch(*const_cast<Button*>(card->header()), *record.children.front())) {
                return false;
            }
        }
        if (record.box) {
            if (record.stretch_rule && record.trailing_stretch == any_fills(node)) {
                return false;
            }
            const bool outer_wrap = std::exchange(wrap, record.child_wrap);
            const bool outer_page_level = std::exchange(page_level, record.child_page_level);
            patch_box_children(node.children(), record, record.boxed_from, *record.box, record.box_first,
                               record.box_parent);
            wrap = outer_wrap;
            page_level = outer_page_level;
            return true;
        }
        if (node_as<CardGrid>(node)) {
            return patch_grid(node, record);
        }
        const auto children = node.children();
        if (children.size() != record.children.size()) {
            return false;
        }
        // A wrapper of the program's own shown as its only child.
        return children.empty() || patch(*children.front(), *record.children.front());
    }

    // What can change on a kept widget; false for everything else (the widget is made afresh).
    bool patch_own(Widget& node, Realized& record) {
        QWidget* widget = record.widget;
        if (auto* text = node_as<Text>(node)) {
            auto* label = static_cast<QLabel*>(widget);
            label->setText(qs(text->text()));
            label->setFont(font_for_size(text->size()));
            return true;
        }
        if (auto* button = node_as<Button>(node)) {
            show_button(*button, *static_cast<QPushButton*>(widget));
            return true;
        }
        if (auto* bar = node_as<ProgressBar>(node)) {
            show_meter(*bar, *static_cast<QProgressBar*>(widget));
            return true;
        }
        if (auto* line = node_as<TextInput>(node)) {
            text_input::patch(*line, *widget);
            return true;
        }
        if (auto* card = node_as<CardSurface>(node)) {
            // Only the title: a header that came or went makes the card afresh.
            const bool had_header = !record.children.empty() && record.boxed_from == 1;
            auto* title = widget->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
            const int tone = card->tone() ? static_cast<int>(*card->tone()) : -1;
            if (had_header != (card->header() != nullptr) || !title ||
                widget->property(kToneProperty).toInt() != tone) {
                return false;
            }
            title->setText(qs(card->title()));
            widget->setAccessibleName(qs(card->title()));
            return true;
        }
        return false;
    }

    // Controls bound to cells show the cell's value, however it was set.
    void sync_bound(Widget& node, Realized& record) {
        QWidget* widget = record.widget;
        if (!widget) {
            return;
        }
        if (auto* group = node_as<ToggleGroup>(node)) {
            show_selection(*group, *widget);
        } else if (auto* toggle = node_as<Toggle>(node)) {
            auto* box = static_cast<QCheckBox*>(widget);
            if (box->isChecked() != toggle->state().get()) {
                const QSignalBlocker quiet(box);
                box->setChecked(toggle->state().get());
            }
        } else if (auto* input = node_as<NumberInput>(node)) {
            if (auto* spin = qobject_cast<QSpinBox*>(widget);
                spin && spin->value() != static_cast<int>(std::lround(input->state().get()))) {
                const QSignalBlocker quiet(spin);
                spin->setValue(static_cast<int>(std::lround(input->state().get())));
            } else if (auto* real = qobject_cast<QDoubleSpinBox*>(widget);
                       real && real->value() != input->state().get()) {
                const QSignalBlocker quiet(real);
                real->setValue(input->state().get());
            }
        } else if (auto* dropdown = node_as<Dropdown>(node)) {
            auto* combo = static_cast<QComboBox*>(widget);
            if (const int chosen = chosen_index(*dropdown); combo->currentIndex() != chosen) {
                const QSignalBlocker quiet(combo);
                combo->setCurrentIndex(chosen);
            }
        } else if (node_as<ImageCropEditor>(node)) {
            static_cast<CropView*>(widget)->refresh();
        } else if (auto* line = node_as<TextInput>(node)) {
            text_input::sync(*line, *widget);
        }
    }

    // Matches the children from `from` on with their records: by position when as many, else the
    // common start and end are kept and what lies between them is replaced.
    void patch_box_children(std::span<const WidgetPtr> all, Realized& owner, std::size_t from,
                            QBoxLayout& layout, int index, QWidget* parent) {
        const auto nodes = all.subspan(std::min(from, all.size()));
        std::vector<RecordPtr> old(owner.children.begin() + static_cast<std::ptrdiff_t>(from),
                                   owner.children.end());
        owner.children.resize(from);
        const std::size_t n = nodes.size();
        const std::size_t m = old.size();
        auto same_kind = [](const Widget& node, const Realized& record) {
            return node.type_name() == record.type && node.control_id() == record.control_id;
        };
        std::size_t prefix = std::min(n, m);
        std::size_t suffix = 0;
        if (n != m) {
            prefix = 0;
            while (prefix < std::min(n, m) && same_kind(*nodes[prefix], *old[prefix])) {
                ++prefix;
            }
            while (suffix < std::min(n, m) - prefix &&
                   same_kind(*nodes[n - 1 - suffix], *old[m - 1 - suffix])) {
                ++suffix;
            }
        }
        auto keep = [&](Widget& node, RecordPtr record) {
            if (!patch_placed(node, record, layout, index, parent)) {
                remove_items(layout, index, *record);
                record = std::make_shared<Realized>();
                place(layout, index, node, parent, record);
            }
            index += record->items;
            owner.children.push_back(std::move(record));
        };
        for (std::size_t i = 0; i < prefix; ++i) {
            keep(*nodes[i], old[i]);
        }
        for (std::size_t i = prefix; i < m - suffix; ++i) {
            remove_items(layout, index, *old[i]);
        }
        for (std::size_t i = prefix; i < n - suffix; ++i) {
            auto record = std::make_shared<Realized>();
            place(layout, index, *nodes[i], parent, record);
            index += record->items;
            owner.children.push_back(std::move(record));
        }
        for (std::size_t k = 0; k < suffix; ++k) {
            keep(*nodes[n - suffix + k], old[m - suffix + k]);
        }
    }

    bool patch_grid(Widget& grid, Realized& record) {
        auto* layout = static_cast<FlowLayout*>(record.box_parent->layout());
        const bool outer_page_level = std::exchange(page_level, false);
        const bool patched = patch_grid_cards(grid, record, *layout);
        page_level = outer_page_level;
        return patched;
    }

    bool patch_grid_cards(Widget& grid, Realized& record, FlowLayout& grid_layout) {
        auto* layout = &grid_layout;
        const auto children = grid.children();
        if (children.size() != record.children.size()) {
            return false;
        }
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (patch(*children[i], *record.children[i])) {
                continue;
            }
            auto fresh = std::make_shared<Realized>();
            const bool outer_wrap = std::exchange(wrap, true);
            QWidget* card = make(*children[i], record.box_parent, fresh, true);
            wrap = outer_wrap;
            QWidget* old = layout->replace_widget_at(static_cast<int>(i), card);
            drop(*record.children[i]);
            if (old) {
                old->hide();
                old->deleteLater();
            }
            card->show();
            record.children[i] = std::move(fresh);
        }
        return true;
    }
};

Realizer::Realizer(Widget& root, std::function<void()> after_input)
    : m_root(root), m_after_input(std::move(after_input)), m_keyboard(new KeyboardAid(&m_events)) {}

Realizer::~Realizer() {
    // The widgets name records of this realizer: they go first.
    delete m_page.data();
}

QWidget* Realizer::build() {
    m_top = std::make_shared<Realized>();
    m_waiting.clear();
    m_realized = 0;
    auto* page = new QWidget();
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(0);
    Impl impl{*this, *m_keyboard};
    impl.place(*layout, 0, m_root, page, m_top);
    m_page = page;
    m_page_layout = layout;
    m_page_stretch = false;
    settle_page_stretch();
    m_tab_order_dirty = true;
    return page;
}

bool Realizer::reconcile() {
    if (!m_page || !m_top) {
        return false;
    }
    Impl impl{*this, *m_keyboard};
    impl.announce = true;
    if (!impl.patch_placed(m_root, m_top, *m_page_layout, 0, m_page)) {
        impl.remove_items(*m_page_layout, 0, *m_top);
        m_top = std::make_shared<Realized>();
        impl.place(*m_page_layout, 0, m_root, m_page, m_top);
    }
    if (impl.changed) {
        settle_page_stretch();
        m_changes = true;
    }
    std::erase_if(m_waiting, [](const std::weak_ptr<Realized>& waiting) {
        auto record = waiting.lock();
        return !record || !record->lazy;
    });
    return impl.changed;
}

void Realizer::settle_page_stretch() {
    // The page ends with a stretch unless something on it takes the free height (a list that
    // scrolls): after a loading view the dashboard's list must have that height.
    const int own = m_page_stretch ? 1 : 0;
    bool fills = false;
    for (int i = 0; i < m_page_layout->count() - own; ++i) {
        fills = fills || m_page_layout->stretch(i) > 0;
    }
    if (fills == !m_page_stretch) {
        return;
    }
    if (m_page_stretch) {
        delete m_page_layout->takeAt(m_page_layout->count() - 1);
    } else {
        m_page_layout->addStretch(1);
    }
    m_page_stretch = !fills;
}

namespace {
bool matches(Widget& node, Realized& record) {
    if (node.serial() != record.serial) {
        return false;
    }
    record.node = &node;
    if (record.lazy) {
        return true;
    }
    const auto children = node.children();
    if (children.size() != record.children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (!matches(*children[i], *record.children[i])) {
            return false;
        }
    }
    return true;
}
}  // namespace

bool Realizer::current() {
    return m_top && matches(m_root, *m_top);
}

void Realizer::dispatch(const std::weak_ptr<Realized>& control, const std::function<void(Widget&)>& work) {
    // The tree may have been replaced since the widgets were made (an action installed a view): the
    // control is looked up in the tree shown now.
    if (!current()) {
        reconcile();
    }
    auto record = control.lock();
    if (!record || !record->node) {
        return;
    }
    work(*record->node);
    if (m_after_input) {
        m_after_input();
    }
}

bool Realizer::realize_lazy(const std::shared_ptr<Realized>& record) {
    if (!record || !record->lazy || !record->holder) {
        return false;
    }
    std::weak_ptr<Realized> weak = record;
    if (!current()) {
        reconcile();
    }
    auto still = weak.lock();
    if (!still || still->dropped || !still->lazy || !still->holder || !still->node) {
        return false;
    }
    Impl impl{*this, *m_keyboard};
    impl.page_level = false;  // a card that waited sits in a list or grid
    QWidget* holder = still->holder;
    QWidget* real = impl.make(*still->node, holder, still, true);
    holder->layout()->addWidget(real);
    real->show();
    holder->updateGeometry();
    fix_tab_order();
    m_changes = true;
    return true;
}

bool Realizer::realize_waiting(std::size_t count) {
    while (count > 0 && !m_waiting.empty()) {
        auto record = m_waiting.front().lock();
        m_waiting.erase(m_waiting.begin());
        if (realize_lazy(record)) {
            --count;
        }
    }
    return !m_waiting.empty();
}

namespace {
template <class Visit>
void walk_records(const Realized& record, const Visit& visit) {
    visit(record);
    for (const auto& child : record.children) {
        walk_records(*child, visit);
    }
}

// The focusable widgets of the page in the order of the tree, which is the order they are seen in.
std::vector<QWidget*> controls_in_order(const Realized& top) {
    std::vector<QWidget*> found;
    walk_records(top, [&found](const Realized& record) {
        QWidget* widget = record.widget;
        if (!widget || record.lazy) {
            return;
        }
        if (record.type == "kora_ui::ToggleGroup") {
            for (auto* segment : widget->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
                found.push_back(segment);
            }
        } else if (widget->focusPolicy() & Qt::TabFocus) {
            found.push_back(widget);
        }
    });
    return found;
}
}  // namespace

void Realizer::fix_tab_order() {
    if (!m_top || !m_tab_order_dirty) {
        return;
    }
    m_tab_order_dirty = false;
    const auto controls = controls_in_order(*m_top);
    for (std::size_t i = 1; i < controls.size(); ++i) {
        QWidget::setTabOrder(controls[i - 1], controls[i]);
    }
}

QWidget* Realizer::first_control() const {
    if (!m_top) {
        return nullptr;
    }
    for (QWidget* control : controls_in_order(*m_top)) {
        if (control->isEnabled()) {
            return control;
        }
    }
    return nullptr;
}

std::string Realizer::page_title() const {
    std::string title;
    if (!m_top) {
        return title;
    }
    walk_records(*m_top, [&title](const Realized& record) {
        if (!title.empty() || record.type != "kora_ui::Text" || !record.widget) {
            return;
        }
        if (auto* label = qobject_cast<QLabel*>(record.widget.data());
            label && label->font().pixelSize() >= 24) {
            title = label->text().toStdString();
        }
    });
    return title;
}

bool Realizer::press_back() {
    if (!current()) {
        reconcile();
    }
    std::shared_ptr<Realized> back;
    std::function<void(const RecordPtr&)> find = [&](const RecordPtr& record) {
        if (back) {
            return;
        }
        auto* button = record->node ? node_as<Button>(*record->node) : nullptr;
        if (button && button->icon() == kBackIcon && button->has_action() && record->widget &&
            record->widget->isVisible()) {
            back = record;
            return;
        }
        for (const auto& child : record->children) {
            find(child);
        }
    };
    if (m_top) {
        find(m_top);
    }
    if (!back) {
        return false;
    }
    dispatch(back, [](Widget& node) {
        if (auto* button = node_as<Button>(node)) {
            button->press();
        }
    });
    return true;
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
            if (record.type == "kora_ui::ToggleGroup") {
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

QString button_text(const std::string& label) {
    return qs(label).replace('&', QStringLiteral("&&"));
}

}  // namespace kora_ui::qt
