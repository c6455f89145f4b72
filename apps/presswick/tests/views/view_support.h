// Shared fixtures for the view tests: a root state, sample records, and tree readers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "kora_ui/testing.h"
#include "kora_ui/widgets.h"
#include "operation.h"
#include "sample.h"
#include "surface/presswick.h"
#include "views/common.h"
#include "views/views.h"

namespace views_test {

namespace printing = os_actions::printing;
using kora_ui::testing::collect_texts;
using kora_ui::testing::contains_text;

struct Root {
    presswick::Presswick state{kora_ui::boxed(kora_ui::Column())};
    // The operation a press sent, if any.
    std::optional<presswick::Operation> press(const kora_ui::Widget& tree, std::string_view id);
};

printing::PrintJob job(std::string id, std::optional<printing::JobState> state,
                       std::optional<std::uint32_t> done = {}, std::optional<std::uint32_t> total = {},
                       std::string queue = "Studio_printer");
printing::PrintQueue printer(std::string name, printing::QueueState state = printing::QueueState::idle);
presswick::DeviceSnapshot snapshot_with(std::vector<printing::PrintQueue> printers,
                                        std::vector<printing::PrintJob> jobs,
                                        std::vector<printing::Scanner> scanners);
std::size_t count(const std::vector<std::string>& texts, std::string_view text);
std::vector<std::string> button_labels(const kora_ui::Widget& tree);
std::vector<kora_ui::Button*> buttons_with_id(const kora_ui::Widget& tree, std::string_view id);

}  // namespace views_test
