#include "display.h"

#include "views/common.h"

namespace presswick {

namespace {
bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
}  // namespace

std::string display_name(std::string_view text) {
    std::string out;
    bool pending_space = false;
    for (char c : text) {
        if (c == '_' || c == '-' || is_space(c)) {
            pending_space = !out.empty();
            continue;
        }
        if (pending_space) {
            out.push_back(' ');
            pending_space = false;
        }
        out.push_back(c);
    }
    return out;
}

std::string document_title(const os_actions::printing::PrintJob& job) {
    if (job.title) {
        return *job.title;
    }
    const auto dash = job.id.rfind('-');
    return views::fill(kora_ui::tr("Document {}"),
                       dash == std::string::npos ? job.id : job.id.substr(dash + 1));
}

bool offers_pause(const os_actions::printing::PrintQueue& printer) {
    return printer.accepting && printer.state != os_actions::printing::QueueState::paused;
}

void tell_scanners_apart(std::vector<os_actions::printing::Scanner>& scanners) {
    std::vector<bool> shared(scanners.size(), false);
    for (std::size_t i = 0; i < scanners.size(); ++i) {
        for (std::size_t j = i + 1; j < scanners.size(); ++j) {
            if (scanners[i].name == scanners[j].name) {
                shared[i] = shared[j] = true;
            }
        }
    }
    for (std::size_t i = 0; i < scanners.size(); ++i) {
        if (shared[i]) {
            scanners[i].name += " (" + scanners[i].id + ")";
        }
    }
}

}  // namespace presswick
