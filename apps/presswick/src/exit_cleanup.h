// Nothing temporary outlives the program: recognitions run on detached workers and saves write beside
// their target, and their files are removed by their owners only if they finish, so the end of the
// program removes what is left.
#pragma once

namespace presswick {

// At a normal end (the window closed) and on SIGTERM, SIGINT, SIGHUP or SIGQUIT, which then end the
// program as they would have. A signal whose handling someone already changed is left alone.
void remove_temporary_files_at_exit();

}  // namespace presswick
