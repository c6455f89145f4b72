#include "exit_cleanup.h"

#include <csignal>
#include <cstdlib>

#include "ocr/temp_png.h"
#include "scan/print_copy.h"

namespace presswick {

namespace {

void remove_and_end(int signal) {
    ocr::remove_live_temp_files();
    scan::remove_live_print_copies();
    // SA_RESETHAND has restored the default: the raised signal ends the program once this returns.
    (void)std::raise(signal);
}

void remove_at_exit() {
    ocr::remove_live_temp_files();
    scan::remove_live_print_copies();
}

}  // namespace

void remove_temporary_files_at_exit() {
    for (const int signal : {SIGTERM, SIGINT}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction handler {};
        handler.sa_handler = remove_and_end;
        handler.sa_flags = SA_RESETHAND;
        sigemptyset(&handler.sa_mask);
        (void)::sigaction(signal, &handler, nullptr);
    }
    (void)std::atexit(remove_at_exit);
}

}  // namespace presswick
