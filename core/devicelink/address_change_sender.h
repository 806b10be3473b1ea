#pragma once

namespace quillane {

class Station;

// Sends every chosen device its address-change command in one batch; called
// by the command loop for each address-change request.
void SendAddressChanges(Station& station);

}  // namespace quillane
