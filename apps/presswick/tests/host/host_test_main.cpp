#include "host_test_main.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "qt/qt_translations.h"
#include "qt/style.h"
#include "translations.h"

namespace presswick::host_testing {

QStringList& warnings() {
    static QStringList seen;
    return seen;
}

namespace {

void collect_warnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || message.contains("propagateSizeHints")) {
        return;
    }
    warnings() << message;
}

}  // namespace
}  // namespace presswick::host_testing

int main(int argc, char** argv) {
    // Test discovery runs the binary without the test environment.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    qInstallMessageHandler(presswick::host_testing::collect_warnings);
    // English under C (as the test command runs them); the desktop's language when a run asks for one.
    presswick::start_translations();
    QApplication app(argc, argv);
    kora_ui::qt::apply_dark_theme(app);
    kora_ui::qt::install_qt_translations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
