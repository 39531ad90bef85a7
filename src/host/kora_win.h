#pragma once

#include "rnt/ikorawin.h"

namespace rnt::host {

// The add-on's entry class as the host sees it: ActivateDB stores the open
// company in the thread's company context, Start connects, runs one rent run
// and reconnects, with the yields, pointer changes and pause that the host's
// screen expects.
class KoraWin : public IKoraWin {
 public:
  void ActivateDB(Collection& p_Data) override;
  void Start() override;
  const RunReport& LastRunReport() const override;
};

}  // namespace rnt::host
