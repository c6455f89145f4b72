// Every named surface at the wide and the narrow window size: nothing reaches past the window's right
// edge (text cut off, a control out of reach), and Qt prints no warning.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "host_test_main.h"
#include "launch.h"
#include "qt/accessible.h"
#include "qt/host.h"

namespace {

namespace host_testing = presswick::host_testing;

struct Case {
    std::string surface;
    int width;
    int height;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.surface << " at " << c.width << " x " << c.height;
}

class SurfaceFits : public ::testing::TestWithParam<Case> {};

// Labels and buttons whose right edge lies beyond the visible width of the scroll area.
QStringList cut_off(const kora_ui::qt::Host& host) {
    QWidget* viewport = host.scroll_area()->viewport();
    QStringList found;
    for (auto* widget : host.content()->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        auto* button = qobject_cast<QPushButton*>(widget);
        if ((!label && !button) || !widget->isVisible()) {
            continue;
        }
        const int right = widget->mapTo(viewport, QPoint(widget->width(), 0)).x();
        if (right > viewport->width()) {
            found << QStringLiteral("\"%1\" ends at %2 of %3")
                         .arg(label ? label->text() : button->text())
                         .arg(right)
                         .arg(viewport->width());
        }
    }
    return found;
}

TEST_P(SurfaceFits, NothingReachesPastTheRightEdge) {
    const Case& c = GetParam();
    host_testing::warnings().clear();
    kora_ui::qt::Host host(
        presswick::launch::new_root_for_surface(kora_ui::launch::SurfaceRequest{c.surface}));
    host.resize(c.width, c.height);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    // Rows that stack for the width settle over two layout passes.
    QApplication::processEvents();
    QApplication::processEvents();
    ASSERT_NE(host.content(), nullptr);
    const QStringList problems = cut_off(host);
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

std::vector<Case> every_surface_at_both_sizes() {
    std::vector<Case> cases;
    for (const auto name : presswick::launch::kSurfaceNames) {
        cases.push_back({std::string(name), 1280, 800});
        cases.push_back({std::string(name), 520, 820});
    }
    return cases;
}

// What a screen reader finds on the main surfaces: a frame named "Presswick", the page title as a
// heading, buttons that name their card, meters as progress bars, and nothing a reader would call a
// slider or a check box that is not one. KORA_UI_DUMP_ACCESSIBLE=1 prints each tree.
TEST(SurfaceAccessibility, ReadersAreToldWhatEachPartIs) {
    for (const char* surface : {"active", "queue", "device", "scan-result"}) {
        SCOPED_TRACE(surface);
        kora_ui::qt::Host host(
            presswick::launch::new_root_for_surface(kora_ui::launch::SurfaceRequest{surface}));
        host.setWindowTitle("Presswick");
        host.resize(1280, 800);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        QApplication::processEvents();
        const QString tree = kora_ui::qt::accessible::dump_tree(&host);
        if (std::getenv("KORA_UI_DUMP_ACCESSIBLE")) {
            std::printf("---- %s\n%s", surface, qPrintable(tree));
        }
        EXPECT_TRUE(tree.startsWith("frame \"Presswick\"")) << tree.toStdString();
        EXPECT_TRUE(tree.contains("heading \"")) << tree.toStdString();
        EXPECT_FALSE(tree.contains("slider")) << tree.toStdString();
        EXPECT_FALSE(tree.contains(QRegularExpression("push button \"Open\"(?! \\()"))) << tree.toStdString();
        EXPECT_FALSE(tree.contains(QRegularExpression("progress bar[^\n]*\\{"))) << "a meter with actions";
        EXPECT_FALSE(tree.contains(QRegularExpression("image(\n| \\()"))) << "an image without a name";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryNamedSurface, SurfaceFits, ::testing::ValuesIn(every_surface_at_both_sizes()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.surface + "_" + std::to_string(info.param.width);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
