// One owned file descriptor, closed on destruction.
#pragma once

namespace base {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool is_open() const { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    [[nodiscard]] int release();
    // Closes the descriptor held, if any, and holds `fd` instead.
    void reset(int fd = -1);
    // Closes it now; false when close reports an error, which for a written file can be the write's own.
    [[nodiscard]] bool close();

  private:
    int m_fd = -1;
};

}  // namespace base
