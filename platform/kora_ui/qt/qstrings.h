// Our strings are UTF-8; Qt's are UTF-16.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

#include "kora_ui/translate.h"

namespace kora_ui::qt {

inline QString qs(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A translated text, each "{}" replaced by the next value.
inline QString tq(const char* msgid, const QStringList& values = {}) {
    QString pattern = QString::fromUtf8(kora_ui::tr(msgid));
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'{' && i + 1 < pattern.size() && pattern[i + 1] == u'}' && next < values.size()) {
            out += values[next++];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace kora_ui::qt
