#include "devicelink/address_change_sender.h"

#include "mainwindow/station.h"

namespace quillane {

// Placeholder until address-change sending lands: the loop still finishes the
// request (flags cleared, answer check armed), so nothing is left hanging.
void SendAddressChanges(Station&) {}

}  // namespace quillane
