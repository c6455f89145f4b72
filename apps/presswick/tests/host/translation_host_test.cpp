// The window in the desktop's language: the dashboard realized under German reads in German (the program's
// texts, the toolkit host's and Qt's own), and under C every text is the English one again.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <clocale>
#include <cstdlib>

#include "kora_ui/translate.h"
#include "launch.h"
#include "qt/host.h"
#include "qt/qt_translations.h"
#include "scan/scanned_page.h"
#include "translations.h"

namespace {

// Switches this process to German (nullptr: to C) the way a desktop session would start it.
void use_language(const char* language) {
    if (language == nullptr) {
        unsetenv("LANGUAGE");
        setenv("LC_ALL", "C", 1);
    } else {
        setenv("LANGUAGE", language, 1);
        // The country's locale where it is generated; C.UTF-8 (which gettext also translates under)
        // otherwise.
        setenv("LC_ALL", std::setlocale(LC_ALL, "de_DE.UTF-8") ? "de_DE.UTF-8" : "C.UTF-8", 1);
    }
    presswick::start_translations();
}

// The texts of the visible labels and buttons, in the order the window holds them.
QStringList window_texts(const char* surface) {
    kora_ui::qt::Host host(presswick::launch::new_root_for_surface(kora_ui::launch::SurfaceRequest{surface}));
    host.resize(520, 820);
    host.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    QApplication::processEvents();
    QStringList texts;
    for (auto* widget : host.content()->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            texts << label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button && !button->text().isEmpty()) {
            texts << button->text();
        }
    }
    return texts;
}

TEST(Translation, DashboardReadsInGermanAndInEnglishUnderC) {
    use_language(nullptr);
    const QStringList english = window_texts("active");
    for (const char* text : {"Your printers", "Print a document", "Add printer", "Open queue", "Device help",
                             "One document is active", "Preferred printer"}) {
        EXPECT_TRUE(english.contains(text)) << text << " in " << english.join(" | ").toStdString();
    }

    use_language("de");
    ASSERT_EQ(kora_ui::translation::language(), "de") << "build/share/locale/de has no presswick.mo";
    const QStringList german = window_texts("active");
    for (const char* text :
         {"Ihre Drucker", "Dokument drucken", "Drucker hinzufügen", "Warteschlange öffnen", "Gerätehilfe",
          "Ein Dokument ist aktiv", "Bevorzugter Drucker", "Gesendet an Studio printer"}) {
        EXPECT_TRUE(german.contains(QString::fromUtf8(text)))
            << text << " in " << german.join(" | ").toStdString();
    }
    // Same window, same places: every text that is not a name or a number reads differently in German.
    ASSERT_EQ(german.size(), english.size()) << german.join(" | ").toStdString();
    const QStringList names = {"Presswick", "Studio printer", "Travel itinerary.pdf"};
    for (qsizetype i = 0; i < english.size(); ++i) {
        if (german[i] == english[i]) {
            EXPECT_TRUE(names.contains(english[i]) ||
                        english[i].contains(QRegularExpression("^[0-9 %:./]+$")))
                << "still English in German: " << english[i].toStdString();
        }
    }

    use_language(nullptr);
    EXPECT_EQ(window_texts("active"), english) << "after German, C shows English again";
}

TEST(Translation, CountedTextsTakeTheLanguagesPluralForm) {
    use_language("de");
    EXPECT_STREQ(kora_ui::trn("{} document is active", "{} documents are active", 1),
                 "{} Dokument ist aktiv");
    EXPECT_STREQ(kora_ui::trn("{} document is active", "{} documents are active", 3),
                 "{} Dokumente sind aktiv");
    use_language(nullptr);
    EXPECT_STREQ(kora_ui::trn("{} document is active", "{} documents are active", 3),
                 "{} documents are active");
}

TEST(Translation, QtsOwnButtonsFollowWhenQtsTranslationsAreInstalled) {
    const QString catalogue = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm";
    if (!QFile::exists(catalogue)) {
        GTEST_SKIP() << catalogue.toStdString() << " is not installed (qt6-translations-l10n)";
    }
    use_language("de");
    kora_ui::qt::install_qt_translations(*qApp);
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'), QStringLiteral("Abbrechen"));
    use_language(nullptr);
}

TEST(Translation, TheRecognitionLanguageStartsAtTheDesktopsLanguage) {
    use_language("de");
    EXPECT_EQ(presswick::RecognitionLanguage::desktop_index(), 1U);
    use_language(nullptr);
    EXPECT_EQ(presswick::RecognitionLanguage::desktop_index(), 0U);
}

}  // namespace
