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
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "kora_ui/theme.h"
#include "kora_ui/widgets.h"
#include "qt/flow_layout.h"
#include "qt/icons.h"
#include "qt/painted.h"
#include "qt/reflow_row.h"
#include "qt/style.h"

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

QString qs(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Runs `work` only while the realization's tree is alive, then tells the host.
template <class Work>
auto guarded(RealizeContext& context, Work work) {
    return [alive = context.alive, after = context.after_input, work](auto&&... args) {
        if (!alive->load()) {
            return;
        }
        work(std::forward<decltype(args)>(args)...);
        if (after) {
            after();
        }
    };
}

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

QWidget* make_button(Button& button, QWidget* parent, RealizeContext& context) {
    auto* widget = new QPushButton(button_text(button.label()), parent);
    widget->setObjectName(qs(std::string(button.control_id())));
    widget->setAccessibleName(qs(button.label()));
    widget->setAutoDefault(false);
    if (button.icon()) {
        // Symbolic glyphs are drawn for 16 units; on a primary button in its text colour.
        const bool primary = button.style() == ButtonStyle::primary;
        widget->setIcon(primary ? symbolic_icon(*button.icon(), colour(theme::Theme::dark().on_accent))
                                : icon_for_code(*button.icon()));
        widget->setIconSize(QSize(16, 16));
    }
    switch (button.style()) {
        case ButtonStyle::primary:
            widget->setPalette(primary_palette());
            break;
        case ButtonStyle::subtle:
            widget->setFlat(true);
            break;
        case ButtonStyle::standard:
        case ButtonStyle::plain:
            break;
    }
    widget->setEnabled(button.has_action());
    QObject::connect(widget, &QPushButton::clicked, widget,
                     guarded(context, [node = &button](bool) { node->press(); }));
    return widget;
}

bool fits_int(double value) {
    return std::isfinite(value) && std::floor(value) == value && std::abs(value) <= 1e9;
}

QWidget* make_number_input(NumberInput& input, QWidget* parent, RealizeContext& context) {
    const double current = input.state().get();
    QAbstractSpinBox* box = nullptr;
    if (fits_int(input.minimum()) && fits_int(input.maximum())) {
        auto* spin = new QSpinBox(parent);
        spin->setRange(static_cast<int>(input.minimum()), static_cast<int>(input.maximum()));
        spin->setValue(static_cast<int>(std::lround(current)));
        QObject::connect(spin, &QSpinBox::valueChanged, spin,
                         guarded(context, [node = &input](int value) { node->enter(value); }));
        box = spin;
    } else {
        auto* spin = new QDoubleSpinBox(parent);
        const double low = std::isfinite(input.minimum()) ? std::max(input.minimum(), -1e12) : -1e12;
        const double high = std::isfinite(input.maximum()) ? std::min(input.maximum(), 1e12) : 1e12;
        spin->setRange(low, high);
        spin->setDecimals(2);
        spin->setValue(current);
        QObject::connect(spin, &QDoubleSpinBox::valueChanged, spin,
                         guarded(context, [node = &input](double value) { node->enter(value); }));
        box = spin;
    }
    box->setObjectName(qs(std::string(input.control_id())));
    box->setAccessibleName(qs(input.accessible_label()));
    box->setMinimumWidth(84);
    return box;
}

QWidget* make_dropdown(Dropdown& dropdown, QWidget* parent, RealizeContext& context) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(qs(std::string(dropdown.control_id())));
    combo->setAccessibleName(qs(dropdown.label()));
    combo->setPlaceholderText(qs(dropdown.placeholder()));
    int chosen = -1;
    const auto& options = dropdown.options();
    for (std::size_t i = 0; i < options.size(); ++i) {
        combo->addItem(qs(options[i].label), qs(options[i].value));
        if (dropdown.value() && *dropdown.value() == options[i].value) {
            chosen = static_cast<int>(i);
        }
    }
    combo->setCurrentIndex(chosen);
    combo->setMinimumWidth(200);
    QObject::connect(combo, &QComboBox::activated, combo,
                     guarded(context, [node = &dropdown, combo](int index) {
                         if (index >= 0) {
                             node->choose(combo->itemData(index).toString().toStdString());
                         }
                     }));
    return combo;
}

