// The print dialog in its real window, offscreen, against the private print system: the Studio printer's
// own options shown, pages "2-3", "Black and white" and "Landscape" chosen with the mouse and the keys,
// and the job read back from cupsd; a one-sided printer's "Print on both sides" disabled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

#include "host_test_main.h"
#include "kora_ui/picker.h"
#include "launch.h"
#include "pdf_fixture.h"
#include "qt/host.h"
#include "sandbox_env.h"

namespace {

namespace host_testing = presswick::host_testing;
constexpr int kPatienceMs = 20000;

// Every pick answers this path.
class FixedPicker final : public kora_ui::PickerBackend {
  public:
    explicit FixedPicker(std::filesystem::path path) : m_path(std::move(path)) {}
    kora_ui::PickOutcome pick(const kora_ui::PickRequest&) override {
        return {kora_ui::PickOutcome::Kind::path, m_path, {}};
    }

  private:
    std::filesystem::path m_path;
};

// A PDF of four A4 pages.
std::string four_pages() {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>",
                                        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 >>"};
    for (int i = 0; i < 4; ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>");
    }
    return test_pdf::from_objects(objects);
}

std::string output_of(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 512> chunk{};
        while (std::fgets(chunk.data(), chunk.size(), pipe)) {
            out += chunk.data();
        }
        ::pclose(pipe);
    }
    return out;
}

// A device that prints on one side only (ippeveprinter without -2), as a queue for the test's life.
class OneSidedQueue {
  public:
    explicit OneSidedQueue(const std::string& queue)
        : m_printer(
              std::filesystem::temp_directory_path() / ("presswick-simplex-" + std::to_string(::getpid())),
              "Simplex 5") {
        const std::string answers =
            "ipptool -q " + m_printer.uri() + " get-printer-attributes.test >/dev/null 2>&1";
        m_ready = QTest::qWaitFor([&] { return std::system(answers.c_str()) == 0; }, kPatienceMs) &&
                  std::system(
                      ("lpadmin -p " + queue + " -E -v " + m_printer.uri() + " -m everywhere >/dev/null 2>&1")
                          .c_str()) == 0;
    }
    [[nodiscard]] bool ready() const { return m_ready; }

  private:
    printing_test::VirtualPrinter m_printer;
    bool m_ready = false;
};

class PrintFlowHost : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("CUPS_SERVER") == nullptr) {
            GTEST_SKIP() << "needs the private print system (scripts/sandbox.sh)";
        }
        host_testing::warnings().clear();
        m_document =
            std::filesystem::temp_directory_path() / ("Four pages " + std::to_string(::getpid()) + ".pdf");
        std::ofstream(m_document, std::ios::binary) << four_pages();
        m_previous = kora_ui::set_picker_backend(std::make_shared<FixedPicker>(m_document));
    }
    void TearDown() override {
        m_host.reset();
        kora_ui::set_picker_backend(m_previous);
        std::error_code ignored;
        std::filesystem::remove(m_document, ignored);
    }
    // The window with the print dialog open on the document, once the printer's options are shown.
    bool open_dialog() {
        m_host = std::make_unique<kora_ui::qt::Host>(presswick::launch::new_default_root());
        m_host->resize(520, 820);
        m_host->show();
        if (!QTest::qWaitFor([&] { return m_host->findChild<QPushButton*>("presswick.refresh") != nullptr; },
                             kPatienceMs)) {
            return false;
        }
        (void)m_host->root().invoke_resource_operation_v2(2, "presswick.operation", "\"print\"");
        m_host->request_update();
        return QTest::qWaitFor([&] { return control<QLineEdit>("presswick.print.pages") != nullptr; },
                               kPatienceMs);
    }
    template <class T>
    T* control(const char* id) const {
        m_host->realize_waiting_cards_now();
        return m_host->findChild<T*>(QString::fromLatin1(id));
    }
    QPushButton* segment(const char* group, const QString& label) const {
        auto* strip = control<QWidget>(group);
        for (auto* button : strip ? strip->findChildren<QPushButton*>() : QList<QPushButton*>()) {
            if (button->text() == label) {
                return button;
            }
        }
        return nullptr;
    }
    bool shows(const QString& text) const {
        for (auto* label : m_host->findChildren<QLabel*>()) {
            if (label->text() == text && label->isVisible()) {
                return true;
            }
        }
        return false;
    }
    std::filesystem::path m_document;
    std::shared_ptr<kora_ui::PickerBackend> m_previous;
    std::unique_ptr<kora_ui::qt::Host> m_host;
};

