// A child for the runner's tests. The first argument picks what it does:
//   stdout N | stderr N      write N bytes to that stream, exit 0
//   both N M                 write M bytes to stderr and N to stdout, interleaved, exit 0
//   sleep MS                 sleep, exit 0
//   quiet-sleep MS           close stdout and stderr, then sleep
//   fail-long                write a long diagnostic with control characters to stderr, exit 1
//   exit N                   exit with status N
//   signal                   end by SIGTERM
//   env NAME                 print the value of NAME, or "(unset)"
//   args ...                 print each further argument on a line of its own
//   fds                      print the numbers of the open descriptors, one a line
//   stdin                    print how many bytes standard input delivered
//   cwd                      print the working directory
//   allocate MIB             touch MIB mebibytes of fresh memory, print "ok"; exit 3 when refused
//   status NAME              print the line of /proc/self/status that begins with NAME
//   spin                     use the processor until something ends it
//   pid-sleep FILE MS        write the process id to FILE, then sleep
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

void write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) {
            std::_Exit(3);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void write_bytes(int fd, std::size_t count) {
    const std::vector<char> block(8192, 'x');
    while (count > 0) {
        const std::size_t n = std::min(count, block.size());
        write_all(fd, block.data(), n);
        count -= n;
    }
}

void print(const std::string& text) {
    write_all(STDOUT_FILENO, text.data(), text.size());
}

std::size_t number(const char* text) {
    return static_cast<std::size_t>(std::strtoull(text, nullptr, 10));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::string mode = argv[1];
    if ((mode == "stdout" || mode == "stderr") && argc == 3) {
        write_bytes(mode == "stdout" ? STDOUT_FILENO : STDERR_FILENO, number(argv[2]));
        return 0;
    }
    if (mode == "both" && argc == 4) {
        std::size_t out = number(argv[2]);
        std::size_t err = number(argv[3]);
        while (out > 0 || err > 0) {
            // Stderr first and in large pieces: a parent that drained only stdout would wait forever.
            const std::size_t e = std::min<std::size_t>(err, 100'000);
            write_bytes(STDERR_FILENO, e);
            err -= e;
            const std::size_t o = std::min<std::size_t>(out, 100'000);
            write_bytes(STDOUT_FILENO, o);
            out -= o;
        }
        return 0;
    }
    if ((mode == "sleep" || mode == "quiet-sleep") && argc == 3) {
        if (mode == "quiet-sleep") {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(number(argv[2])));
        return 0;
    }
    if (mode == "status" && argc == 3) {
        FILE* status = std::fopen("/proc/self/status", "r");
        char line[512];
        while (status && std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, argv[2], std::strlen(argv[2])) == 0) {
                print(line);
            }
        }
        return status ? 0 : 1;
    }
    if (mode == "spin") {
        volatile unsigned long turns = 0;
        for (;;) {
            turns = turns + 1;
        }
    }
    if (mode == "pid-sleep" && argc == 4) {
        FILE* file = std::fopen(argv[2], "w");
        if (!file || std::fprintf(file, "%d", static_cast<int>(::getpid())) < 0 || std::fclose(file) != 0) {
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(number(argv[3])));
        return 0;
    }
    if (mode == "fail-long") {
        std::string text = "  \r\n";
        for (int i = 0; i < 300; ++i) {
            text += "line\r with\x01 control\x7f \xc2\x85 bytes\t\n";
        }
        text += "\xff\xfe end \n";
        write_all(STDERR_FILENO, text.data(), text.size());
        return 1;
    }
    if (mode == "exit" && argc == 3) {
        return static_cast<int>(number(argv[2]));
    }
    if (mode == "signal") {
        ::raise(SIGTERM);
        return 0;
    }
    if (mode == "env" && argc == 3) {
        const char* value = std::getenv(argv[2]);
        print(value != nullptr ? value : "(unset)");
        return 0;
    }
    if (mode == "args") {
        for (int i = 2; i < argc; ++i) {
            print(std::string(argv[i]) + "\n");
        }
        return 0;
    }
    if (mode == "fds") {
        DIR* dir = ::opendir("/proc/self/fd");
        if (dir == nullptr) {
            return 4;
        }
        std::string text;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && std::stoi(name) != ::dirfd(dir)) {
                text += name + "\n";
            }
        }
        ::closedir(dir);
        print(text);
        return 0;
    }
    if (mode == "stdin") {
        std::size_t total = 0;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
            total += static_cast<std::size_t>(n);
        }
        print(std::to_string(total) + (n < 0 ? " error" : ""));
        return 0;
    }
    if (mode == "cwd") {
        char buffer[4096];
        print(::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "(unknown)");
        return 0;
    }
    if (mode == "allocate" && argc == 3) {
        const std::size_t bytes = number(argv[2]) * 1024 * 1024;
        auto* memory = static_cast<volatile char*>(std::malloc(bytes));
        if (memory == nullptr) {
            return 3;
        }
        for (std::size_t i = 0; i < bytes; i += 4096) {
            memory[i] = 1;
        }
        print("ok");
        return 0;
    }
    return 2;
}
