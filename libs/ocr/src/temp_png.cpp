#include "ocr/temp_png.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <png.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
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
constexpr std::uint32_t png_limit = 0x7fff'ffff;

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

namespace {

void put_be32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

// Whole writes to the file, retried when interrupted; the system's error otherwise.
std::expected<void, std::string> write_all(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::unexpected(std::string(std::strerror(errno)));
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return {};
}

// The image as a PNG whose data is stored, not deflated: the file lives for one engine run on the same
// machine, where deflating it cost more than the rest of our share and inflating it a part of the
// engine's. Rows carry filter 0 (none); one IDAT holds the zlib stream of stored blocks, written a block
// at a time, so the page is never copied whole.
std::expected<void, std::string> write_stored_gray_png(int fd, const GrayImage& image) {
    constexpr std::size_t block = 65'535;
    const std::size_t stride = std::size_t{image.width} + 1;
    const std::size_t raw = stride * image.height;
    const std::size_t blocks = (raw + block - 1) / block;
    const auto stream = static_cast<std::uint32_t>(2 + blocks * 5 + raw + 4);
    // Signature, IHDR, and the head of the IDAT chunk with the zlib header.
    std::uint8_t head[8 + 25 + 8 + 2] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    put_be32(head + 8, 13);
    std::memcpy(head + 12, "IHDR", 4);
    put_be32(head + 16, image.width);
    put_be32(head + 20, image.height);
    head[24] = 8;  // bits a sample; colour type 0 (grey), compression, filter and interlace 0 follow
    put_be32(head + 29, static_cast<std::uint32_t>(libdeflate_crc32(0, head + 12, 17)));
    put_be32(head + 33, stream);
    std::memcpy(head + 37, "IDAT", 4);
    head[41] = 0x78;  // deflate, 32 KiB window, no dictionary; 0x7801 is a multiple of 31
    head[42] = 0x01;
    if (auto ok = write_all(fd, head, sizeof head); !ok) {
        return ok;
    }
    auto crc = static_cast<std::uint32_t>(libdeflate_crc32(0, head + 37, 6));
    std::uint32_t adler = 1;
    std::vector<std::uint8_t> part(5 + block);
    std::size_t row = 0;     // the row being copied
    std::size_t column = 0;  // its next byte, 0 being the filter byte
    const std::uint8_t* pixels = image.pixels.data();
    for (std::size_t left = raw; left > 0;) {
        const std::size_t size = std::min(block, left);
        left -= size;
        part[0] = left == 0 ? 1 : 0;
        part[1] = static_cast<std::uint8_t>(size);
        part[2] = static_cast<std::uint8_t>(size >> 8);
        part[3] = static_cast<std::uint8_t>(~size);
        part[4] = static_cast<std::uint8_t>(~size >> 8);
        std::uint8_t* data = part.data() + 5;
        for (std::size_t filled = 0; filled < size;) {
            if (column == 0) {
                data[filled++] = 0;
                column = 1;
                continue;
            }
            const std::size_t take = std::min(size - filled, stride - column);
            std::memcpy(data + filled, pixels + row * image.width + (column - 1), take);
            filled += take;
            column += take;
            if (column == stride) {
                column = 0;
                ++row;
            }
        }
        adler = static_cast<std::uint32_t>(libdeflate_adler32(adler, data, size));
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, part.data(), 5 + size));
        if (auto ok = write_all(fd, part.data(), 5 + size); !ok) {
            return ok;
        }
    }
    std::uint8_t tail[4 + 4 + 12] = {};
    put_be32(tail, adler);
    crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, tail, 4));
    put_be32(tail + 4, crc);
    std::memcpy(tail + 12, "IEND", 4);
    put_be32(tail + 16, static_cast<std::uint32_t>(libdeflate_crc32(0, tail + 12, 4)));
    return write_all(fd, tail, sizeof tail);
}

}  // namespace

std::expected<void, OcrError> TempPng::write(const GrayImage& image) {
    const auto failed = [](std::string message) {
        return std::unexpected(OcrError{OcrErrorKind::image_encoding, std::move(message), {}});
    };
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        return failed("the pixel buffer does not match the image size");
    }
    if (image.width == 0 || image.height == 0 || image.width > png_limit || image.height > png_limit) {
        return failed("a PNG image needs a width and height of 1 to 2^31 - 1");
    }
    // One IDAT chunk: its length field has 31 bits.
    if ((std::size_t{image.width} + 1) * image.height > std::size_t{1} << 30) {
        return failed("the image is too large for the temporary PNG");
    }
    if (auto written = write_stored_gray_png(m_fd.get(), image); !written) {
        return failed(std::move(written.error()));
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
