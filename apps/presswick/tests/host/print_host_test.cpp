// The print dialog in the real Qt host, offscreen: a 4-page PDF previewed by the real helper and paged
// through, the preview turned for landscape, and the printing options used from the keyboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <fstream>

#include <unistd.h>

#include "host_test_main.h"
#include "kora_ui/controls.h"
#include "pdf_fixture.h"
#include "qt/host.h"
#include "qt/painted.h"
#include "sample.h"
#include "surface/presswick.h"
#include "views/views.h"
#include "workers.h"

namespace {

namespace host_testing = presswick::host_testing;
constexpr int kPatienceMs = 15000;

// A valid PDF of `pages` A4 pages, each a different grey, so that every page draws differently.
std::string pdf_of_pages(int pages) {
    return test_pdf::with_pages(pages, [](int i) {
        char grey[16];
        std::snprintf(grey, sizeof grey, "%.2f", 0.2 * i);
        return std::string(grey) + " g 0 0 595 421 re f";
    });
}

class PrintHost : public ::testing::Test {
  protected:
    void SetUp() override {
        host_testing::warnings().clear();
        m_document = std::filesystem::temp_directory_path() /
                     ("presswick-paging-" + std::to_string(::getpid()) + ".pdf");
        std::ofstream(m_document, std::ios::binary) << pdf_of_pages(4);
        // The sample print dialog (its printer offers every choice) on a real document being previewed.
        auto state = presswick::sample::new_surface_state(7);
        state->snapshot = presswick::sample::snapshot();
        state->print_document = m_document;
        state->preview = presswick::PrintPreview::preparing();
        state->preview_rx = presswick::workers::start_preview(m_document);
        ASSERT_TRUE(presswick::surface::show(*state, presswick::surface::shown::PrintDialog{}));
        m_state = state.get();
        m_host = std::make_unique<kora_ui::qt::Host>(std::move(state));
        m_host->resize(520, 820);
        m_host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_host.get()));
        m_host->set_card_delay(std::chrono::milliseconds(0));
        m_host->pump();
        m_host->realize_waiting_cards_now();
    }
    void TearDown() override {
        m_host.reset();
        std::error_code ignored;
        std::filesystem::remove(m_document, ignored);
        EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join("\n").toStdString();
    }
    bool shows(const QString& text) const {
        for (auto* label : m_host->findChildren<QLabel*>()) {
            if (label->text() == text && label->isVisible()) {
                return true;
            }
        }
        return false;
    }
    bool wait_for(const std::function<bool()>& done) {
        return QTest::qWaitFor(
            [&] {
                m_host->pump();
                return done();
            },
            kPatienceMs);
    }
    template <class T>
    T* control(const char* id) const {
        return m_host->findChild<T*>(QString::fromLatin1(id));
    }
    // The preview as shown.
    QImage preview() const {
        // ImageView has no meta object of its own: findChildren<ImageView*> would take any widget.
        for (auto* child : m_host->findChildren<QWidget*>()) {
            if (auto* view = dynamic_cast<kora_ui::qt::ImageView*>(child); view && view->isVisible()) {
                return view->image();
            }
        }
        return {};
    }
    std::filesystem::path m_document;
    presswick::Presswick* m_state = nullptr;
    std::unique_ptr<kora_ui::qt::Host> m_host;
};

TEST_F(PrintHost, PagesThroughAFourPagePreview) {
    ASSERT_TRUE(wait_for([&] { return shows("Page 1 of 4"); }));
    auto* previous = control<QPushButton>("presswick.print.preview-previous");
    ASSERT_NE(previous, nullptr);
    EXPECT_FALSE(previous->isEnabled()) << "no page before the first";
    std::vector<QImage> seen{preview()};
    ASSERT_FALSE(seen.back().isNull());
    for (int page = 2; page <= 4; ++page) {
        QTest::mouseClick(control<QPushButton>("presswick.print.preview-next"), Qt::LeftButton);
        const auto label = QStringLiteral("Page %1 of 4").arg(page);
        ASSERT_TRUE(wait_for([&] { return shows(label) && !m_state->preview_rx; })) << page;
        seen.push_back(preview());
        EXPECT_NE(seen.back(), seen[seen.size() - 2])
            << "page " << page << " is drawn, not the last one kept";
    }
    EXPECT_FALSE(control<QPushButton>("presswick.print.preview-next")->isEnabled())
        << "no page after the last";
    QTest::mouseClick(control<QPushButton>("presswick.print.preview-previous"), Qt::LeftButton);
    ASSERT_TRUE(wait_for([&] { return shows("Page 3 of 4") && !m_state->preview_rx; }));
    EXPECT_EQ(preview(), seen[2]);
}