TEST_F(PrintFlowHost, ChoicesReachTheJobAsCupsdKeepsIt) {
    ASSERT_TRUE(open_dialog()) << "the dialog never offered Pages for the Studio printer";
    auto* paper = control<QComboBox>("presswick.print.paper");
    ASSERT_NE(paper, nullptr);
    EXPECT_GE(paper->findText("A4"), 0);
    EXPECT_GE(paper->findText("Letter"), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows("Page 1 of 4"); }, kPatienceMs));

    auto* pages = control<QLineEdit>("presswick.print.pages");
    pages->setFocus();
    QTest::keyClicks(pages, "2-3");
    ASSERT_NE(segment("presswick.print.color", "Black and white"), nullptr);
    QTest::mouseClick(segment("presswick.print.color", "Black and white"), Qt::LeftButton);
    auto* portrait = segment("presswick.print.orientation", "Portrait");
    ASSERT_NE(portrait, nullptr);
    portrait->setFocus();
    QTest::keyClick(portrait, Qt::Key_Right);  // to "Landscape", from the keyboard
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return segment("presswick.print.orientation", "Landscape")->isChecked(); }, kPatienceMs));
    const auto before = output_of("lpstat -W all -o Studio_printer | wc -l");
    auto* print = control<QPushButton>("presswick.print.submit");
    ASSERT_NE(print, nullptr);
    ASSERT_TRUE(print->isEnabled());
    QTest::mouseClick(print, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return output_of("lpstat -W all -o Studio_printer | wc -l") != before; }, kPatienceMs));
    // The newest job, read back from cupsd as ipptool sees it.
    const auto id = output_of("lpstat -W all -o Studio_printer | sed 's/ .*//; s/.*-//' | sort -n | tail -1");
    const char* server = std::getenv("PRESSWICK_SANDBOX_PORT");
    const std::string port = server ? server : "8631";
    const auto attributes = output_of("ipptool -tv ipp://127.0.0.1:" + port + "/jobs/" +
                                      id.substr(0, id.find('\n')) + " get-job-attributes.test");
    EXPECT_NE(attributes.find("page-ranges (rangeOfInteger) = 2-3"), std::string::npos) << attributes;
    EXPECT_NE(attributes.find("print-color-mode (keyword) = monochrome"), std::string::npos);
    EXPECT_NE(attributes.find("orientation-requested (enum) = landscape"), std::string::npos);
}

// Adds a queue whose device is gone afterwards: runs with the last integration tests (scripts/test.sh).
using PrintFlowHostAddsQueue = PrintFlowHost;

TEST_F(PrintFlowHostAddsQueue, OneSidedPrinterHasBothSidesDisabled) {
    const OneSidedQueue simplex("Simplex_printer");
    ASSERT_TRUE(simplex.ready());
    ASSERT_TRUE(open_dialog());
    auto* printers = control<QComboBox>("presswick.print.printer");
    ASSERT_NE(printers, nullptr);
    const int at = printers->findData(QStringLiteral("Simplex_printer"));
    ASSERT_GE(at, 0) << "the new queue is in the printer list";
    printers->setCurrentIndex(at);
    emit printers->activated(at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows("This printer prints on one side only"); }, kPatienceMs));
    QCheckBox* both = nullptr;
    for (auto* box : m_host->findChildren<QCheckBox*>()) {
        both = box->accessibleName() == "Print on both sides" ? box : both;
    }
    ASSERT_NE(both, nullptr);
    EXPECT_FALSE(both->isEnabled());
    EXPECT_FALSE(both->isChecked());
}

}  // namespace
