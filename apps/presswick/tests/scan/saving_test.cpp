// Saving: the extension rules, the document PDF, and the writer worker's file and notices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/replace_file.h"
#include "scan/page_image.h"
#include "scan/saving.h"
#include "scan_support.h"

namespace presswick::scan {
namespace {

using scan_test::pattern_page;
using scan_test::read_file;
using scan_test::TempDir;
using scan_test::wait_for;

const Notice kSaved{"Scanned page saved", "Saved out.png.", true};
const Notice kNotSaved{"Could not save scanned page", "Choose another location and try again.", false};

Bytes bytes_of(std::string text) {
    return std::make_shared<const std::vector<std::uint8_t>>(text.begin(), text.end());
}

Notice save_and_wait(const std::filesystem::path& path, Bytes bytes) {
    auto [tx, rx] = kora_ui::channel<Operation>();
    EXPECT_TRUE(start_save_worker(tx, path, std::move(bytes), kSaved, kNotSaved));
    auto posted = wait_for(rx);
    if (!posted || !std::holds_alternative<OperationFinished>(*posted)) {
        ADD_FAILURE() << "no notice posted";
        return {};
    }
    return std::get<OperationFinished>(*posted).notice;
}

TEST(DefaultExtension, AddedOnlyWhenMissing) {
    EXPECT_EQ(with_default_extension("/tmp/Scan", false), "/tmp/Scan.png");
    EXPECT_EQ(with_default_extension("/tmp/Scan", true), "/tmp/Scan.pdf");
    EXPECT_EQ(with_default_extension("/tmp/my scan.v2/page", true), "/tmp/my scan.v2/page.pdf");
    EXPECT_EQ(with_default_extension("/tmp/photo.jpg", false), "/tmp/photo.jpg");
    EXPECT_EQ(with_default_extension("/tmp/notes.txt", true), "/tmp/notes.txt");
    EXPECT_EQ(with_default_extension("/tmp/page.pdf", false), "/tmp/page.pdf");
    EXPECT_EQ(with_default_extension("/", true), "/");
}

TEST(DocumentPdf, EveryPageInOrderWithText) {
    std::vector<ScannedPage> pages{pattern_page(40, 60, "first page words"),
                                   pattern_page(60, 40, std::nullopt)};
    Bytes pdf = build_document_pdf(pages);
    const std::string text(pdf->begin(), pdf->end());
    EXPECT_TRUE(text.starts_with("%PDF-"));
    EXPECT_NE(text.find("/Count 2"), std::string::npos);
}

TEST(DocumentPdf, WordsGoOverTheirBoxesOnlyWithTheirText) {
    std::vector<ScannedPage> pages{pattern_page(400, 400, "Hello there"),
                                   pattern_page(400, 400, std::nullopt)};
    const auto words = std::make_shared<const std::vector<RecognizedWord>>(
        std::vector<RecognizedWord>{{"Hello", 40, 40, 100, 30, 0}, {"there", 160, 40, 100, 30, 0}});
    pages[0].words = words;
    pages[1].words = words;  // boxes without text are not laid out
    Bytes pdf = build_document_pdf(pages);
    const std::string text(pdf->begin(), pdf->end());
    EXPECT_NE(text.find("Tm (Hello ) Tj\n"), std::string::npos);
    EXPECT_NE(text.find("Tm (there) Tj\n"), std::string::npos);
    EXPECT_EQ(text.find("(Hello there)"), std::string::npos) << "no line at the foot besides";
    EXPECT_EQ(text.find("Tm (Hello ) Tj"), text.rfind("Tm (Hello ) Tj")) << "only the page with text";
}

TEST(DocumentPdf, PageWithShortPixelsIsLeftOut) {
    std::vector<ScannedPage> pages{pattern_page(40, 60), pattern_page(10, 10)};
    pages[1].height = 20;
    Bytes pdf = build_document_pdf(pages);
    const std::string text(pdf->begin(), pdf->end());
    EXPECT_NE(text.find("/Count 1"), std::string::npos);
}

TEST(SaveWorker, WritesExactlyTheBytesOwnerOnly) {
    TempDir dir;
    const auto path = dir.path() / "out.png";
    Bytes data = scan_test::pattern_png(30, 30);
    EXPECT_EQ(save_and_wait(path, data), kSaved);
    EXPECT_EQ(read_file(path), *data);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // An existing file keeps its permissions; a link is written through and stays a link.
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const auto link = dir.path() / "link.png";
    std::filesystem::create_symlink("out.png", link);
    EXPECT_EQ(save_and_wait(link, bytes_of("new")), kSaved);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(read_file(path), *bytes_of("new"));
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

Notice export_and_wait(const std::filesystem::path& path, const ScannedPage& page) {
    auto [tx, rx] = kora_ui::channel<Operation>();
    EXPECT_TRUE(start_page_export_worker(tx, path, page, kSaved, kNotSaved));
    auto posted = wait_for(rx);
    if (!posted || !std::holds_alternative<OperationFinished>(*posted)) {
        ADD_FAILURE() << "no notice posted";
        return {};
    }
    return std::get<OperationFinished>(*posted).notice;
}

TEST(PageExport, WritesWhatTheNameSays) {
    TempDir dir;
    const ScannedPage page = pattern_page(64, 48);
    EXPECT_EQ(export_format_for("/a/b.jpg"), ExportFormat::jpeg);
    EXPECT_EQ(export_format_for("/a/b.JPeG"), ExportFormat::jpeg);
    EXPECT_EQ(export_format_for("/a/b.png"), ExportFormat::page_bytes);
    EXPECT_EQ(export_format_for("/a/jpg"), ExportFormat::page_bytes);
    EXPECT_EQ(export_format_for("/a/b.jpg.txt"), ExportFormat::page_bytes);
    for (const char* name : {"page1.jpg", "Page 2.JPEG"}) {
        const auto path = dir.path() / name;
        ASSERT_EQ(export_and_wait(path, page), kSaved) << name;
        const auto bytes = read_file(path);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8) << "a JPEG file, not the PNG under another name";
        auto decoded = decode_page_image(bytes);
        ASSERT_TRUE(decoded.has_value()) << decoded.error();
        EXPECT_EQ(decoded->width, 64u);
        EXPECT_EQ(decoded->height, 48u);
        EXPECT_EQ(decoded->channels, 3u);
        // Quality 90 stays close to the page: the average error per sample is small.
        const auto rgba = *to_rgba(*decoded);
        std::uint64_t error = 0;
        for (std::size_t i = 0; i < rgba.size(); ++i) {
            if (i % 4 != 3) {
                error += static_cast<std::uint64_t>(std::abs(int(rgba[i]) - int((*page.pixels)[i])));
            }
        }
        EXPECT_LT(double(error) / (64 * 48 * 3), 4.0) << name;
    }
    const auto png = dir.path() / "page.png";
    ASSERT_EQ(export_and_wait(png, page), kSaved);
    EXPECT_EQ(read_file(png), *page.encoded) << "the page's own bytes";
    const auto named = with_default_extension(dir.path() / "page3", false);
    ASSERT_EQ(export_and_wait(named, page), kSaved);
    EXPECT_EQ(named.filename(), "page3.png");
    EXPECT_EQ(read_file(named), *page.encoded);
    // Pixels that cannot be encoded give the failure notice and no file.
    ScannedPage broken = page;
    broken.height = 4800;
    const auto bad = dir.path() / "broken.jpg";
    EXPECT_EQ(export_and_wait(bad, broken), kNotSaved);
    EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST(LinkRule, AsTheKernelProtectsSharedFolders) {
    struct stat sticky_shared {};
    sticky_shared.st_mode = S_IFDIR | S_ISVTX | 0777;
    sticky_shared.st_uid = ::geteuid() + 1;
    struct stat link {};
    link.st_mode = S_IFLNK | 0777;
    link.st_uid = ::geteuid() + 2;  // someone else's link in someone else's shared folder
    EXPECT_FALSE(base::follows_link(sticky_shared, link));
    link.st_uid = ::geteuid();  // our own link
    EXPECT_TRUE(base::follows_link(sticky_shared, link));
    link.st_uid = sticky_shared.st_uid;  // the folder's owner made it
    EXPECT_TRUE(base::follows_link(sticky_shared, link));
    link.st_uid = ::geteuid() + 2;
    struct stat sticky_private = sticky_shared;
    sticky_private.st_mode = S_IFDIR | S_ISVTX | 0775;  // others cannot write it
    EXPECT_TRUE(base::follows_link(sticky_private, link));
    struct stat open_folder = sticky_shared;
    open_folder.st_mode = S_IFDIR | 0777;  // not sticky: anyone could rename the file itself anyway
    EXPECT_TRUE(base::follows_link(open_folder, link));
}

// Makes `link` point at `target` as the user nobody (the test runs as root to become someone else).
bool link_as_nobody(const std::filesystem::path& target, const std::filesystem::path& link) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const bool made = ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0 &&
                          ::symlink(target.c_str(), link.c_str()) == 0;
        ::_exit(made ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST(SaveWorker, AnotherUsersLinkInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a link as another user needs root";
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const auto mine = dir.path() / "mine.txt";
    std::ofstream(mine) << "precious";
    const auto shared = dir.path() / "shared";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);  // like /tmp
    const auto trap = shared / "Scanned document.pdf";
    ASSERT_TRUE(link_as_nobody(mine, trap));
    EXPECT_EQ(save_and_wait(trap, bytes_of("export")), kNotSaved);
    EXPECT_EQ(read_file(mine), *bytes_of("precious"));
    EXPECT_TRUE(std::filesystem::is_symlink(trap));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(shared), {}), 1);  // nothing else written
    // Through a chain: our own link to theirs stops at theirs.
    const auto own_to_trap = shared / "own-to-trap.png";
    std::filesystem::create_symlink(trap, own_to_trap);
    EXPECT_EQ(save_and_wait(own_to_trap, bytes_of("export")), kNotSaved);
    EXPECT_EQ(read_file(mine), *bytes_of("precious"));
    // Their link to a folder, anywhere on the way, is not followed either.
    const auto private_folder = dir.path() / "private";
    std::filesystem::create_directory(private_folder);
    const auto folder_trap = shared / "scans";
    ASSERT_TRUE(link_as_nobody(private_folder, folder_trap));
    EXPECT_EQ(save_and_wait(folder_trap / "Scanned page.png", bytes_of("export")), kNotSaved);
    EXPECT_TRUE(std::filesystem::is_empty(private_folder));
    // The user's own link in the same folder is written through.
    const auto own = shared / "own.png";
    std::filesystem::create_symlink(mine, own);
    EXPECT_EQ(save_and_wait(own, bytes_of("through my link")), kSaved);
    EXPECT_EQ(read_file(mine), *bytes_of("through my link"));
    EXPECT_TRUE(std::filesystem::is_symlink(own));
    // The user's own links on the way, relative and absolute, are followed.
    std::filesystem::create_symlink("../private", shared / "my-scans");
    EXPECT_EQ(save_and_wait(shared / "my-scans" / "page.png", bytes_of("through a folder link")), kSaved);
    EXPECT_EQ(read_file(private_folder / "page.png"), *bytes_of("through a folder link"));
    std::filesystem::create_symlink(shared / "own.png", shared / "own-again.png");
    EXPECT_EQ(save_and_wait(shared / "own-again.png", bytes_of("two links")), kSaved);
    EXPECT_EQ(read_file(mine), *bytes_of("two links"));
    // Their link in a folder that is not sticky is followed, as the kernel would.
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    EXPECT_EQ(save_and_wait(trap, bytes_of("not sticky")), kSaved);
    EXPECT_EQ(read_file(mine), *bytes_of("not sticky"));
    EXPECT_EQ(save_and_wait(folder_trap / "page.png", bytes_of("into the folder")), kSaved);
    EXPECT_EQ(read_file(private_folder / "page.png"), *bytes_of("into the folder"));
}

// A save killed at any moment leaves no file of its own beside the target: it writes an unnamed file.
TEST(SaveWorker, AKilledSaveLeavesNothingBehind) {
    TempDir dir;
    const auto path = dir.path() / "big.pdf";
    std::ofstream(dir.path() / "kept.pdf") << "old";
    for (const auto& target : {path, dir.path() / "kept.pdf"}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::vector<std::uint8_t> data(std::size_t{256} << 20, 'x');
            [[maybe_unused]] const auto told = ::write(ready[1], "r", 1);
            ::_exit(base::replace_file(target, data) ? 0 : 1);
        }
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ::usleep(30'000);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
        }
    }
    EXPECT_EQ(read_file(dir.path() / "kept.pdf").size() == 3 ||
                  read_file(dir.path() / "kept.pdf").size() == std::size_t{256} << 20,
              true);
}

