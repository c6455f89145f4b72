// The credentials the user gave for print servers this session: in this process's memory only, never
// written anywhere, kept out of core dumps and swap, and overwritten before they are replaced or forgotten.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace os_actions::printing::detail {

// A text in pages of its own: excluded from core dumps (MADV_DONTDUMP), locked against swapping where
// the system allows it (mlock), and overwritten when it is dropped.
class SecretText {
  public:
    SecretText() = default;
    explicit SecretText(std::string_view text);
    SecretText(const SecretText& other) : SecretText(other.view()) {}
    SecretText& operator=(const SecretText& other);
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;
    ~SecretText() { clear(); }

    [[nodiscard]] std::string_view view() const { return {m_data ? m_data : "", m_size}; }
    // NUL-terminated, for C interfaces.
    [[nodiscard]] const char* c_str() const { return m_data ? m_data : ""; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    void clear();
    // Whether the pages were locked (an unprivileged limit may refuse it).
    [[nodiscard]] bool locked() const { return m_locked; }
    // Whether the pages are marked to stay out of core dumps.
    [[nodiscard]] bool kept_from_dumps() const { return m_dontdump; }

  private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0;
    bool m_locked = false;
    bool m_dontdump = false;
};

struct ServerCredentials {
    std::string user;
    SecretText password;
};

// Overwrites the text's bytes, then empties it.
void wipe(std::string& text);

// The credentials given for `server` (a copy; the caller wipes the user name), if any.
[[nodiscard]] std::optional<ServerCredentials> stored_credentials(const std::string& server);
// Forgets (overwriting) the credentials of `server`: it refused them.
void forget_credentials(const std::string& server);

}  // namespace os_actions::printing::detail
