#include "display.h"

#include <ctime>

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

std::string day_label(std::chrono::system_clock::time_point at,
                      std::chrono::system_clock::time_point at_now) {
    const std::time_t when = std::chrono::system_clock::to_time_t(at);
    const std::time_t now = std::chrono::system_clock::to_time_t(at_now);
    std::tm then_tm{};
    std::tm now_tm{};
    localtime_r(&when, &then_tm);
    localtime_r(&now, &now_tm);
    // Calendar-day difference, counted on local dates (noon avoids daylight-saving edges).
    auto day_number = [](std::tm tm) {
        tm.tm_hour = 12;
        tm.tm_min = 0;
        tm.tm_sec = 0;
        tm.tm_isdst = -1;
        return static_cast<long long>(std::mktime(&tm) / 86400);
    };
    const auto days = day_number(now_tm) - day_number(then_tm);
    if (days == 0) {
        return kora_ui::tr("today");
    }
    if (days == 1) {
        return kora_ui::tr("yesterday");
    }
    char buffer[64];
    // The date in the language's own order; strftime takes the month's name from the locale.
    // TRANSLATORS: strftime format of a date this year ("9 Dec"); a leading zero of the day is dropped.
    // xgettext:no-c-format
    const char* this_year = kora_ui::tr("%d %b");
    // TRANSLATORS: strftime format of a date in another year ("9 Dec 2025").
    // xgettext:no-c-format
    const char* other_year = kora_ui::tr("%d %b %Y");
    const char* format = then_tm.tm_year == now_tm.tm_year ? this_year : other_year;
    const auto length = std::strftime(buffer, sizeof buffer, format, &then_tm);
    std::string label(buffer, length);
    if (label.starts_with('0')) {
        label.erase(0, 1);
    }
    return label;
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
