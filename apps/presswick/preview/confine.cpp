#include "confine.h"

#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace preview {

namespace {

// Rights of later Landlock ABIs than the system's header knows.
constexpr std::uint64_t kFsTruncate = 1ULL << 14;        // ABI 3
constexpr std::uint64_t kFsIoctlDev = 1ULL << 15;        // ABI 5
constexpr std::uint64_t kNetBindTcp = 1ULL << 0;         // ABI 4
constexpr std::uint64_t kNetConnectTcp = 1ULL << 1;      // ABI 4
constexpr std::uint64_t kScopeAbstractUnix = 1ULL << 0;  // ABI 6
constexpr std::uint64_t kScopeSignal = 1ULL << 1;        // ABI 6

// The ruleset attribute as ABI 6 has it; older kernels are given the part they know.
struct RulesetAttr {
    std::uint64_t handled_access_fs;
    std::uint64_t handled_access_net;
    std::uint64_t scoped;
};

// A domain without a single rule: every handled right is refused everywhere. Reading stays unhandled.
bool restrict_files(Confined& confined) {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi <= 0) {
        return false;
    }
    confined.landlock_abi = static_cast<int>(abi);
    RulesetAttr attr{
        LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
            LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR |
            LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
            LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM,
        0, 0};
    std::size_t size = sizeof attr.handled_access_fs;
    if (abi >= 2) {
        attr.handled_access_fs |= LANDLOCK_ACCESS_FS_REFER;
    }
    if (abi >= 3) {
        attr.handled_access_fs |= kFsTruncate;
    }
    if (abi >= 4) {
        attr.handled_access_net = kNetBindTcp | kNetConnectTcp;
        size = offsetof(RulesetAttr, scoped);
    }
    if (abi >= 5) {
        attr.handled_access_fs |= kFsIoctlDev;
    }
    if (abi >= 6) {
        attr.scoped = kScopeAbstractUnix | kScopeSignal;
        size = sizeof attr;
    }
    const long ruleset = ::syscall(SYS_landlock_create_ruleset, &attr, size, 0);
    if (ruleset < 0) {
        return false;
    }
    const bool restricted = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(static_cast<int>(ruleset));
    return restricted;
}

// Closes the libseccomp context on every path.
class Filter {
  public:
    Filter() : m_context(seccomp_init(SCMP_ACT_ALLOW)) {}
    ~Filter() {
        if (m_context != nullptr) {
            seccomp_release(m_context);
        }
    }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;
    [[nodiscard]] scmp_filter_ctx get() const { return m_context; }

  private:
    scmp_filter_ctx m_context;
};

// Renderers read files, map memory, start threads and write to their pipes; none of them needs any of
// these, which are what an exploit would reach for.
constexpr std::array kRefused{
    SCMP_SYS(socket),
    SCMP_SYS(socketpair),
    SCMP_SYS(connect),
    SCMP_SYS(bind),
    SCMP_SYS(listen),
    SCMP_SYS(accept),
    SCMP_SYS(accept4),
    SCMP_SYS(execve),
    SCMP_SYS(execveat),
    SCMP_SYS(fork),
    SCMP_SYS(vfork),
    SCMP_SYS(ptrace),
    SCMP_SYS(process_vm_readv),
    SCMP_SYS(process_vm_writev),
    SCMP_SYS(pidfd_open),
    SCMP_SYS(pidfd_getfd),
    SCMP_SYS(mount),
    SCMP_SYS(umount2),
    SCMP_SYS(pivot_root),
    SCMP_SYS(chroot),
    SCMP_SYS(unshare),
    SCMP_SYS(setns),
    SCMP_SYS(bpf),
    SCMP_SYS(perf_event_open),
    SCMP_SYS(userfaultfd),
    SCMP_SYS(keyctl),
    SCMP_SYS(add_key),
    SCMP_SYS(request_key),
    SCMP_SYS(init_module),
    SCMP_SYS(finit_module),
    SCMP_SYS(delete_module),
    SCMP_SYS(kexec_load),
    SCMP_SYS(kexec_file_load),
    SCMP_SYS(reboot),
    SCMP_SYS(swapon),
    SCMP_SYS(swapoff),
    SCMP_SYS(io_uring_setup),
    SCMP_SYS(io_uring_enter),
    SCMP_SYS(io_uring_register),
    SCMP_SYS(open_by_handle_at),
    SCMP_SYS(name_to_handle_at),
    SCMP_SYS(mknod),
    SCMP_SYS(mknodat),
    SCMP_SYS(acct),
    SCMP_SYS(syslog),
    SCMP_SYS(personality),
    SCMP_SYS(setuid),
    SCMP_SYS(setgid),
    SCMP_SYS(setreuid),
    SCMP_SYS(setregid),
    SCMP_SYS(setresuid),
    SCMP_SYS(setresgid),
    SCMP_SYS(pidfd_send_signal),
    SCMP_SYS(rt_sigqueueinfo),
};

bool filter_calls() {
    Filter filter;
    if (filter.get() == nullptr) {
        return false;
    }
    const auto refuse = SCMP_ACT_ERRNO(EPERM);
    for (const int call : kRefused) {
#if defined(__SANITIZE_ADDRESS__)
        // The leak checker of test builds stops the world from a traced task of its own.
        if (call == SCMP_SYS(ptrace)) {
            continue;
        }
#endif
        if (seccomp_rule_add(filter.get(), refuse, call, 0) != 0) {
            return false;
        }
    }
#if !defined(__SANITIZE_ADDRESS__)
    // clone only for threads: without CLONE_THREAD it would be a new process.
    if (seccomp_rule_add(filter.get(), refuse, SCMP_SYS(clone), 1,
                         SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)) != 0) {
        return false;
    }
#endif
    // clone3 passes its flags in memory a filter cannot read: "not here" makes the C library use clone.
    if (seccomp_rule_add(filter.get(), SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) != 0) {
        return false;
    }
    // Signals only to ourselves (the sanitizers of test builds raise their own).
    const auto self = static_cast<scmp_datum_t>(::getpid());
    if (seccomp_rule_add(filter.get(), refuse, SCMP_SYS(kill), 1, SCMP_A0(SCMP_CMP_NE, self)) != 0 ||
        seccomp_rule_add(filter.get(), refuse, SCMP_SYS(tgkill), 1, SCMP_A0(SCMP_CMP_NE, self)) != 0) {
        return false;
    }
    return seccomp_load(filter.get()) == 0;
}

}  // namespace

bool confine(Confined& confined) {
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return false;
    }
    confined.landlock = restrict_files(confined);
    return filter_calls();
}

}  // namespace preview
