// The leaves family: texts, gaps, dividers, banners, meters, images, icons, page glyphs and the crop
// editor.
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTransform>
#include <QVBoxLayout>
#include <cmath>

#include "kora_ui/widgets.h"
#include "qt/accessible.h"
#include "qt/icons.h"
#include "qt/keyboard.h"
#include "qt/painted.h"
#include "qt/qstrings.h"
#include "qt/realize/frames.h"
#include "qt/realize/kind.h"
#include "qt/style.h"

namespace kora_ui::qt {

namespace leaves {

bool is_heading(Meaning meaning) {
    return meaning == Meaning::heading || meaning == Meaning::page_title;
}

QWidget* make_text(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context& context) {
    auto& text = static_cast<Text&>(node);
    auto* label = make_label(text.text(), text.size(), context.wraps_here, parent);
    if (is_heading(text.meaning())) {
        accessible::set_role(label, accessible::Role::heading);
    }
    return label;
}

void sign_text(const Widget& node, Signature& out) {
    const auto& text = static_cast<const Text&>(node);
    out.add(text.text());
    out.number(text.size());
    out.number(static_cast<int>(text.meaning()));
}

bool patch_text(Widget& node, Realized& record) {
    auto& text = static_cast<Text&>(node);
    if (is_heading(text.meaning()) != is_heading(record.meaning)) {
        return false;
    }
    auto* label = static_cast<QLabel*>(record.widget.data());
    label->setText(qs(text.text()));
    label->setFont(font_for_size(text.size()));
    return true;
}

// A gap made as a widget (outside a box: a card's only child, say); in a box it is spacing.
QWidget* make_spacer(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context&) {
    auto& spacer = static_cast<Spacer&>(node);
    auto* gap = new QWidget(parent);
    const int size = static_cast<int>(spacer.size());
    gap->setFixedSize(size, size);
    if (spacer.is_flexible()) {
        gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        gap->setMinimumSize(0, 0);
        gap->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    return gap;
}

void sign_spacer(const Widget& node, Signature& out) {
    const auto& spacer = static_cast<const Spacer&>(node);
    out.number(spacer.size());
    out.number(spacer.is_flexible());
}

bool spacer_fills(const Widget& node) {
    return static_cast<const Spacer&>(node).is_flexible();
}

QWidget* make_divider(Builder&, Widget&, QWidget* parent, const RecordPtr&, const Context&) {
    auto* line = new DividerLine();
    line->setParent(parent);
    return line;
}

QWidget* make_banner(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context& context) {
    auto& banner = static_cast<Banner&>(node);
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
    if (context.announce) {
        QTimer::singleShot(0, frame, [frame] { accessible::announce_alert(frame); });
    }
    return frame;
}

void sign_banner(const Widget& node, Signature& out) {
    const auto& banner = static_cast<const Banner&>(node);
    out.number(static_cast<int>(banner.style()));
    out.add(banner.text());
    out.add(banner.message());
}

void show_meter(const ProgressBar& bar, QProgressBar& widget) {
    if (bar.is_indeterminate()) {
        widget.setRange(0, 0);
    } else {
        widget.setRange(0, 100);
        widget.setValue(static_cast<int>(std::lround(bar.fraction() * 100)));
    }
    widget.setAccessibleName(qs(bar.accessible_label()));
}

QWidget* make_meter(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context&) {
    auto* widget = new QProgressBar(parent);
    widget->setTextVisible(false);
    widget->setFixedHeight(8);
    show_meter(static_cast<ProgressBar&>(node), *widget);
    accessible::set_role(widget, accessible::Role::meter);
    return widget;
}

void sign_meter(const Widget& node, Signature& out) {
    const auto& bar = static_cast<const ProgressBar&>(node);
    out.number(bar.fraction());
    out.number(bar.is_indeterminate());
    out.add(bar.accessible_label());
}

bool patch_meter(Widget& node, Realized& record) {
    show_meter(static_cast<ProgressBar&>(node), *static_cast<QProgressBar*>(record.widget.data()));
    return true;
}

QWidget* make_image(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context&) {
    auto& image = static_cast<Image&>(node);
    auto picture = image_from(image.rgba(), image.width(), image.height());
    if (image.quarter_turns() % 4 != 0) {
        picture = picture.transformed(QTransform().rotate(-90.0 * (image.quarter_turns() % 4)));
    }
    auto* view = new ImageView(std::move(picture));
    view->setParent(parent);
    view->setAccessibleName(image.accessible_label().empty() ? tq("Image") : qs(image.accessible_label()));
    accessible::set_role(view, accessible::Role::image);
    return view;
}

void sign_image(const Widget& node, Signature& out) {
    const auto& image = static_cast<const Image&>(node);
    out.number(static_cast<double>(reinterpret_cast<std::uintptr_t>(image.rgba().get())));
    out.number(image.width());
    out.number(image.height());
    out.number(image.quarter_turns());
    out.add(image.accessible_label());
}

// What a screen reader says for an icon; "Icon" for one without a name of its own.
QString icon_name(Icon code) {
    const auto* entry = icon_entry(code);
    if (!entry || entry->spoken.empty()) {
        return tq("Icon");
    }
    return tq(entry->spoken.data());  // the table's texts are literals, so they end in a NUL
}

QWidget* make_icon(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context&) {
    auto& icon = static_cast<IconWidget&>(node);
    const int size = std::max(8, static_cast<int>(std::lround(icon.size())));
    auto* tile = new IconTile(icon_for_code(icon.icon()), size, icon.scale(), parent);
    tile->setAccessibleName(icon_name(icon.icon()));
    accessible::set_role(tile, accessible::Role::image);
    return tile;
}

void sign_icon(const Widget& node, Signature& out) {
    const auto& icon = static_cast<const IconWidget&>(node);
    out.number(static_cast<int>(icon.icon()));
    out.number(icon.size());
    out.number(icon.scale());
}

QWidget* make_preview(Builder&, Widget& node, QWidget* parent, const RecordPtr&, const Context&) {
    auto& preview = static_cast<PagePreview&>(node);
    auto* glyph = new PageGlyph(preview.page(), preview.total());
    glyph->setParent(parent);
    glyph->setAccessibleName(qs(preview.label()));
    glyph->setAccessibleDescription(
        tq("Page {} of {}", {QString::number(preview.page()), QString::number(preview.total())}));
    accessible::set_role(glyph, accessible::Role::image);
    return glyph;
}

void sign_preview(const Widget& node, Signature& out) {
    const auto& preview = static_cast<const PagePreview&>(node);
    out.add(preview.label());
    out.number(preview.page());
    out.number(preview.total());
}

QWidget* make_crop_editor(Builder& builder, Widget& node, QWidget* parent, const RecordPtr& record,
                          const Context&) {
    auto& editor = static_cast<ImageCropEditor&>(node);
    std::weak_ptr<Realized> weak = record;
    auto* view = new CropView(
        image_from(editor.rgba(), editor.width(), editor.height()),
        [weak] {
            // Painting never reconciles: the selection is read only from a record the host checked.
            auto found = weak.lock();
            auto* target = found && found->node ? node_as<ImageCropEditor>(*found->node) : nullptr;
            return target ? target->selection().get() : CropSelection::whole();
        },
        [realizer = &builder.realizer(), weak](CropSelection wanted) {
            realizer->dispatch(weak, [wanted](Widget& target) {
                if (auto* found = node_as<ImageCropEditor>(target)) {
                    found->drag_to(wanted);
                }
            });
        });
    view->setParent(parent);
    view->setAccessibleName(tq("Crop area"));
    view->setAccessibleDescription(
        tq("Arrow keys move the crop area, Space picks a corner to move instead, Shift moves further"));
    accessible::set_role(view, accessible::Role::crop);
    builder.keys().watch(view);
    view->refresh();
    return view;
}

void sign_crop_editor(const Widget& node, Signature& out) {
    const auto& editor = static_cast<const ImageCropEditor&>(node);
    out.number(static_cast<double>(reinterpret_cast<std::uintptr_t>(editor.rgba().get())));
    out.number(editor.width());
    out.number(editor.height());
}

void show_crop(Widget&, Realized& record) {
    static_cast<CropView*>(record.widget.data())->refresh();
}

}  // namespace leaves

void add_leaves(KindTable& table) {
    using namespace leaves;
    table[typeid(Text)] = {.make = make_text, .sign = sign_text, .patch = patch_text, .text = true};
    table[typeid(Spacer)] = {.make = make_spacer, .sign = sign_spacer, .fills = spacer_fills, .gap = true};
    table[typeid(Divider)] = {.make = make_divider};
    table[typeid(Banner)] = {.make = make_banner, .sign = sign_banner};
    table[typeid(ProgressBar)] = {.make = make_meter, .sign = sign_meter, .patch = patch_meter};
    table[typeid(Image)] = {.make = make_image, .sign = sign_image, .keeps_own_width = true};
    table[typeid(IconWidget)] = {.make = make_icon, .sign = sign_icon, .keeps_own_width = true};
    table[typeid(PagePreview)] = {.make = make_preview, .sign = sign_preview, .keeps_own_width = true};
    table[typeid(ImageCropEditor)] = {
        .make = make_crop_editor, .sign = sign_crop_editor, .show_bound = show_crop, .panel = true};
}

}  // namespace kora_ui::qt
