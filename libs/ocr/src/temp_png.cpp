#include "ocr/temp_png.h"

#include <fcntl.h>
#include <png.h>
#include <sys/random.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "live_files/live_files.h"

namespace ocr {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int name_attempts = 100;

std::error_code last_error() {
    return {errno, std::system_category()};
}

// Six letters or digits from the system's random source, without modulo bias.
std::expected<std::string, std::error_code> random_suffix() {
    std::string suffix;
    while (suffix.size() < 6) {
        std::array<std::uint8_t, 16> bytes{};
        const ssize_t got = ::getrandom(bytes.data(), bytes.size(), 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::unexpected(last_error());
        }
        for (ssize_t i = 0; i < got && suffix.size() < 6; ++i) {
            if (bytes[i] < 4 * alphabet.size()) {
                suffix += alphabet[bytes[i] % alphabet.size()];
            }
        }
    }
    return suffix;
}

OcrError io_failure(std::string what, std::error_code error) {
    return OcrError{OcrErrorKind::io_failure, std::move(what), error};
}

}  // namespace

void remove_live_temp_files() noexcept {
    live_files::remove_all();
}

std::expected<TempPng, OcrError> TempPng::create() {
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) {
        return std::unexpected(io_failure("no temporary directory", error));
    }
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        auto suffix = random_suffix();
        if (!suffix) {
            return std::unexpected(io_failure("no random name for the temporary file", suffix.error()));
        }
        std::filesystem::path path = directory / (".tmp" + *suffix + ".png");
        base::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.is_open()) {
            live_files::LiveFile live(path);
            return TempPng(std::move(path), std::move(fd), std::move(live));
        }
        if (errno != EEXIST) {
            return std::unexpected(io_failure("the temporary file could not be created", last_error()));
        }
    }
    return std::unexpected(
        io_failure("the temporary file could not be created", std::make_error_code(std::errc::file_exists)));
}

TempPng::TempPng(TempPng&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(std::move(other.m_fd)), m_live(std::move(other.m_live)) {
    other.m_path.clear();
}

TempPng::~TempPng() {
    m_fd.reset();
    if (!m_path.empty()) {
        ::unlink(m_path.c_str());
    }
    m_live.forget();
}

std::expected<void, OcrError> TempPng::write(const GrayImage& image) {
    const auto failed = [](std::string message) {
        return std::unexpected(OcrError{OcrErrorKind::image_encoding, std::move(message), {}});
    };
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        return failed("the pixel buffer does not match the image size");
    }
    // The file only feeds the engine and is removed after it: written straight to the file, with the
    // library's fast settings, since deflating a whole page hard cost more than the rest of our share.
    const int fd = ::fcntl(m_fd.get(), F_DUPFD_CLOEXEC, 0);
    FILE* out = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!out) {
        const int code = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return failed(std::strerror(code));
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_GRAY;
    png.flags = PNG_IMAGE_FLAG_FAST;
    const bool encoded = png_image_write_to_stdio(&png, out, 0, image.pixels.data(), 0, nullptr) != 0;
    std::string message = encoded || png.message[0] == '\0' ? "PNG encoding failed" : png.message;
    png_image_free(&png);
    const bool flushed = std::fflush(out) == 0;
    const int code = errno;
    const bool closed = std::fclose(out) == 0;
    if (!encoded) {
        return failed(std::move(message));
    }
    if (!flushed || !closed) {
        return failed(std::strerror(flushed ? errno : code));
    }
    return {};
}

std::expected<std::vector<std::uint8_t>, std::string> encode_gray_png(const GrayImage& image) {
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        return std::unexpected(std::string("the pixel buffer does not match the image size"));
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_GRAY;
    // An upper bound of the encoded size: one encoding pass is enough.
    std::vector<std::uint8_t> bytes(PNG_IMAGE_PNG_SIZE_MAX(png));
    png_alloc_size_t size = bytes.size();
    if (png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr) == 0) {
        std::string message = png.message[0] != '\0' ? png.message : "PNG encoding failed";
        png_image_free(&png);
        return std::unexpected(message);
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace ocr
