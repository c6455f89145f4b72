// Our strings are UTF-8; Qt's are UTF-16.
#pragma once

#include <QString>

#include <string>

namespace kora_ui::qt {

inline QString qs(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kora_ui::qt
