// Presswick's entry, as a story: keep memory and temporary files in hand, describe the program to the
// toolkit, and hand the process over to it.
#include "exit_cleanup.h"
#include "kora_ui/launch.h"
#include "launch.h"
#include "memory.h"
#include "translations.h"

int main(int argc, char** argv) {
    presswick::map_large_buffers_alone();         // before any thread runs
    presswick::remove_temporary_files_at_exit();  // whatever ends the program
    presswick::start_translations();              // the desktop's language, before any text is made
    const auto program = presswick::launch::make_launch_descriptor();
    return kora_ui::launch::run_or_exit(program, argc, argv);
}