// A tmpfs of 1 MB mounted for the test: mounting needs privileges, which CI has (it runs as root).
class SmallFileSystem {
  public:
    SmallFileSystem() : m_mounted(::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, "size=1m") == 0) {}
    ~SmallFileSystem() {
        if (m_mounted) {
            ::umount2(m_dir.path().c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] bool make_read_only() const {
        return ::mount("tmpfs", m_dir.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=1m") == 0;
    }
    [[nodiscard]] const std::filesystem::path& path() const { return m_dir.path(); }

  private:
    TempDir m_dir;
    bool m_mounted;
};

TEST(SaveWorker, AFailedSaveLeavesThePreviousFileAndNoTemporaryFile) {
    SmallFileSystem disk;
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    }
    const auto path = disk.path() / "out.png";
    const auto previous = bytes_of(std::string(600'000, 'p'));
    EXPECT_EQ(save_and_wait(path, previous), kSaved);
    // The full disk: the new bytes do not fit beside the old ones.
    EXPECT_EQ(save_and_wait(path, bytes_of(std::string(600'000, 'n'))), kNotSaved);
    EXPECT_EQ(read_file(path), *previous);
    const auto entries = [&] {
        return std::distance(std::filesystem::directory_iterator(disk.path()), {});
    };
    EXPECT_EQ(entries(), 1);
    // The read-only directory.
    ASSERT_TRUE(disk.make_read_only());
    EXPECT_EQ(save_and_wait(path, bytes_of("small")), kNotSaved);
    EXPECT_EQ(read_file(path), *previous);
    EXPECT_EQ(entries(), 1);
}

TEST(SaveWorker, SavingOverALongerFileLeavesNoTail) {
    TempDir dir;
    const auto path = dir.path() / "out.png";
    std::ofstream(path) << std::string(10000, 'x');
    EXPECT_EQ(save_and_wait(path, bytes_of("short")), kSaved);
    const auto written = read_file(path);
    EXPECT_EQ(std::string(written.begin(), written.end()), "short");
}

TEST(SaveWorker, UnwritableLocationGivesTheFailureNotice) {
    TempDir dir;
    // Tests may run as root, which writes into any directory: a regular file as parent fails for everyone.
    const auto file = dir.path() / "plain-file";
    std::ofstream(file) << "not a directory";
    EXPECT_EQ(save_and_wait(file / "out.png", bytes_of("data")), kNotSaved);
    EXPECT_EQ(save_and_wait(dir.path() / "missing" / "out.png", bytes_of("data")), kNotSaved);
    EXPECT_EQ(save_and_wait(dir.path(), bytes_of("data")), kNotSaved);
}

}  // namespace
}  // namespace presswick::scan
