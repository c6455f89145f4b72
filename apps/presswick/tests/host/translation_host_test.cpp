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
#include <cctype>
#include <chrono>
#include <clocale>
#include <cstdlib>

#include "display.h"
#include "kora_ui/translate.h"
#include "launch.h"
#include "qt/host.h"
#include "qt/qt_translations.h"
#include "scan/scanned_page.h"
#include "translations.h"

namespace {

// Switches this process to `language` ("" for C) the way a desktop session would start it: the
// country's UTF-8 locale where it is generated, else C.UTF-8, under which gettext follows LANGUAGE too.
void use_language(const std::string& language) {
    if (language.empty()) {
        unsetenv("LANGUAGE");
        setenv("LC_ALL", "C", 1);
    } else {
        setenv("LANGUAGE", language.c_str(), 1);
        std::string country = language;
        for (auto& c : country) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const std::string locale = language + "_" + country + ".UTF-8";
        setenv("LC_ALL", std::setlocale(LC_ALL, locale.c_str()) ? locale.c_str() : "C.UTF-8", 1);
    }
    presswick::start_translations();
}

// The languages this build has a catalogue for.
QStringList translated_languages() {
    return QString(PRESSWICK_TRANSLATED_LANGUAGES).split(',', Qt::SkipEmptyParts);
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
    use_language("");
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
    use_language("");
    EXPECT_EQ(window_texts("active"), english) << "after German, C shows English again";
}

// Same window, same places: in every language of the build, each text that is not a name or a number
// reads differently from the English one (a text left out of the catalogue stays English).
TEST(Translation, EveryCatalogueTranslatesEveryTextOfTheDashboard) {
    use_language("");
    const QStringList english = window_texts("active");
    const QStringList names = {"Presswick", "Studio printer", "Travel itinerary.pdf"};
    ASSERT_FALSE(translated_languages().isEmpty());
    for (const QString& language : translated_languages()) {
        use_language(language.toStdString());
        ASSERT_EQ(kora_ui::translation::language(), language.toStdString())
            << "build/share/locale/" << language.toStdString() << " has no presswick.mo";
        const QStringList translated = window_texts("active");
        ASSERT_EQ(translated.size(), english.size()) << translated.join(" | ").toStdString();
        for (qsizetype i = 0; i < english.size(); ++i) {
            if (translated[i] == english[i]) {
                EXPECT_TRUE(names.contains(english[i]) ||
                            english[i].contains(QRegularExpression("^[0-9 %:./]+$")))
                    << "still English in " << language.toStdString() << ": " << english[i].toStdString();
            }
        }
    }
    use_language("");
    EXPECT_EQ(window_texts("active"), english) << "after the translations, C shows English again";
}

TEST(Translation, CountedTextsTakeTheLanguagesPluralForm) {
    use_language("de");
    EXPECT_STREQ(kora_ui::trn("{} document is active", "{} documents are active", 1),
                 "{} Dokument ist aktiv");
    EXPECT_STREQ(kora_ui::trn("{} document is active", "{} documents are active", 3),
                 "{} Dokumente sind aktiv");
    use_language("");
    EXPECT_STREQ(kora_ui::trn("{} document is active", "{} documents are active", 3),
                 "{} documents are active");
}

// Day words come from the catalogue and dates take the language's order and month names.
TEST(Translation, DatesTakeTheLanguagesWordsAndOrder) {
    using namespace std::chrono;
    const auto now = sys_days{2026y / December / 8} + 9h;
    const auto third = sys_days{2026y / December / 3} + 12h;
    const auto last_year = sys_days{2025y / March / 9} + 12h;
    setenv("TZ", "UTC", 1);
    tzset();
    use_language("de");
    EXPECT_EQ(presswick::day_label(now, now), "heute");
    EXPECT_EQ(presswick::day_label(now - 24h, now), "gestern");
    if (std::string(std::setlocale(LC_TIME, nullptr)).starts_with("de_DE")) {
        EXPECT_EQ(presswick::day_label(third, now), "3. Dez");
        EXPECT_EQ(presswick::day_label(last_year, now), "9. Mär 2025");
    }
    use_language("");
    EXPECT_EQ(presswick::day_label(now - 24h, now), "yesterday");
    EXPECT_EQ(presswick::day_label(third, now), "3 Dec");
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
    use_language("");
}

TEST(Translation, TheRecognitionLanguageStartsAtTheDesktopsLanguage) {
    use_language("de");
    EXPECT_EQ(presswick::RecognitionLanguage::desktop_index(), 1U);
    use_language("");
    EXPECT_EQ(presswick::RecognitionLanguage::desktop_index(), 0U);
}

}  // namespace
