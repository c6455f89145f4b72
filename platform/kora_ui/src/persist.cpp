#include <cstdlib>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "base/replace_file.h"
#include "kora_ui/launch.h"

namespace kora_ui::persist {

namespace {
std::filesystem::path state_directory() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) {
        return std::filesystem::path(state) / "kora";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::filesystem::path(home) / ".local" / "state" / "kora";
    }
    return {};
}

class JsonFileStore final : public Store {
  public:
    explicit JsonFileStore(std::filesystem::path file) : m_file(std::move(file)) {
        std::ifstream in(m_file);
        if (in) {
            auto parsed = nlohmann::json::parse(in, nullptr, false);
            if (parsed.is_object()) {
                for (auto& [key, value] : parsed.items()) {
                    if (value.is_string()) {
                        m_values[key] = value.get<std::string>();
                    }
                }
            }
        }
    }
    std::optional<std::string> get(const std::string& key) const override {
        const auto it = m_values.find(key);
        return it == m_values.end() ? std::nullopt : std::optional(it->second);
    }
    bool set(const std::string& key, const std::string& value) override {
        m_values[key] = value;
        std::error_code error;
        std::filesystem::create_directories(m_file.parent_path(), error);
        return base::replace_file(m_file, nlohmann::json(m_values).dump(2)).has_value();
    }

  private:
    std::filesystem::path m_file;
    std::map<std::string, std::string> m_values;
};
}  // namespace

std::unique_ptr<Store> open(const std::string& application_id) {
    const auto directory = state_directory();
    if (directory.empty() || application_id.empty() || application_id.find('/') != std::string::npos) {
        return nullptr;
    }
    return std::make_unique<JsonFileStore>(directory / (application_id + ".json"));
}

}  // namespace kora_ui::persist
