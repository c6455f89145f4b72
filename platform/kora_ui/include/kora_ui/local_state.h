// View-local state cells that controls write directly and that survive rebuilds of the tree.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <shared_mutex>

namespace kora_ui {

// Decides whether the program may publish into a cell; revoked once its window is gone.
class WakeHandle {
  public:
    WakeHandle() : m_alive(std::make_shared<std::atomic<bool>>(true)) {}
    [[nodiscard]] bool authorize_publication() const { return m_alive->load(); }
    void revoke() const { m_alive->store(false); }

  private:
    std::shared_ptr<std::atomic<bool>> m_alive;
};

// The crop rectangle as fractions of the page: left, top, right, bottom. The one place that says what
// a crop may be: the editor, the host's handles and the page crop all keep to these rules.
struct CropSelection {
    static constexpr double kMinimumSpan = 0.05;  // never narrower or lower than this fraction
    // What is dragged: a corner, or the whole rectangle.
    enum class Grip : std::uint8_t { none, top_left, top_right, bottom_left, bottom_right, move };

    double left = 0.0;
    double top = 0.0;
    double right = 1.0;
    double bottom = 1.0;
    [[nodiscard]] static CropSelection whole() { return {}; }
    // Inside the page, ordered and at least kMinimumSpan wide and high.
    [[nodiscard]] CropSelection clamped() const;
    // Finite, inside the page and at least kMinimumSpan wide and high, as it is.
    [[nodiscard]] bool valid() const;
    // After moving `grip` by (dx, dy) of the page: a corner stops at the page's border and kMinimumSpan
    // short of the opposite edges; the whole rectangle keeps its size and stays inside the page.
    [[nodiscard]] CropSelection moved(Grip grip, double dx, double dy) const;
    bool operator==(const CropSelection&) const = default;
};

namespace local_state {

template <class T>
class LocalState {
  public:
    LocalState(T initial, WakeHandle wake)
        : m_cell(std::make_shared<Cell>(std::move(initial))), m_wake(std::move(wake)) {}
    explicit LocalState(T initial) : LocalState(std::move(initial), WakeHandle()) {}

    [[nodiscard]] T get() const {
        std::shared_lock lock(m_cell->mutex);
        return m_cell->value;
    }
    [[nodiscard]] std::uint64_t version() const {
        std::shared_lock lock(m_cell->mutex);
        return m_cell->version;
    }
    // The program's publication step: asks the wake handle, then stores unless the version is exhausted.
    bool publish(T value) const {
        if (!m_wake.authorize_publication()) {
            return false;
        }
        return store(std::move(value));
    }
    // What a control bound to the cell does when the user changes it.
    bool write_from_control(T value) const { return store(std::move(value)); }

    [[nodiscard]] const WakeHandle& wake() const { return m_wake; }
    // Two handles are the same cell.
    [[nodiscard]] bool same_cell(const LocalState& other) const { return m_cell == other.m_cell; }
    void set_version_for_testing(std::uint64_t version) const {
        std::unique_lock lock(m_cell->mutex);
        m_cell->version = version;
    }

  private:
    struct Cell {
        explicit Cell(T v) : value(std::move(v)) {}
        mutable std::shared_mutex mutex;
        T value;
        std::uint64_t version = 0;
    };

    bool store(T value) const {
        std::unique_lock lock(m_cell->mutex);
        if (m_cell->version == std::numeric_limits<std::uint64_t>::max()) {
            return false;
        }
        m_cell->value = std::move(value);
        ++m_cell->version;
        return true;
    }

    std::shared_ptr<Cell> m_cell;
    WakeHandle m_wake;
};

}  // namespace local_state

using local_state::LocalState;

}  // namespace kora_ui
