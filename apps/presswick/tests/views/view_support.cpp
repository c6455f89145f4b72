#include "view_support.h"

namespace views_test {

std::optional<presswick::Operation> Root::press(const kora_ui::Widget& tree, std::string_view id) {
    if (!kora_ui::testing::press(tree, id)) {
        return std::nullopt;
    }
    auto got = state.operations_rx.try_recv();
    return got.value;
}

printing::PrintJob job(std::string id, std::optional<printing::JobState> state,
                       std::optional<std::uint32_t> done, std::optional<std::uint32_t> total,
                       std::string queue) {
    printing::PrintJob made;
    made.id = std::move(id);
    made.queue = std::move(queue);
    made.title = made.id + ".pdf";
    made.state = state;
    made.pages_done = done;
    made.pages_total = total;
    made.time = std::chrono::system_clock::now();
    return made;
}

printing::PrintQueue printer(std::string name, printing::QueueState state) {
    printing::PrintQueue made;
    made.name = std::move(name);
    made.state = state;
    return made;
}

presswick::DeviceSnapshot snapshot_with(std::vector<printing::PrintQueue> printers,
                                        std::vector<printing::PrintJob> jobs,
                                        std::vector<printing::Scanner> scanners) {
    return {std::move(printers), std::move(jobs), std::move(scanners)};
}

std::size_t count(const std::vector<std::string>& texts, std::string_view text) {
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

std::vector<std::string> button_labels(const kora_ui::Widget& tree) {
    std::vector<std::string> labels;
    for (auto* button : kora_ui::testing::find_all<kora_ui::Button>(tree)) {
        labels.push_back(button->label());
    }
    return labels;
}

std::vector<kora_ui::Button*> buttons_with_id(const kora_ui::Widget& tree, std::string_view id) {
    std::vector<kora_ui::Button*> found;
    for (auto* button : kora_ui::testing::find_all<kora_ui::Button>(tree)) {
        if (button->control_id() == id) {
            found.push_back(button);
        }
    }
    return found;
}

}  // namespace views_test
