// Where an answer made on the GUI thread (a file pick, a dialog) meets the thread that waits for it.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kora_ui::qt {

// What a question gets when its window went away before it was answered.
inline constexpr const char* kWindowGone = "the window is gone";

// The first answer counts.
template <class T>
class AwaitedAnswer {
  public:
    void give(T answer) {
        std::lock_guard lock(m_mutex);
        if (!m_answer) {
            m_answer = std::move(answer);
            m_given.notify_all();
        }
    }
    T wait() {
        std::unique_lock lock(m_mutex);
        m_given.wait(lock, [this] { return m_answer.has_value(); });
        return std::move(*m_answer);
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_given;
    std::optional<T> m_answer;
};

// A share in an awaited answer, carried by whatever on the GUI thread may give it: the queued call that
// starts the question and what that call opens. When the last share goes away unanswered (the window
// closed first, or the queued call never ran) it gives `if_dropped`, so the waiting thread is never left
// waiting.
template <class T>
class AnswerShare {
  public:
    AnswerShare(std::shared_ptr<AwaitedAnswer<T>> answer, T if_dropped)
        : m_guard(std::make_shared<Guard>(std::move(answer), std::move(if_dropped))) {}
    void give(T answer) const { m_guard->answer->give(std::move(answer)); }

  private:
    struct Guard {
        Guard(std::shared_ptr<AwaitedAnswer<T>> answer, T if_dropped)
            : answer(std::move(answer)), if_dropped(std::move(if_dropped)) {}
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard() { answer->give(std::move(if_dropped)); }
        std::shared_ptr<AwaitedAnswer<T>> answer;
        T if_dropped;
    };
    std::shared_ptr<Guard> m_guard;
};

}  // namespace kora_ui::qt
