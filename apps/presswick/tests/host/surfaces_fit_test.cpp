// Every named surface at the wide, the narrow and the smallest window size: nothing reaches past the window's
// right edge (text cut off, a control out of reach), and Qt prints no warning. Then the look around it: every
// icon code has a glyph, the dashboard's panels are framed cards, pages of one width share their left
// edge, and the window itself scrolls them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "host_test_main.h"
#include "kora_ui/testing.h"
#include "launch.h"
#include "qt/accessible.h"
#include "qt/host.h"
#include "qt/icons.h"
#include "qt/painted.h"

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
        cases.push_back({std::string(name), 380, 480});  // the window's minimum size
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

std::unique_ptr<kora_ui::qt::Host> show_surface(const std::string& name, int width = 1280, int height = 800) {
    auto host = std::make_unique<kora_ui::qt::Host>(
        presswick::launch::new_root_for_surface(kora_ui::launch::SurfaceRequest{name}));
    host->resize(width, height);
    host->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    QApplication::processEvents();
    QApplication::processEvents();
    return host;
}

// An icon code without a glyph of the set would be drawn as nothing (or, before, a Qt standard pixmap).
TEST(SurfaceLook, EveryIconCodeTheViewsUseHasAGlyph) {
    std::set<kora_ui::Icon> codes;
    for (const auto name : presswick::launch::kSurfaceNames) {
        const auto root =
            presswick::launch::new_root_for_surface(kora_ui::launch::SurfaceRequest{std::string(name)});
        for (const auto* button : kora_ui::testing::find_all<kora_ui::Button>(*root)) {
            if (button->icon()) {
                codes.insert(*button->icon());
            }
        }
        for (const auto* icon : kora_ui::testing::find_all<kora_ui::IconWidget>(*root)) {
            codes.insert(icon->icon());
        }
    }
    EXPECT_GE(codes.size(), 8u);
    for (const auto code : codes) {
        EXPECT_NE(kora_ui::qt::icon_origin(code), kora_ui::qt::IconOrigin::none)
            << "icon " << static_cast<int>(code);
    }
}

bool framed(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (dynamic_cast<const kora_ui::qt::Frame*>(widget)) {
            return true;
        }
    }
    return false;
}

TEST(SurfaceLook, DashboardPanelsAndPrinterCardsAreFramedCards) {
    const auto host = show_surface("active");
    QStringList unframed;
    for (const char* title :
         {"Printing now", "Studio printer", "Scan a document", "Recent documents", "Device help"}) {
        bool found = false;
        for (auto* label : host->content()->findChildren<QLabel*>()) {
            if (label->text() == title) {
                found = true;
                unframed << (framed(label) ? QString() : QString(title));
            }
        }
        EXPECT_TRUE(found) << title;
    }
    unframed.removeAll(QString());
    EXPECT_TRUE(unframed.isEmpty()) << unframed.join(", ").toStdString();
}

// The window's own scroll area scrolls the page, so its bar is at the window's edge and the wheel works
// over the margins too; pages of one frame width start at one left edge.
TEST(SurfaceLook, PagesScrollFromAnywhereAndShareTheirLeftEdge) {
    {
        const auto host = show_surface("active", 1280, 600);
        EXPECT_TRUE(host->content()->findChildren<QScrollArea*>().isEmpty())
            << "the page scrolls inside the window";
        auto* bar = host->scroll_area()->verticalScrollBar();
        EXPECT_EQ(bar->mapTo(host.get(), QPoint(bar->width(), 0)).x(), host->width());
        ASSERT_GT(bar->maximum(), 0);
        // The wheel over the left margin reaches the window's scroll area (no other one in between).
        const QPoint margin(8, 300);
        QWidget* viewport = host->scroll_area()->viewport();
        QWidget* under = host->childAt(margin);
        while (under && under != viewport && !qobject_cast<QAbstractScrollArea*>(under)) {
            under = under->parentWidget();
        }
        ASSERT_EQ(under, viewport);
        QWheelEvent wheel(viewport->mapFrom(host.get(), QPointF(margin)), host->mapToGlobal(QPointF(margin)),
                          QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
        EXPECT_GT(bar->value(), 0);
    }
    auto back_button_left = [](const std::string& surface) {
        const auto host = show_surface(surface);
        auto* back = host->findChild<QPushButton*>("presswick.back");
        return back ? back->mapTo(host.get(), QPoint()).x() : -1;
    };
    for (const auto& group : {std::vector<std::string>{"queue", "device", "history", "diagnostics"},
                              std::vector<std::string>{"discovery", "print"}}) {
        const int left = back_button_left(group.front());
        EXPECT_GT(left, 0) << group.front();
        for (const auto& surface : group) {
            EXPECT_EQ(back_button_left(surface), left) << surface;
        }
    }
    EXPECT_TRUE(host_testing::warnings().isEmpty()) << host_testing::warnings().join('\n').toStdString();
}

}  // namespace
