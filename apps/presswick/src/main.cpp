// Presswick's entry: fill the launch descriptor and hand the process to the toolkit.
#include "exit_cleanup.h"
#include "kora_ui/launch.h"
#include "launch.h"
#include "memory.h"
#include "translations.h"

int main(int argc, char** argv) {
    presswick::map_large_buffers_alone();
    presswick::remove_temporary_files_at_exit();
    presswick::start_translations();
    const auto descriptor = presswick::launch::make_launch_descriptor();
    return kora_ui::launch::run_or_exit(descriptor, argc, argv);
}
