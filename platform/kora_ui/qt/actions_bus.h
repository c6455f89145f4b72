// The window's resources on the session bus (org.kora.Actions1 and org.freedesktop.Application, see
// kora_actions/bus.h), served on the UI thread through the host's Qt event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <QVariantMap>

#include "kora_actions/resource.h"
#include "kora_ui/widget.h"

namespace kora_ui::qt {

class ActionsBus {
  public:
    struct Impl;
    explicit ActionsBus(std::unique_ptr<Impl> impl);
    ActionsBus(const ActionsBus&) = delete;
    ActionsBus& operator=(const ActionsBus&) = delete;
    ~ActionsBus();

    // Offers every pending control invocation of the root as the signal ControlInvoked; the host calls
    // it after each update of the root.
    void drain_control_invocations();
    // For a host that takes the root's control invocations itself.
    void offer_control_invocation(const ControlInvocation& invocation);

    [[nodiscard]] const std::string& bus_name() const;
    [[nodiscard]] const std::string& object_path() const;

  private:
    std::unique_ptr<Impl> m_impl;
};

// What ListResources answers: the root's resources, then the control resources of the shown tree, as a
// JSON array.
[[nodiscard]] std::string resources_json(const Widget& root);

// Routes one invocation: the toolkit's control operations to the controls, everything else to the root.
kora_actions::Outcome route_invocation(Widget& root, std::uint8_t execution_kind,
                                       std::string_view operation_id, std::string_view arguments);

// Finds the action `action_id` among the actions of the root's own resources (not their children) and
// invokes it with the execution kind, operation and payload it declares; not handled when there is none.
kora_actions::Outcome invoke_declared_action(Widget& root, std::string_view action_id);

// Claims the name derived from `application_id` on the session bus and serves `root` there until the
// returned object is destroyed (before the root). After every handled invocation `after_invocation` runs
// (the host's update of the root); without one the root's update is called directly. `activate` raises
// the window (org.freedesktop.Application.Activate, and before ActivateAction). Answers nullptr, after one
// line on standard error, when there is no session bus or the name is taken: the application runs on
// without the export.
[[nodiscard]] std::unique_ptr<ActionsBus> start_actions_bus(
    Widget& root, const std::string& application_id, std::function<void()> after_invocation = {},
    std::function<void(const QVariantMap& platform_data)> activate = {});

// When another process serves `application_id` on the session bus, asks it to raise its window
// (org.freedesktop.Application.Activate, with this launch's startup notification id or activation token)
// and answers true once it has. False when no session bus or no owner is there, or the owner did not answer.
[[nodiscard]] bool raise_running_instance(const std::string& application_id);

}  // namespace kora_ui::qt
