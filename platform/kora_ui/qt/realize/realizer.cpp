// The realizer: builds the page, reconciles later trees with it, routes input to the current tree
// and realizes the cards that waited.
#include <QBoxLayout>
#include <QLabel>
#include <QWidget>

#include "kora_ui/widgets.h"
#include "qt/keyboard.h"
#include "qt/realize/box.h"
#include "qt/realize/impl.h"

namespace kora_ui::qt {

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
    auto* layout = new ColumnBox(page);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(0);
    Impl impl{*this, *m_keyboard};
    impl.place(*layout, 0, m_root, page, m_top, Context{});
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
    Context page;
    page.announce = true;
    if (!impl.patch_placed(m_root, m_top, *m_page_layout, 0, m_page, page)) {
        impl.remove_items(*m_page_layout, 0, *m_top);
        m_top = std::make_shared<Realized>();
        impl.place(*m_page_layout, 0, m_root, m_page, m_top, page);
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
    m_destructive_pressed = m_destructive_pressed || record->meaning == Meaning::destructive;
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
    // A card that waited sits in a list or grid, in the context it was placed in.
    Context context = still->context;
    context.page_level = false;
    context.wraps_here = true;
    QWidget* holder = still->holder;
    QWidget* real = impl.make(*still->node, holder, still, context);
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
// The first shown record (in reading order) that says `meaning`.
const Realized* first_saying(const Realized& record, Meaning meaning) {
    if (record.meaning == meaning && record.widget && !record.lazy && !record.dropped) {
        return &record;
    }
    for (const auto& child : record.children) {
        if (const Realized* found = first_saying(*child, meaning)) {
            return found;
        }
    }
    return nullptr;
}
}  // namespace

std::string Realizer::page_title() const {
    const Realized* title = m_top ? first_saying(*m_top, Meaning::page_title) : nullptr;
    auto* label = title ? qobject_cast<QLabel*>(title->widget.data()) : nullptr;
    return label ? label->text().toStdString() : std::string();
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
        if (record->meaning == Meaning::back && record->widget && record->widget->isVisible() &&
            record->widget->isEnabled()) {
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
        if (auto* button = dynamic_cast<Button*>(&node)) {
            button->press();
        }
    });
    return true;
}

QWidget* Realizer::main_control() const {
    const Realized* main = m_top ? first_saying(*m_top, Meaning::main) : nullptr;
    QWidget* widget = main ? main->widget.data() : nullptr;
    return widget && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) ? widget : nullptr;
}

}  // namespace kora_ui::qt
