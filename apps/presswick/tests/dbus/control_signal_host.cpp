// A window-less host of a small tree on the session bus, for the ControlInvoked signal: its buttons
// invoke their own control ids (as the first-run and loading views do), which the live dashboard lacks.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "kora_ui/widgets.h"
#include "qt/actions_bus.h"

namespace {

class SelfInvokingRoot final : public kora_ui::Widget {
  public:
    SelfInvokingRoot()
        : m_content(kora_ui::boxed(
              kora_ui::Column()
                  .push(kora_ui::Button("presswick.add", "Add printer").on_action(kora_ui::InvokeControlId{}))
                  .push(kora_ui::Button("presswick.help", "Connection help")
                            .on_action(kora_ui::InvokeControlId{})))) {}
    std::string_view type_name() const override { return "SelfInvokingRoot"; }
    std::span<const kora_ui::WidgetPtr> children() const override { return {&m_content, 1}; }

  private:
    kora_ui::WidgetPtr m_content;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SelfInvokingRoot root;
    kora_ui::qt::ActionsBus* bus_ptr = nullptr;
    auto bus = kora_ui::qt::start_actions_bus(root, "org.kora.presswick", [&bus_ptr] {
        if (bus_ptr) {
            bus_ptr->drain_control_invocations();
        }
    });
    if (!bus) {
        return 1;
    }
    bus_ptr = bus.get();
    std::printf("serving %s\n", bus->bus_name().c_str());
    std::fflush(stdout);
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
