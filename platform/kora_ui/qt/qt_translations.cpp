#include "qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "kora_ui/translate.h"

namespace kora_ui::qt {

void install_qt_translations(QCoreApplication& application) {
    // The language gettext chose for the program's own texts, so that both halves of a dialog agree.
    const std::string language = kora_ui::translation::language();
    if (language == "C") {
        return;
    }
    auto* translator = new QTranslator(&application);
    const QLocale locale(QString::fromStdString(language));
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace kora_ui::qt
