#include <typeindex>

#include "qt/realize/kind.h"

namespace kora_ui::qt {

namespace {
const KindTable& table() {
    static const KindTable kinds = [] {
        KindTable built;
        add_containers(built);
        add_cards(built);
        add_controls(built);
        add_leaves(built);
        return built;
    }();
    return kinds;
}
}  // namespace

const Kind& kind_of(const Widget& node) {
    const auto& kinds = table();
    if (const auto found = kinds.find(typeid(node)); found != kinds.end()) {
        return found->second;
    }
    return node.meaning() == Meaning::card ? card_wrapper_kind() : wrapper_kind();
}

}  // namespace kora_ui::qt
