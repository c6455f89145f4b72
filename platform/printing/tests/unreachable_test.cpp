// The real print service when no print server answers: the lists fail with a message, quickly.
#include <gtest/gtest.h>

#include <chrono>

#include "printing/printing.h"
#include "sandbox_env.h"

namespace printing = os_actions::printing;
using namespace std::chrono_literals;

namespace {

TEST(UnreachableServer, ListsFailWithinFiveSeconds) {
    const auto start = std::chrono::steady_clock::now();
    const auto queues = printing::queues();
    const auto jobs = printing::jobs();
    const auto scanners = printing::scanners();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 5s);
    ASSERT_FALSE(queues.has_value());
    ASSERT_FALSE(jobs.has_value());
    EXPECT_NE(queues.error().find("print server"), std::string::npos) << queues.error();
    EXPECT_FALSE(jobs.error().empty());
    // SANE has no server here: with no backend configured the list is empty or a failure, never a hang.
    if (scanners) {
        EXPECT_TRUE(scanners->empty());
    } else {
        EXPECT_FALSE(scanners.error().empty());
    }
}

TEST(UnreachableServer, OperationsFail) {
    EXPECT_FALSE(printing::set_enabled("Studio_printer", false).has_value());
    EXPECT_FALSE(printing::cancel_job("Studio_printer-1").has_value());
    EXPECT_FALSE(printing::retry_job("Studio_printer-1").has_value());
    EXPECT_FALSE(printing::set_default("Studio_printer").has_value());
    EXPECT_FALSE(printing::add_driverless("ipps://printer.local/ipp/print", "Printer").has_value());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Before any thread and any libcups or libsane call: a server socket nobody listens on, and a SANE
    // configuration with no backend.
    const auto home = printing_test::use_private_home();
    ::setenv("CUPS_SERVER", (home / "no-server.sock").c_str(), 1);
    ::setenv("SANE_CONFIG_DIR", home.c_str(), 1);
    std::ofstream(home / "dll.conf") << "\n";
    ::unsetenv("PRESSWICK_CUPS_USERCONFIG");
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return result;
}
