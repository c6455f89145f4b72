// The print preview helper: draws documents while confined, is confined while it works, and ends with
// the program that started it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bounded_command/bounded_command.h"
#include "ocr/temp_png.h"
#include "pdf_fixture.h"
#include "preview_process.h"

namespace presswick {
namespace {

using namespace std::chrono_literals;

class TempDir {
  public:
    TempDir()
        : m_path(std::filesystem::temp_directory_path() / ("preview-test." + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// A page of nested forms, each drawing the next `fan` times, the last filling `fan` squares: fan^depth
// fills from a file of a few kilobytes, seconds of drawing.
std::string nested_forms_pdf(int depth, int fan) {
    std::vector<std::string> objects{
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /F 5 0 R >> >> "
        "/Contents 4 0 R >>",
        "<< /Length 6 >>\nstream\n/F Do\nendstream"};
    for (int level = 0; level < depth; ++level) {
        const bool last = level == depth - 1;
        std::string body;
        for (int i = 0; i < fan; ++i) {
            body += last ? "0 0 1 1 re f\n" : "q /F Do Q\n";
        }
        const std::string resources =
            last ? "" : "/Resources << /XObject << /F " + std::to_string(6 + level) + " 0 R >> >> ";
        objects.push_back("<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] " + resources + "/Length " +
                          std::to_string(body.size()) + " >>\nstream\n" + body + "endstream");
    }
    return test_pdf::from_objects(objects);
}

std::filesystem::path write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The children of `parent` that run the preview helper.
std::vector<pid_t> helpers_of(pid_t parent) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::istringstream stat(read_text(entry.path() / "stat"));
        std::string pid;
        std::string comm;
        char state = 0;
        pid_t ppid = 0;
        if (stat >> pid >> comm >> state >> ppid && ppid == parent && comm == "(presswick-previ)") {
            found.push_back(std::stoi(pid));
        }
    }
    return found;
}

pid_t wait_for_helper(pid_t parent) {
    for (int i = 0; i < 500; ++i) {
        if (const auto found = helpers_of(parent); !found.empty()) {
            return found.front();
        }
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

TEST(PreviewHelper, DrawsADocumentAndAnImage) {
    TempDir dir;
    const auto pdf = write(dir.path() / "page.pdf", nested_forms_pdf(2, 3));
    const auto drawn = render_preview(pdf, [] { return true; });
    ASSERT_TRUE(drawn.has_value());
    EXPECT_EQ(drawn->height, 720u);
    EXPECT_EQ(drawn->pages, 1u);
    ocr::GrayImage gray{64, 32, std::vector<std::uint8_t>(64 * 32, 200)};
    const auto png = ocr::encode_gray_png(gray);
    ASSERT_TRUE(png.has_value());
    const auto image = write(dir.path() / "photo.png", std::string(png->begin(), png->end()));
    const auto picture = render_preview(image, [] { return true; });
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, 64u);
    EXPECT_EQ(picture->height, 32u);
}

// While it draws a slow document: no new privileges, a seccomp filter, no bus address.
TEST(PreviewHelper, ConfinedWhileItDraws) {
    TempDir dir;
    const auto slow = write(dir.path() / "slow.pdf", nested_forms_pdf(7, 10));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus", 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/run/dbus/system_bus_socket", 1);
    std::atomic<bool> wanted = true;
    PreviewResult result;
    std::thread render([&] { result = render_preview(slow, [&] { return wanted.load(); }); });
    const pid_t helper = wait_for_helper(::getpid());
    std::string status;
    std::string environment;
    if (helper > 0) {
        std::this_thread::sleep_for(200ms);  // past its start-up: drawing
        status = read_text("/proc/" + std::to_string(helper) + "/status");
        environment = read_text("/proc/" + std::to_string(helper) + "/environ");
    }
    wanted = false;
    render.join();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_GT(helper, 0) << "the helper never started";
    EXPECT_NE(status.find("NoNewPrivs:\t1\n"), std::string::npos) << status;
    EXPECT_NE(status.find("Seccomp:\t2\n"), std::string::npos) << status;
    EXPECT_EQ(environment.find("DBUS_"), std::string::npos) << environment;
    EXPECT_FALSE(result.has_value()) << "a preview no longer wanted is dropped";
}

// The program is killed mid-preview (a crash, a logout): the helper ends within 2 s, not at its limits.
TEST(PreviewHelper, EndsWithTheProgram) {
    TempDir dir;
    const auto slow = write(dir.path() / "slow.pdf", nested_forms_pdf(7, 10));
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // the orphaned helper comes back to us
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        (void)render_preview(slow, [] { return true; });
        ::_exit(0);
    }
    const pid_t helper = wait_for_helper(program);
    ::kill(program, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(program, &status, 0), program);
    ASSERT_GT(helper, 0) << "the helper never started";
    const auto killed = std::chrono::steady_clock::now();
    pid_t reaped = 0;
    while (reaped != helper && std::chrono::steady_clock::now() - killed < 2s) {
        reaped = ::waitpid(helper, &status, WNOHANG);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(reaped, helper) << "the helper outlived the program by 2 s";
    if (reaped != helper) {
        ::kill(helper, SIGKILL);
        (void)::waitpid(helper, &status, 0);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// What an exploit inside the helper would try, after the helper's own confinement.
TEST(PreviewConfinement, RefusesSocketsProgramsProcessesSignalsAndWrites) {
    TempDir dir;
    const auto target = dir.path() / "written-by-the-helper";
    const auto run = bounded_command::run_prepared_with_limits({PROBE, {target.string()}, {}}, std::nullopt,
                                                               4096, 4096, std::chrono::seconds(20));
    ASSERT_TRUE(run.has_value());
    const std::string out(run->stdout_bytes.begin(), run->stdout_bytes.end());
    ASSERT_TRUE(run->status.success()) << out;
    for (const char* line : {"socket refused", "inet refused", "execve refused", "kill-parent refused",
                             "read allowed", "thread allowed"}) {
        EXPECT_NE(out.find(std::string(line) + "\n"), std::string::npos) << line << " in\n" << out;
    }
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_NE(out.find("fork refused\n"), std::string::npos) << out;
#endif
    if (out.find("landlock 0 ") == std::string::npos) {
        EXPECT_NE(out.find(" on\n"), std::string::npos) << out;
        EXPECT_NE(out.find("write refused\n"), std::string::npos) << out;
        EXPECT_FALSE(std::filesystem::exists(target));
    }
    std::printf("%s", out.c_str());  // the Landlock ABI of this machine, for the record
}

}  // namespace
}  // namespace presswick
