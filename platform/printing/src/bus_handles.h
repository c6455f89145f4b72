// RAII owners for the sd-bus objects of the system bus calls: the print event watch and the polkit
// mechanism.
#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace os_actions::printing::cups {

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

// An error filled in by a call, freed on every path.
struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }
};

}  // namespace os_actions::printing::cups
