// The built-in sample data set, and the states the named surfaces open on.
#pragma once

#include <memory>

#include "surface/presswick.h"

namespace presswick::sample {

// The root state for a surface number 0..12 (as the surface table numbers them): sample data, no
// snapshot kept, no refresh started.
[[nodiscard]] std::unique_ptr<Presswick> new_surface_state(int surface_number);

}  // namespace presswick::sample
