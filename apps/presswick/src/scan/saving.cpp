#include "scan/saving.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "pdf/pdf_writer.h"
#include "workers.h"

namespace presswick::scan {

namespace {

// Closes the descriptor on every path; `close` reports whether the last step worked.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

  private:
    int m_fd;
};

bool write_all(int fd, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (file.get() < 0) {
        return false;
    }
    if (!write_all(file.get(), data) || ::fsync(file.get()) != 0) {
        return false;
    }
    return file.close();
}

}  // namespace

std::filesystem::path with_default_extension(std::filesystem::path path, bool document) {
    // A path without a last component (a directory root) is left as it is; writing to it fails later.
    if (path.has_filename() && !path.has_extension()) {
        path += document ? ".pdf" : ".png";
    }
    return path;
}

Bytes build_document_pdf(const std::vector<ScannedPage>& pages) {
    // The writer converts the RGBA pixels a page at a time while it compresses.
    std::vector<pdf::PdfPageInput> inputs;
    inputs.reserve(pages.size());
    for (const auto& page : pages) {
        pdf::PdfPageInput input{{}, page.text.value_or(std::string()), page.width, page.height};
        const std::size_t length = std::size_t{page.width} * page.height * 4;
        // A page whose pixels are missing or short is left out by the writer.
        if (page.pixels && page.pixels->size() >= length) {
            input.rgba = std::span<const std::uint8_t>(page.pixels->data(), length);
        }
        inputs.push_back(std::move(input));
    }
    return std::make_shared<const std::vector<std::uint8_t>>(pdf::write_pdf(inputs));
}

bool start_save_worker(kora_ui::Sender<Operation> sender, std::filesystem::path path, Bytes bytes,
                       Notice success, Notice failure) {
    if (!bytes) {
        return false;
    }
    return workers::spawn_worker(
        "kora-save-scanned-page",
        [sender = std::move(sender), path = std::move(path), bytes = std::move(bytes),
         success = std::move(success), failure = std::move(failure)]() mutable {
            const bool ok = write_file(path, *bytes);  // the system error itself is not reported
            (void)sender.send(OperationFinished{ok ? std::move(success) : std::move(failure)});
        });
}

}  // namespace presswick::scan
