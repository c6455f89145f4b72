// Stand-in until the sample data set lands: every surface opens on the first-run view.
#include "sample.h"

#include "views/views.h"

namespace presswick::sample {

std::unique_ptr<Presswick> new_surface_state(int) {
    return std::make_unique<Presswick>(views::build_first_run_view());
}

}  // namespace presswick::sample