TEST_F(PrintHost, OptionsFromTheKeyboardAndThePreviewTurnsForLandscape) {
    ASSERT_TRUE(wait_for([&] { return shows("Page 1 of 4"); }));
    const QImage portrait = preview();
    ASSERT_GT(portrait.height(), portrait.width());
    // Tab reaches the pages input; what is typed goes into the cell and a bad entry holds Print back.
    auto* pages = control<QLineEdit>("presswick.print.pages");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->accessibleName(), "Pages to print");
    // Screen readers hear each segmented control by the label above it.
    for (const auto& [id, name] :
         {std::pair{"presswick.print.orientation", "Orientation"},
          std::pair{"presswick.print.color", "Color"}, std::pair{"presswick.print.quality", "Quality"}}) {
        ASSERT_NE(control<QWidget>(id), nullptr) << id;
        EXPECT_EQ(control<QWidget>(id)->accessibleName(), QString::fromLatin1(name)) << id;
    }
    bool reached = false;
    control<QPushButton>("presswick.print.preview-next")->setFocus();
    for (int i = 0; i < 12 && !reached; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached = QApplication::focusWidget() == pages;
    }
    ASSERT_TRUE(reached) << "Tab reaches Pages from the preview's buttons";
    QTest::keyClicks(pages, "9");
    ASSERT_TRUE(wait_for([&] { return shows("Pages go from 1 to 4"); }));
    EXPECT_EQ(m_state->print_pages.get(), "9");
    EXPECT_FALSE(control<QPushButton>("presswick.print.submit")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), control<QLineEdit>("presswick.print.pages"))
        << "typing keeps focus";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClicks(QApplication::focusWidget(), "2-3");
    ASSERT_TRUE(wait_for([&] { return !shows("Pages go from 1 to 4"); }));
    EXPECT_EQ(m_state->print_pages.get(), "2-3");
    EXPECT_TRUE(control<QPushButton>("presswick.print.submit")->isEnabled());
    // Another program enters the pages through the control resource: the input shows it.
    EXPECT_EQ(kora_ui::invoke_control(m_host->root(), 1, kora_ui::kTextSetOperation,
                                      R"({"control":"presswick.print.pages","text":"1, 4"})")
                  .kind,
              kora_actions::Outcome::Kind::handled);
    ASSERT_TRUE(wait_for([&] { return control<QLineEdit>("presswick.print.pages")->text() == "1, 4"; }));
    // The orientation's segments answer the arrow keys; landscape turns the preview.
    QPushButton* landscape = nullptr;
    for (auto* segment : control<QWidget>("presswick.print.orientation")->findChildren<QPushButton*>()) {
        landscape = segment->text() == "Landscape" ? segment : landscape;
    }
    ASSERT_NE(landscape, nullptr);
    QPushButton* portrait_segment = nullptr;
    for (auto* segment : control<QWidget>("presswick.print.orientation")->findChildren<QPushButton*>()) {
        portrait_segment = segment->text() == "Portrait" ? segment : portrait_segment;
    }
    portrait_segment->setFocus();
    QTest::keyClick(portrait_segment, Qt::Key_Right);
    ASSERT_TRUE(wait_for([&] { return preview().width() > preview().height(); }));
    EXPECT_EQ(m_state->print_orientation.get(), 1U);
    EXPECT_TRUE(landscape->isChecked());
}

}  // namespace
