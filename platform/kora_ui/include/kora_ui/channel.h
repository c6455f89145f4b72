// Channel<T>: unbounded, many senders, one receiver. Sending never blocks; a send to a dropped
// receiver fails quietly. The first value into an empty channel wakes the toolkit's event loop.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kora_ui {

namespace detail {
void notify_channel_wake();
}

// The host installs what wakes its event loop; empty by default (tests poll).
void set_channel_wake_hook(std::function<void()> hook);

enum class RecvStatus : std::uint8_t { value, empty, disconnected };

template <class T>
struct TryRecv {
    RecvStatus status = RecvStatus::empty;
    std::optional<T> value;
};

template <class T>
class Sender;
template <class T>
class Receiver;

namespace detail {
template <class T>
struct ChannelState {
    std::mutex mutex;
    std::deque<T> queue;
    std::size_t senders = 0;
    bool receiver_alive = true;
};
}  // namespace detail

template <class T>
class Sender {
  public:
    explicit Sender(std::shared_ptr<detail::ChannelState<T>> state) : m_state(std::move(state)) {
        std::lock_guard lock(m_state->mutex);
        ++m_state->senders;
    }
    Sender(const Sender& other) : Sender(other.m_state) {}
    Sender(Sender&& other) noexcept : m_state(std::move(other.m_state)) {}
    Sender& operator=(Sender other) noexcept {
        std::swap(m_state, other.m_state);
        return *this;
    }
    ~Sender() { release(); }

    // False when the receiver is gone; the value is dropped then.
    bool send(T value) const {
        bool was_empty = false;
        {
            std::lock_guard lock(m_state->mutex);
            if (!m_state->receiver_alive) {
                return false;
            }
            was_empty = m_state->queue.empty();
            m_state->queue.push_back(std::move(value));
        }
        if (was_empty) {
            detail::notify_channel_wake();
        }
        return true;
    }

    // False once the receiver is gone: a worker may stop work whose result nobody will take.
    [[nodiscard]] bool receiver_alive() const {
        std::lock_guard lock(m_state->mutex);
        return m_state->receiver_alive;
    }

  private:
    void release() {
        if (!m_state) {
            return;
        }
        std::lock_guard lock(m_state->mutex);
        --m_state->senders;
    }
    std::shared_ptr<detail::ChannelState<T>> m_state;
};

template <class T>
class Receiver {
  public:
    explicit Receiver(std::shared_ptr<detail::ChannelState<T>> state) : m_state(std::move(state)) {}
    Receiver(Receiver&&) noexcept = default;
    Receiver& operator=(Receiver&& other) noexcept {
        close();
        m_state = std::move(other.m_state);
        return *this;
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;
    ~Receiver() { close(); }

    [[nodiscard]] TryRecv<T> try_recv() {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->queue.empty()) {
            // Emplaced: GCC 12 takes a nested optional moved in by aggregate initialisation for
            // uninitialized.
            TryRecv<T> got{RecvStatus::value, std::nullopt};
            got.value.emplace(std::move(m_state->queue.front()));
            m_state->queue.pop_front();
            return got;
        }
        return {m_state->senders == 0 ? RecvStatus::disconnected : RecvStatus::empty, std::nullopt};
    }

  private:
    void close() {
        if (!m_state) {
            return;
        }
        std::lock_guard lock(m_state->mutex);
        m_state->receiver_alive = false;
        m_state->queue.clear();
    }
    std::shared_ptr<detail::ChannelState<T>> m_state;
};

template <class T>
std::pair<Sender<T>, Receiver<T>> channel() {
    auto state = std::make_shared<detail::ChannelState<T>>();
    return {Sender<T>(state), Receiver<T>(state)};
}

}  // namespace kora_ui
