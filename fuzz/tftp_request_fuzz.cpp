// libFuzzer target: one TFTP request datagram through the parser, the
// request checks and option negotiation. Nothing may crash, read out of
// bounds, or accept a name other than the served file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/tftp_packets.h"

using namespace quillane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TftpRequestFields request = ParseTftpRequest(data, size);
    TftpRequestPolicy policy;
    policy.homeDirectoryLength = 20;
    policy.servedFile = "/srv/fw/unit.bin";
    std::string path;
    const auto refusal = CheckTftpRequest(request, policy, path);
    if (!refusal && request.opcode == kTftpReadRequest && !NamesServedFile(path, policy.servedFile, '/'))
        std::abort();
    if (!refusal && path != "srv/fw/unit.bin" && path != "/srv/fw/unit.bin") std::abort();
    const TftpNegotiation agreed = NegotiateOptions(request.options, 512, 12345);
    if (agreed.blockSize != 512) std::abort();
    if (agreed.timeout && (*agreed.timeout < 1 || *agreed.timeout > 255)) std::abort();
    const TftpErrorFields error = ParseTftpError(data, size);
    (void)error;
    return 0;
}
