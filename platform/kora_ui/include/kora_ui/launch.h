// How an application hands itself to the toolkit: the launch descriptor and run_or_exit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kora_ui/widget.h"

namespace kora_ui {

namespace persist {
// A small per-application key-value store kept by the toolkit.
class Store {
  public:
    virtual ~Store() = default;
    [[nodiscard]] virtual std::optional<std::string> get(const std::string& key) const = 0;
    virtual bool set(const std::string& key, const std::string& value) = 0;
};
using Opener = std::unique_ptr<Store> (*)(const std::string& application_id);
// The stock opener: a JSON file per application under $XDG_STATE_HOME (or ~/.local/state)/kora.
[[nodiscard]] std::unique_ptr<Store> open(const std::string& application_id);
}  // namespace persist

namespace launch {

struct SurfaceRequest {
    std::optional<std::string> surface;
};

using WindowSize = std::pair<std::uint32_t, std::uint32_t>;
using Hook = std::function<void()>;

struct LaunchDescriptor {
    std::string application_id;                                    // 1
    std::vector<std::string> document_types;                       // 2
    std::vector<std::string> url_schemes;                          // 3
    std::vector<std::string> keywords;                             // 4
    std::vector<std::string> categories;                           // 5
    std::vector<std::string> surfaces;                             // 6
    std::optional<Hook> before_window;                             // 7
    std::optional<Hook> after_window;                              // 7
    std::function<WidgetPtr()> default_root;                       // 8
    std::optional<Hook> on_activate;                               // 9
    std::function<WidgetPtr(const SurfaceRequest&)> surface_root;  // 10
    std::optional<Hook> on_open_files;                             // 11
    std::optional<Hook> on_open_url;                               // 11
    std::optional<Hook> on_close;                                  // 11
    std::function<WindowSize(const SurfaceRequest&)> window_size;  // 12
    std::function<std::uint32_t()> instance_limit;                 // 13
    persist::Opener persist_open = nullptr;                        // 14
    std::uint32_t flags = 0;                                       // 15: four one-byte switches
};

// Takes over the process: reads the toolkit's own command line (--surface NAME, --screenshot FILE),
// opens the window and runs the event loop. Returns the process exit status.
int run_or_exit(const LaunchDescriptor& descriptor, int argc, char** argv);

}  // namespace launch
}  // namespace kora_ui
