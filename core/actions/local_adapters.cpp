#include "mainwindow/station.h"

namespace quillane {

// Placeholder until the adapter query lands: no local address is known.
void Station::RefreshLocalAddresses() { SetLocalAddresses({}); }

}  // namespace quillane
