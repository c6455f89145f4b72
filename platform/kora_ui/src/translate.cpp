#include "kora_ui/translate.h"

#include <libintl.h>

#include <clocale>

namespace kora_ui {

namespace {
std::string& current_domain() {
    static std::string name;
    return name;
}
}  // namespace

namespace translation {

void start(const char* domain, const std::filesystem::path& locale_dir) {
    std::setlocale(LC_ALL, "");
    // Numbers written and read (PDF, JSON, engine output) keep the decimal point whatever the language.
    std::setlocale(LC_NUMERIC, "C");
    bindtextdomain(domain, locale_dir.c_str());
    // Qt and the views want UTF-8 whatever the locale's own character set is.
    bind_textdomain_codeset(domain, "UTF-8");
    current_domain() = domain;
}

const std::string& domain() {
    return current_domain();
}

std::string language() {
    if (current_domain().empty()) {
        return "C";
    }
    // The catalogue header names the language gettext found; "" when none was found.
    const std::string header = dgettext(current_domain().c_str(), "");
    const std::string key = "Language: ";
    const auto at = header.find(key);
    if (at == std::string::npos) {
        return "C";
    }
    const auto end = header.find('\n', at);
    const auto value = header.substr(at + key.size(), end - at - key.size());
    return value.empty() ? "C" : value;
}

}  // namespace translation

const char* tr(const char* msgid) {
    if (current_domain().empty() || *msgid == '\0') {
        return msgid;
    }
    return dgettext(current_domain().c_str(), msgid);
}

const char* trn(const char* one, const char* many, unsigned long count) {
    if (current_domain().empty()) {
        return count == 1 ? one : many;
    }
    return dngettext(current_domain().c_str(), one, many, count);
}

}  // namespace kora_ui
