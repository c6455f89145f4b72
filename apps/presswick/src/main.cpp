// Presswick's entry, as a story: keep memory and temporary files in hand, describe the program to the
// toolkit, and hand the process over to it.
#include "exit_cleanup.h"
#include "kora_ui/launch.h"
#include "launch.h"
#include "memory.h"

int main(int argc, char** argv) {
    presswick::map_large_buffers_alone();         // before any thread runs
    presswick::remove_temporary_files_at_exit();  // whatever ends the program
    const auto program = presswick::launch::make_launch_descriptor();
    return kora_ui::launch::run_or_exit(program, argc, argv);
}
