// Confines itself as the preview helper does, then tries what a hostile document's exploit would: one
// line per attempt, "refused" or "allowed", and whether reading, drawing threads and the pipe still work.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "confine.h"

namespace {

void say(const char* what, bool refused) {
    std::printf("%s %s\n", what, refused ? "refused" : "allowed");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string write_to = argv[1];
    preview::Confined confined;
    if (!preview::confine(confined)) {
        std::printf("not confined\n");
        return 1;
    }
    std::printf("landlock %d %s\n", confined.landlock_abi, confined.landlock ? "on" : "off");
    say("socket", ::socket(AF_UNIX, SOCK_STREAM, 0) < 0);
    say("inet", ::socket(AF_INET, SOCK_STREAM, 0) < 0);
    char* const args[] = {const_cast<char*>("/bin/true"), nullptr};
    say("execve", ::execve("/bin/true", args, nullptr) < 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    if (child > 0) {
        ::waitpid(child, nullptr, 0);
    }
    say("fork", child < 0);
    say("kill-parent", ::kill(::getppid(), 0) < 0);
    const int written = ::open(write_to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    say("write", written < 0);
    say("read", ::open("/etc/hostname", O_RDONLY) < 0);
    bool threaded = false;
    std::thread([&] { threaded = true; }).join();
    say("thread", !threaded);
    std::fflush(stdout);
    return 0;
}
