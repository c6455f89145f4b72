#include "exit_cleanup.h"

#include "live_files/live_files.h"

namespace presswick {

void remove_temporary_files_at_exit() {
    live_files::remove_at_exit_and_on_signals();
}

}  // namespace presswick
