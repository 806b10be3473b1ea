#pragma once

namespace quillane {

class StationState;
struct ST_CMD_RUN_tag;

// Applies one queued reply to the device table, on the loop thread: a search
// reply lists a device not yet listed (unless its type is filtered out), a
// change result records the outcome and, in its full form, the settings now in
// force. Anything that is not a reply is ignored. The caller frees the entry.
void HandleDeviceReply(StationState& station, const ST_CMD_RUN_tag& entry);

}  // namespace quillane
