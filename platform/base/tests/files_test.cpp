#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/replace_file.h"
#include "base/unique_fd.h"

namespace {

bool is_open_descriptor(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesWhatItOwnsExactlyOnce) {
    int raw[2];
    ASSERT_EQ(::pipe2(raw, O_CLOEXEC), 0);
    {
        base::UniqueFd first(raw[0]);
        base::UniqueFd second(raw[1]);
        base::UniqueFd moved(std::move(first));
        EXPECT_FALSE(first.is_open());
        EXPECT_EQ(moved.get(), raw[0]);
        moved = std::move(second);  // the read end is closed, the write end now held here
        EXPECT_FALSE(is_open_descriptor(raw[0]));
        EXPECT_TRUE(is_open_descriptor(raw[1]));
        const int given_up = moved.release();
        EXPECT_EQ(given_up, raw[1]);
        EXPECT_FALSE(moved.close());  // nothing held any more
        moved.reset(given_up);
        EXPECT_TRUE(moved.close());
        EXPECT_FALSE(is_open_descriptor(raw[1]));
    }
}

TEST(Files, OnlyANonEmptyRegularFileIsReadable) {
    const auto dir = std::filesystem::temp_directory_path() / ("base_files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "empty").close();
    std::ofstream(dir / "text") << "words";
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);

    EXPECT_TRUE(base::is_readable_regular_file(dir / "text"));
    EXPECT_FALSE(base::is_readable_regular_file(dir / "empty"));
    EXPECT_FALSE(base::is_readable_regular_file(dir / "pipe"));  // refused without waiting for a writer
    EXPECT_FALSE(base::is_readable_regular_file(dir));
    EXPECT_FALSE(base::is_readable_regular_file(dir / "missing"));
    std::filesystem::remove_all(dir);
}

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ReplaceFile, WritesWholeOrSaysWhyNot) {
    const auto dir = std::filesystem::temp_directory_path() / ("base_replace_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "folder");
    const auto made = dir / "made.json";
    ASSERT_TRUE(base::replace_file(made, "{}"));
    EXPECT_EQ(contents(made), "{}");
    struct stat info {};
    ASSERT_EQ(::stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // An existing file keeps its permissions.
    ASSERT_EQ(::chmod(made.c_str(), 0640), 0);
    ASSERT_TRUE(base::replace_file(made, "{\"a\": 1}"));
    ASSERT_EQ(::stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(contents(made), "{\"a\": 1}");

    const auto into_folder = base::replace_file(dir / "folder", "x");
    ASSERT_FALSE(into_folder);
    EXPECT_EQ(into_folder.error(), std::errc::is_a_directory);
    const auto nowhere = base::replace_file(dir / "missing" / "file", "x");
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(nowhere.error(), std::errc::no_such_file_or_directory);
    // Nothing of the failed saves or of the temporary names is left.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::ranges::sort(names);
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "made.json"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
