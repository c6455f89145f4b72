// The file picker: a request built by the program, run on a named thread by the installed backend
// (the host's portal or dialog; a scripted one in tests), answered through a pending result.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kora_ui/channel.h"

namespace kora_ui {

class FileFilter {
  public:
    explicit FileFilter(std::string name) : m_name(std::move(name)) {}
    FileFilter&& mimetype(std::string type) && {
        m_mimetypes.push_back(std::move(type));
        return std::move(*this);
    }
    [[nodiscard]] const std::string& name() const { return m_name; }
    [[nodiscard]] const std::vector<std::string>& mimetypes() const { return m_mimetypes; }
    bool operator==(const FileFilter&) const = default;

  private:
    std::string m_name;
    std::vector<std::string> m_mimetypes;
};

// What a backend answers.
struct PickOutcome {
    enum class Kind : std::uint8_t { path, cancelled, failed };
    Kind kind = Kind::cancelled;
    std::filesystem::path path;
    std::string message;
};

// What polling a pending pick gives.
struct PickPoll {
    enum class Kind : std::uint8_t { pending, path, cancelled, failed, disconnected };
    Kind kind = Kind::pending;
    std::filesystem::path path;
    std::string message;
};

// Set when the asker stops waiting for a pick; the backend running it then closes its dialog (or the
// portal's request) instead of leaving it open with nobody to read the answer.
class PickWithdrawal {
  public:
    void withdraw() { m_withdrawn.store(true, std::memory_order_release); }
    [[nodiscard]] bool withdrawn() const { return m_withdrawn.load(std::memory_order_acquire); }

  private:
    std::atomic<bool> m_withdrawn{false};
};

// Dropping a pending pick withdraws it: asking again drops the old one and starts afresh.
class PendingPick {
  public:
    PendingPick(Receiver<PickOutcome> receiver, std::shared_ptr<PickWithdrawal> withdrawal)
        : m_receiver(std::move(receiver)), m_withdrawal(std::move(withdrawal)) {}
    explicit PendingPick(Receiver<PickOutcome> receiver)
        : PendingPick(std::move(receiver), std::make_shared<PickWithdrawal>()) {}
    PendingPick(PendingPick&&) noexcept = default;
    PendingPick& operator=(PendingPick&& other) noexcept {
        if (this != &other) {
            withdraw();
            m_receiver = std::move(other.m_receiver);
            m_withdrawal = std::move(other.m_withdrawal);
        }
        return *this;
    }
    ~PendingPick() { withdraw(); }
    // Never blocks.
    [[nodiscard]] PickPoll try_take();

  private:
    void withdraw() {
        if (m_withdrawal) {
            m_withdrawal->withdraw();
        }
    }
    Receiver<PickOutcome> m_receiver;
    std::shared_ptr<PickWithdrawal> m_withdrawal;
};

class PickRequest {
  public:
    enum class Mode : std::uint8_t { open, save };

    [[nodiscard]] static PickRequest open(std::string title, std::string accept_label) {
        return PickRequest(Mode::open, std::move(title), std::move(accept_label));
    }
    [[nodiscard]] static PickRequest save(std::string title, std::string accept_label) {
        return PickRequest(Mode::save, std::move(title), std::move(accept_label));
    }
    PickRequest&& filter(FileFilter filter) && {
        m_filters.push_back(std::move(filter));
        return std::move(*this);
    }
    PickRequest&& all_files() && {
        m_all_files = true;
        return std::move(*this);
    }
    PickRequest&& suggested_name(std::string name) && {
        m_suggested_name = std::move(name);
        return std::move(*this);
    }
    PickRequest&& thread_name(std::string name) && {
        m_thread_name = std::move(name);
        return std::move(*this);
    }

    // Runs the installed backend on a thread named thread_name(). When no thread can be started the
    // pending result is disconnected at once.
    [[nodiscard]] PendingPick send() const;

    [[nodiscard]] Mode mode() const { return m_mode; }
    [[nodiscard]] const std::string& title() const { return m_title; }
    [[nodiscard]] const std::string& accept_label() const { return m_accept_label; }
    [[nodiscard]] const std::vector<FileFilter>& filters() const { return m_filters; }
    [[nodiscard]] bool includes_all_files() const { return m_all_files; }
    [[nodiscard]] const std::optional<std::string>& suggested() const { return m_suggested_name; }
    [[nodiscard]] const std::string& picker_thread_name() const { return m_thread_name; }
    // Set on the copy a backend runs: tells it when the asker no longer waits. Never null there.
    [[nodiscard]] const std::shared_ptr<const PickWithdrawal>& withdrawal() const { return m_withdrawal; }

  private:
    PickRequest(Mode mode, std::string title, std::string accept_label)
        : m_mode(mode), m_title(std::move(title)), m_accept_label(std::move(accept_label)) {}
    Mode m_mode;
    std::string m_title;
    std::string m_accept_label;
    std::vector<FileFilter> m_filters;
    bool m_all_files = false;
    std::optional<std::string> m_suggested_name;
    std::string m_thread_name = "kora-file-picker";
    std::shared_ptr<const PickWithdrawal> m_withdrawal = std::make_shared<const PickWithdrawal>();
};

// Runs one pick to its end, blocking the picker thread.
class PickerBackend {
  public:
    virtual ~PickerBackend() = default;
    [[nodiscard]] virtual PickOutcome pick(const PickRequest& request) = 0;
};

// Installs the backend for every later send(); returns the previous one. Without one, a pick fails.
std::shared_ptr<PickerBackend> set_picker_backend(std::shared_ptr<PickerBackend> backend);

}  // namespace kora_ui
