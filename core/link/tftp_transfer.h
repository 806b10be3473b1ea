#pragma once

// One TFTP transfer: takes one request from the listening socket, checks it,
// serves the file from a port of its own with two ready-made data packets, and
// reports progress and its end through the server's callbacks.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "link/tftp_packets.h"
#include "support/udp_socket.h"

namespace quillane {

class TftpServer;

// The state of one transfer, local to its thread.
struct TftpRequest {
    int64_t expiryMs = 0;  // when the packet last sent is due again (steady clock)
    SocketHandle transferSocket = kInvalidSocket;
    SocketHandle listenSocket = kInvalidSocket;
    uint8_t attempts = 0;    // expiries of the current packet
    std::string path;        // the name as requested, local separators
    std::string servedFile;  // the file the name was checked against: the one opened
    std::FILE* file = nullptr;
    bool textMode = false;    // netascii: the C library's text reading
    uint64_t unread = 0;      // bytes still to be sent: the file's size at open, never more
    std::string readProblem;  // why the last read failed: the error packet's text
    TftpRequestFields fields;
    uint32_t fileSize = 0;
    uint32_t acknowledged = 0;  // accepted acknowledgements (+1 without options)
    std::vector<uint8_t> optionAnswer;
    std::vector<uint8_t> bufferA, bufferB;  // data packets: opcode, block, data
    size_t lengthA = 0, lengthB = 0;        // data bytes in each
    sockaddr_in client{};
    bool clientCounted = false;  // in the server's transfers per client
    uint16_t errorCode = 0;
    std::string message;            // error packet text and log message
    std::vector<uint8_t> received;  // the last datagram
    uint16_t blockSize = kTftpBlockSize;
    uint16_t timeout = 3;        // seconds
    uint16_t expectedBlock = 0;  // the data block outstanding
};

}  // namespace quillane
