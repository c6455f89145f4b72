// The scanner list as the service keeps it: renewed by a helper run in the background, answered at once
// from the last one that finished. Enumeration with network backends takes seconds, and a stuck backend
// takes its whole deadline; neither may delay a device refresh.
#pragma once

#include <chrono>
#include <memory>

#include "scan_helper_client.h"

namespace os_actions::printing::sane {

class ScannerList {
  public:
    // `first_wait`: how long after this start the first answers may wait for the first enumeration.
    ScannerList(HelperSetup setup, std::chrono::milliseconds first_wait);

    // Starts a renewal unless one runs; answers the last finished enumeration (its list or its failure).
    [[nodiscard]] Result<std::vector<Scanner>> get();
    // Starts a renewal unless one runs, without waiting.
    void renew();

  private:
    struct State;
    std::shared_ptr<State> m_state;
    HelperSetup m_setup;
};

}  // namespace os_actions::printing::sane
