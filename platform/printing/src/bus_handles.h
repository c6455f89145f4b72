// RAII owners for the sd-bus objects of the system bus calls: the print event watch and the polkit
// mechanism.
#pragma once

#include <systemd/sd-bus.h>

#include "base/owned.h"

namespace os_actions::printing::cups {

using Bus = base::Owned<sd_bus, sd_bus_flush_close_unref>;
using Message = base::Owned<sd_bus_message, sd_bus_message_unref>;

// An error filled in by a call, freed on every path.
struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }
};

}  // namespace os_actions::printing::cups
