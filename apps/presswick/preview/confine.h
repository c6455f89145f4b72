// The preview helper's own confinement, set up before it reads a byte of the document: it may read
// files, draw and write to the pipes it was given, and nothing else.
#pragma once

namespace preview {

// What the confinement came to: whether a file-system domain took hold, and under which Landlock ABI
// (0 when the kernel has none).
struct Confined {
    int landlock_abi = 0;
    bool landlock = false;
};

// No new privileges; Landlock (where the kernel has it) refusing every write, file creation, removal,
// execution, TCP connection and signal outside the helper; then a seccomp filter refusing sockets,
// program execution, new processes (threads stay allowed), tracing and the kernel's administrative
// calls. False when the seccomp filter could not be installed: the helper then refuses to run.
[[nodiscard]] bool confine(Confined& confined);

}  // namespace preview