QWidget* make_toggle_group(ToggleGroup& group, QWidget* parent, RealizeContext& context) {
    auto* strip = new QWidget(parent);
    strip->setObjectName(qs(std::string(group.control_id())));
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* buttons = new QButtonGroup(strip);
    buttons->setExclusive(true);
    const std::size_t selected = group.selected().get();
    for (std::size_t i = 0; i < group.options().size(); ++i) {
        auto* segment = new QPushButton(button_text(group.options()[i]), strip);
        segment->setCheckable(true);
        segment->setChecked(i == selected);
        segment->setAutoDefault(false);
        segment->setAccessibleName(qs(group.options()[i]));
        if (i == selected) {
            segment->setPalette(primary_palette());
        }
        buttons->addButton(segment, static_cast<int>(i));
        layout->addWidget(segment);
    }
    QObject::connect(buttons, &QButtonGroup::idClicked, strip, guarded(context, [node = &group](int index) {
                         node->select(static_cast<std::size_t>(index));
                     }));
    return strip;
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
           dynamic_cast<const PagePreview*>(&node) || dynamic_cast<const Image*>(&node);
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

QWidget* realize_node(Widget& node, QWidget* parent, RealizeContext& context, bool wrap_text);

// A card of a long grid, realized when it is first painted (when it scrolls into view) instead of
// with the page: a refresh of fifty printers then builds only the cards on screen. Until then it
// keeps the size of the grid's last eagerly realized card.
class LazyCard final : public QWidget {
  public:
    LazyCard(Widget& node, RealizeContext& context, QSize estimate, QWidget* parent)
        : QWidget(parent),
          m_node(&node),
          m_context(&context),
          m_alive(context.alive),
          m_estimate(estimate.isEmpty() ? QSize(240, 160) : estimate) {  // never empty, or it never paints
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    QSize sizeHint() const override { return m_real ? QWidget::sizeHint() : m_estimate; }
    QSize minimumSizeHint() const override { return m_real ? QWidget::minimumSizeHint() : QSize(0, 0); }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (m_real || m_queued) {
            return;
        }
        // Never change the widget tree while Qt paints it.
        m_queued = true;
        QTimer::singleShot(0, this, [this] { realize_now(); });
    }

  private:
    void realize_now() {
        if (m_real || !m_alive->load()) {
            return;
        }
        const bool outer_wrap = std::exchange(m_context->wrap, true);
        const bool outer_page_level = std::exchange(m_context->page_level, false);
        m_real = realize_node(*m_node, this, *m_context, true);
        m_context->wrap = outer_wrap;
        m_context->page_level = outer_page_level;
        layout()->addWidget(m_real);
        m_real->show();
        updateGeometry();
    }

    Widget* m_node;
    RealizeContext* m_context;
    std::shared_ptr<std::atomic<bool>> m_alive;
    QSize m_estimate;
    QWidget* m_real = nullptr;
    bool m_queued = false;
};

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
// a scrollable area: their positions are restored after each rebuild.
bool is_bulky(const Widget& node) {
    constexpr std::size_t kBulk = 8;
    return subtree_size(node, kBulk) >= kBulk && !holds_scrollable(node, std::numeric_limits<int>::max());
}

void add_children(QBoxLayout& layout, Widget& node, QWidget* parent, RealizeContext& context) {
    const bool vertical = layout.direction() == QBoxLayout::TopToBottom;
    std::size_t bulky = 0;
    QSize estimate;
    for (const auto& child : node.children()) {
        if (!vertical || !is_bulky(*child)) {
            add_to_layout(layout, *child, parent, context);
            continue;
        }
        if (bulky++ >= kEagerCards) {
            layout.addWidget(new LazyCard(*child, context, estimate, parent));
            continue;
        }
        add_to_layout(layout, *child, parent, context);
        if (QWidget* added = layout.itemAt(layout.count() - 1)->widget()) {
            estimate = added->sizeHint();
        }
    }
}

QWidget* make_stack(Widget& node, bool vertical, QWidget* parent, RealizeContext& context,
                    bool wrap_text = true) {
    // Texts of a column placed in a row do not wrap (a wrapped label in a row wraps early).
    const bool outer_wrap = context.wrap;
    context.wrap = vertical ? wrap_text && outer_wrap : outer_wrap;
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
    add_children(*layout, node, box, context);
    if (!any_fills(node)) {
        layout->addStretch(1);
    }
    context.wrap = outer_wrap;
    return box;
}

// Restores the page-level flag when a node's realization ends.
struct PageLevelScope {
    RealizeContext& context;
    bool saved;
    ~PageLevelScope() { context.page_level = saved; }
};

QWidget* realize_node(Widget& node, QWidget* parent, RealizeContext& context, bool wrap_text) {
    ++context.realized;
    // Only rows, containers and the program's plain wrappers keep what they hold at the page's level.
    const bool page_level = context.page_level;
    const PageLevelScope scope{context, page_level};
    context.page_level = page_level && (dynamic_cast<Row*>(&node) || dynamic_cast<Container*>(&node) ||
                                        (!is_known(node) && !is_card_wrapper(node)));
    if (auto* column = dynamic_cast<Column*>(&node)) {
        return make_stack(*column, true, parent, context, wrap_text);
    }
    if (auto* row = dynamic_cast<Row*>(&node)) {
        return make_stack(*row, false, parent, context);
    }
    if (auto* text = dynamic_cast<Text*>(&node)) {
        return make_label(text->text(), text->size(), wrap_text, parent);
    }
    if (auto* button = dynamic_cast<Button*>(&node)) {
        return make_button(*button, parent, context);
    }
    if (auto* container = dynamic_cast<Container*>(&node)) {
        auto* box = new QWidget(parent);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        const bool outer_wrap = context.wrap;
        context.wrap = true;
        add_children(*layout, *container, box, context);
        context.wrap = outer_wrap;
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
    if (auto* card = dynamic_cast<CardSurface*>(&node)) {
        const auto dark = theme::Theme::dark();
        QVBoxLayout* layout = nullptr;
        const QColor fill = card->tone() ? banner_colour(*card->tone()) : colour(dark.surface);
        const QColor edge = card->tone() ? banner_colour(*card->tone()).lighter(125) : colour(dark.border);
        auto* frame = make_frame(fill, edge, 12, parent, layout, kCardPadding);
        if (card->tone()) {
            frame->setPalette(banner_palette());
        }
        auto* header = new QHBoxLayout();
        header->setSpacing(kRowSpacing);
        auto* title = make_label(card->title(), 18, true, frame);
        header->addWidget(title, 1);
        if (auto* button = const_cast<Button*>(card->header())) {
            header->addWidget(make_button(*button, frame, context), 0, Qt::AlignVCenter);
        }
        layout->addLayout(header);
        layout->addSpacing(12);
        add_to_layout(*layout, const_cast<Widget&>(card->body()), frame, context);
        frame->setAccessibleName(qs(card->title()));
        return frame;
    }
    if (auto* card = dynamic_cast<Card*>(&node)) {
        const auto dark = theme::Theme::dark();
        QVBoxLayout* layout = nullptr;
        auto* frame = make_frame(colour(dark.surface), colour(dark.border), 12, parent, layout, kCardPadding);
        add_children(*layout, *card, frame, context);
        return frame;
    }
    if (auto* grid = dynamic_cast<CardGrid*>(&node)) {
        auto* box = new QWidget(parent);
        auto* layout = new FlowLayout(static_cast<int>(grid->min_column_width()),
                                      static_cast<int>(grid->max_card_width()), kGridGap);
        box->setLayout(layout);
        QSize estimate;
        std::size_t index = 0;
        for (const auto& child : grid->children()) {
            if (index++ < kEagerCards) {
                QWidget* card = realize_node(*child, box, context, true);
                estimate = card->sizeHint();
                layout->addWidget(card);
            } else {
                layout->addWidget(new LazyCard(*child, context, estimate, box));
            }
        }
        return box;
    }
    if (auto* scrollable = dynamic_cast<Scrollable*>(&node); scrollable && page_level) {
        // The page's own scrollable: the window already scrolls, from anywhere in it, with its
        // scroll bar at the window's edge.
        return make_stack(*scrollable, true, parent, context);
    }
    if (auto* scrollable = dynamic_cast<Scrollable*>(&node)) {
        auto* area = new QScrollArea(parent);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->viewport()->setAutoFillBackground(false);
        context.scroll_areas.emplace_back(area);
        auto* inner = new QWidget(area);
        auto* layout = new QVBoxLayout(inner);
        layout->setContentsMargins(0, 0, 4, 0);
        layout->setSpacing(0);
        add_children(*layout, *scrollable, inner, context);
        if (!any_fills(*scrollable)) {
            layout->addStretch(1);
        }
        area->setWidget(inner);
        return area;
    }
    if (auto* spacer = dynamic_cast<Spacer*>(&node)) {
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
    if (dynamic_cast<Divider*>(&node)) {
        auto* line = new DividerLine();
        line->setParent(parent);
        return line;
    }
    if (auto* banner = dynamic_cast<Banner*>(&node)) {
        QVBoxLayout* layout = nullptr;
        auto* frame = make_frame(banner_colour(banner->style()), QColor(), 10, parent, layout, 0);
        frame->setPalette(banner_palette());
        layout->setContentsMargins(16, 12, 16, 12);
        layout->setSpacing(2);
        layout->addWidget(make_label(banner->text(), 15, true, frame));
        if (!banner->message().empty()) {
            layout->addWidget(make_label(banner->message(), 14, true, frame));
        }
        frame->setAccessibleName(qs(banner->text()));
        return frame;
    }
    if (auto* bar = dynamic_cast<ProgressBar*>(&node)) {
        auto* widget = new QProgressBar(parent);
        widget->setTextVisible(false);
        widget->setFixedHeight(8);
        if (bar->is_indeterminate()) {
            widget->setRange(0, 0);
        } else {
            widget->setRange(0, 1000);
            widget->setValue(static_cast<int>(std::lround(bar->fraction() * 1000)));
        }
        widget->setAccessibleName(qs(bar->accessible_label()));
        return widget;
    }
    if (auto* image = dynamic_cast<Image*>(&node)) {
        auto* view = new ImageView(image_from(image->rgba(), image->width(), image->height()));
        view->setParent(parent);
        view->setAccessibleName(qs(image->accessible_label()));
        return view;
    }
    if (auto* icon = dynamic_cast<IconWidget*>(&node)) {
        const int size = std::max(8, static_cast<int>(std::lround(icon->size())));
        return new IconTile(icon_for_code(icon->icon()), size, icon->scale(), parent);
    }
    if (auto* preview = dynamic_cast<PagePreview*>(&node)) {
        auto* glyph = new PageGlyph(preview->page(), preview->total());
        glyph->setParent(parent);
        glyph->setAccessibleName(qs(preview->label()));
        glyph->setAccessibleDescription(
            QStringLiteral("Page %1 of %2").arg(preview->page()).arg(preview->total()));
        return glyph;
    }
    if (auto* editor = dynamic_cast<ImageCropEditor*>(&node)) {
        auto alive = context.alive;
        auto* view = new CropView(
            image_from(editor->rgba(), editor->width(), editor->height()),
            [alive, editor] { return alive->load() ? editor->selection().get() : CropSelection::whole(); },
            [alive, editor](CropSelection wanted) {
                if (alive->load()) {
                    editor->drag_to(wanted);
                }
            });
        view->setParent(parent);
        view->setAccessibleName(QStringLiteral("Crop area"));
        return view;
    }
    if (auto* toggle = dynamic_cast<Toggle*>(&node)) {
        auto* box = new QCheckBox(parent);
        box->setChecked(toggle->state().get());
        box->setAccessibleName(qs(toggle->accessible_label()));
        QObject::connect(box, &QCheckBox::toggled, box,
                         guarded(context, [node = toggle](bool on) { node->set(on); }));
        return box;
    }
    if (auto* group = dynamic_cast<ToggleGroup*>(&node)) {
        return make_toggle_group(*group, parent, context);
    }
    if (auto* dropdown = dynamic_cast<Dropdown*>(&node)) {
        return make_dropdown(*dropdown, parent, context);
    }
    if (auto* input = dynamic_cast<NumberInput*>(&node)) {
        return make_number_input(*input, parent, context);
    }
    if (is_card_wrapper(node)) {
        const auto dark = theme::Theme::dark();
        QVBoxLayout* layout = nullptr;
        auto* frame = make_frame(colour(dark.surface), colour(dark.border), 12, parent, layout, kCardPadding);
        add_children(*layout, node, frame, context);
        return frame;
    }
    // A type of the program's own: a single child stands in for it, several are stacked.
    if (node.children().size() == 1) {
        --context.realized;
        return realize_node(*node.children().front(), parent, context, wrap_text);
    }
    return make_stack(node, true, parent, context);
}

}  // namespace

QString button_text(const std::string& label) {
    return qs(label).replace('&', QStringLiteral("&&"));
}

QWidget* realize(Widget& node, QWidget* parent, RealizeContext& context) {
    return realize_node(node, parent, context, true);
}

void add_to_layout(QBoxLayout& layout, Widget& node, QWidget* parent, RealizeContext& context) {
    const bool vertical =
        layout.direction() == QBoxLayout::TopToBottom || layout.direction() == QBoxLayout::BottomToTop;
    if (auto* spacer = dynamic_cast<Spacer*>(&node)) {
        ++context.realized;
        if (spacer->is_flexible()) {
            layout.addStretch(1);
        } else {
            layout.addSpacing(static_cast<int>(std::lround(spacer->size())));
        }
        return;
    }
    if (is_transparent(node)) {
        for (const auto& child : node.children()) {
            add_to_layout(layout, *child, parent, context);
        }
        return;
    }
    QWidget* widget = realize_node(node, parent, context, vertical && context.wrap);
    // A flexible container outweighs flexible spacers (which then only centre it up to its maximum).
    const int stretch = fills(node) ? (dynamic_cast<Container*>(&node) ? 1000 : 1) : 0;
    if (vertical) {
        layout.addWidget(widget, stretch, keeps_own_width(node) ? Qt::AlignLeft : Qt::Alignment());
    } else {
        // Buttons keep their width, also when their row stacks them in a narrow window.
        const Qt::Alignment keeps =
            dynamic_cast<Button*>(&node) ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignVCenter;
        layout.addWidget(widget, stretch, stretches_in_row(node) ? Qt::Alignment() : keeps);
    }
}

}  // namespace kora_ui::qt
