// Stands in for `tesseract IMAGE stdout -l LANG tsv` in tests. The language code picks the behaviour:
//   echo        TSV whose words (one line each) are: every argument, "OMP=<OMP_THREAD_LIMIT>",
//               "png" or "not-png" (the image file's signature), "stdin=<bytes read>",
//               "nnp=<NoNewPrivs of /proc/self/status>", "bus=<DBUS_SESSION_BUS_ADDRESS or unset>"
//   words       a short TSV with words out of order, exit 0
//   flood_out   17 MiB on standard output, exit 0
//   flood_err   5000 bytes on standard error, exit 0
//   fail_long   a long diagnostic with control characters, exit 1
//   fail_quiet  nothing at all, exit 1
//   crash       a short diagnostic, then SIGABRT
//   sleep       sleeps ten seconds
//   bad_utf8    one word with invalid UTF-8, exit 0
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const header =
    "level\tpage_num\tblock_num\tpar_num\tline_num\tword_num\tleft\ttop\twidth\theight\tconf\ttext\n";

void put(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            std::_Exit(3);
        }
        done += static_cast<std::size_t>(n);
    }
}

std::string word_row(int line, const std::string& text) {
    return "5\t1\t1\t1\t" + std::to_string(line) + "\t1\t10\t10\t20\t20\t91.5\t" + text + "\n";
}

std::string signature_of(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char bytes[8] = {};
    file.read(bytes, sizeof bytes);
    return std::string(bytes, 8) == "\x89PNG\r\n\x1a\n" ? "png" : "not-png";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        put(STDERR_FILENO, "usage: tesseract IMAGE stdout -l LANG tsv\n");
        return 1;
    }
    const std::string mode = argv[4];
    if (mode == "echo") {
        std::string out = header;
        int line = 1;
        for (int i = 1; i < argc; ++i) {
            out += word_row(line++, argv[i]);
        }
        const char* omp = std::getenv("OMP_THREAD_LIMIT");
        out += word_row(line++, std::string("OMP=") + (omp != nullptr ? omp : "unset"));
        out += word_row(line++, signature_of(argv[1]));
        char buffer[256];
        ssize_t total = 0;
        ssize_t n;
        while ((n = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
            total += n;
        }
        out += word_row(line++, "stdin=" + std::to_string(total));
        std::ifstream status("/proc/self/status");
        std::string nnp = "unknown";
        for (std::string entry; std::getline(status, entry);) {
            if (entry.starts_with("NoNewPrivs:")) {
                nnp = entry.substr(entry.find_last_of(" \t") + 1);
            }
        }
        out += word_row(line++, "nnp=" + nnp);
        const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        out += word_row(line++, std::string("bus=") + (bus != nullptr ? "set" : "unset"));
        put(STDOUT_FILENO, out);
        return 0;
    }
    if (mode == "words") {
        put(STDOUT_FILENO, std::string(header) + "1\t1\t0\t0\t0\t0\t0\t0\t100\t100\t-1\t\n" +
                               "5\t1\t1\t1\t2\t1\t10\t50\t30\t12\t88\tsecond\n" +
                               "5\t1\t1\t1\t1\t2\t50\t10\t30\t12\t93.25\tworld\n" +
                               "5\t1\t1\t1\t1\t1\t10\t10\t30\t12\t96\tHello\n");
        return 0;
    }
    if (mode == "flood_out") {
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 17; ++i) {
            put(STDOUT_FILENO, block);
        }
        put(STDOUT_FILENO, "x");
        return 0;
    }
    if (mode == "flood_err") {
        put(STDERR_FILENO, std::string(5000, 'e'));
        return 0;
    }
    if (mode == "fail_long") {
        std::string text = " \r\n\t";
        for (int i = 0; i < 200; ++i) {
            text += "Error\r:\x01 bad\x7f \xc2\x85page\tnow\n";
        }
        put(STDERR_FILENO, text + " \n");
        return 1;
    }
    if (mode == "fail_quiet") {
        return 1;
    }
    if (mode == "crash") {
        put(STDERR_FILENO, "about to abort\n");
        ::signal(SIGABRT, SIG_DFL);
        std::abort();
    }
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::seconds(10));
        return 0;
    }
    if (mode == "bad_utf8") {
        put(STDOUT_FILENO, std::string(header) + word_row(1, "caf\xe9"));
        return 0;
    }
    put(STDERR_FILENO, "Failed loading language '" + mode + "'\n");
    return 1;
}
