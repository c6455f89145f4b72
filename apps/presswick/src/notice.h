// The one outcome message the window shows.
#pragma once

#include <string>

namespace presswick {

struct Notice {
    std::string title;
    std::string detail;
    bool positive = false;
    bool operator==(const Notice&) const = default;
};

}  // namespace presswick
