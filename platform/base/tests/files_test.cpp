#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/files.h"
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

}  // namespace
