// The cards family: titled card surfaces (with an optional header button and a tone), plain framed
// cards, the program's own cards (said to be cards, with their title) and grids of cards.
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "kora_ui/theme.h"
#include "kora_ui/widgets.h"
#include "qt/accessible.h"
#include "qt/flow_layout.h"
#include "qt/qstrings.h"
#include "qt/realize/frames.h"
#include "qt/realize/kind.h"
#include "qt/realize/layout_rules.h"
#include "qt/style.h"

namespace kora_ui::qt {

namespace cards {

// The tone a card surface was made in (a change of tone makes it afresh).
constexpr const char* kToneProperty = "kora_tone";

// Texts in a card wrap; a scrollable in it is its own.
Context card_inside(const Context& context) {
    Context inner = context.inside(false);
    inner.wrap = true;
    inner.wraps_here = true;
    return inner;
}

// What a card surface's controls are described by: what it says, else its title.
std::string subject_of(const CardSurface& card) {
    return card.said() ? card.said_subject() : card.title();
}

QWidget* make_framed(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                     const Context& inner) {
    const auto dark = theme::Theme::dark();
    QVBoxLayout* layout = nullptr;
    auto* frame = make_frame(colour(dark.surface), colour(dark.border), 12, parent, layout, kCardPadding);
    builder.own_box(*record, layout, frame, 0, false, inner);
    builder.place_children(*layout, 0, node.children(), frame, *record, inner);
    return frame;
}

QWidget* make_card(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                   const Context& context) {
    return make_framed(builder, node, parent, record, card_inside(context));
}

// A card of the program's own: framed like a card, named by the title it says.
QWidget* make_said_card(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                        const Context& context) {
    Context inner = card_inside(context);
    inner.subject = node.said_subject();
    QWidget* frame = make_framed(builder, node, parent, record, inner);
    accessible::set_role(frame, accessible::Role::group);
    frame->setAccessibleName(qs(node.said_title()));
    return frame;
}

void sign_said_card(const Widget& node, Signature& out) {
    out.add(node.said_title());
    out.add(node.said_subject());
}

QWidget* make_card_surface(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                           const Context& context) {
    auto& card = static_cast<CardSurface&>(node);
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
    Context inner = card_inside(context);
    inner.subject = subject_of(card);
    auto* header = new QHBoxLayout();
    header->setSpacing(kRowSpacing);
    auto* title = make_label(card.title(), 18, true, frame);
    accessible::set_role(title, accessible::Role::heading);
    header->addWidget(title, 1);
    if (auto* button = const_cast<Button*>(card.header())) {
        auto header_record = std::make_shared<Realized>();
        record->children.push_back(header_record);
        header->addWidget(builder.make(*button, frame, header_record, inner), 0, Qt::AlignVCenter);
    }
    layout->addLayout(header);
    layout->addSpacing(12);
    record->boxed_from = record->children.size();
    builder.own_box(*record, layout, frame, 2, false, inner);
    builder.place_children(*layout, 2, card.children().subspan(record->boxed_from), frame, *record, inner);
    return frame;
}

void sign_card_surface(const Widget& node, Signature& out) {
    const auto& card = static_cast<const CardSurface&>(node);
    out.add(card.title());
    out.add(card.said_subject());
    out.number(card.header() != nullptr);
    out.number(card.tone() ? static_cast<int>(*card.tone()) : -1);
}

// Only the title: a header that came or went, another tone or another subject (what its controls are
// described by) makes the card afresh.
bool patch_card_surface(Widget& node, Realized& record) {
    auto& card = static_cast<CardSurface&>(node);
    QWidget* widget = record.widget;
    const bool had_header = !record.children.empty() && record.boxed_from == 1;
    auto* title = widget->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    const int tone = card.tone() ? static_cast<int>(*card.tone()) : -1;
    const std::string subject = subject_of(card);
    if (had_header != (card.header() != nullptr) || !title ||
        widget->property(kToneProperty).toInt() != tone || subject != record.inner.subject) {
        return false;
    }
    title->setText(qs(card.title()));
    widget->setAccessibleName(qs(card.title()));
    return true;
}

bool patch_header(Builder& builder, Widget& node, Realized& record, const Context&) {
    auto* button = const_cast<Button*>(static_cast<CardSurface&>(node).header());
    return !button || builder.patch(*button, *record.children.front(), record.inner);
}

QWidget* make_grid(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                   const Context& context) {
    auto& grid = static_cast<CardGrid&>(node);
    auto* box = new QWidget(parent);
    auto* layout = new FlowLayout(static_cast<int>(grid.min_column_width()),
                                  static_cast<int>(grid.max_card_width()), kGridGap);
    box->setLayout(layout);
    record->box_parent = box;
    record->inner = card_inside(context);
    QSize estimate;
    std::size_t index = 0;
    for (const auto& child : grid.children()) {
        auto child_record = std::make_shared<Realized>();
        record->children.push_back(child_record);
        if (index++ < kEagerCards) {
            QWidget* card = builder.make(*child, box, child_record, record->inner);
            estimate = card->sizeHint();
            layout->addWidget(card);
        } else {
            layout->addWidget(builder.make_lazy(*child, child_record, estimate, box, record->inner));
        }
    }
    return box;
}

void sign_grid(const Widget& node, Signature& out) {
    const auto& grid = static_cast<const CardGrid&>(node);
    out.number(grid.min_column_width());
    out.number(grid.max_card_width());
}

// The cards of a grid by position; one that cannot be patched is made afresh in its place.
bool patch_grid_cards(Builder& builder, Widget& grid, Realized& record, const Context&) {
    auto* layout = static_cast<FlowLayout*>(record.box_parent->layout());
    const auto children = grid.children();
    if (children.size() != record.children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (builder.patch(*children[i], *record.children[i], record.inner)) {
            continue;
        }
        auto fresh = std::make_shared<Realized>();
        QWidget* card = builder.make(*children[i], record.box_parent, fresh, record.inner);
        QWidget* old = layout->replace_widget_at(static_cast<int>(i), card);
        builder.drop(*record.children[i]);
        if (old) {
            old->hide();
            old->deleteLater();
        }
        card->show();
        record.children[i] = std::move(fresh);
    }
    return true;
}

}  // namespace cards

void add_cards(KindTable& table) {
    using namespace cards;
    table[typeid(CardSurface)] = {.make = make_card_surface,
                                  .sign = sign_card_surface,
                                  .patch = patch_card_surface,
                                  .patch_inside = patch_header,
                                  .stretches_in_row = true,
                                  .panel = true};
    table[typeid(Card)] = {.make = make_card, .stretches_in_row = true, .panel = true};
    table[typeid(CardGrid)] = {
        .make = make_grid, .sign = sign_grid, .patch_inside = patch_grid_cards, .stretches_in_row = true};
}

const Kind& card_wrapper_kind() {
    static const Kind kind{
        .make = cards::make_said_card, .sign = cards::sign_said_card, .panel = true, .program = true};
    return kind;
}

}  // namespace kora_ui::qt
