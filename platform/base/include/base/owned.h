// An owner for an object of a C library: freed with that library's own function when the owner goes.
#pragma once

#include <memory>

namespace base {

template <auto Free>
struct FreeWith {
    template <class T>
    void operator()(T* object) const {
        Free(object);
    }
};

// Owned<http_t, httpClose>: a unique_ptr that calls httpClose.
template <class T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

}  // namespace base
