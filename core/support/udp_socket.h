#pragma once

// Thin UDP socket layer: POSIX sockets, Winsock under _WIN32. Addresses are
// IPv4 socket addresses; 32-bit addresses passed alone are in network order
// unless a name says otherwise.

#include <cstddef>
#include <cstdint>

#include "support/ipv4.h"  // ParseIPv4 / FormatIPv4 for socket addresses

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace quillane {

#ifdef _WIN32
using SocketHandle = SOCKET;
inline const SocketHandle kInvalidSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
#endif

// Result of SocketReceiveFrom for a datagram larger than the buffer (consumed).
inline constexpr int kDatagramTooLong = -2;

bool SocketStartup();  // WSAStartup 2.2 on Windows; nothing elsewhere
void SocketCleanup();  // its counterpart

SocketHandle UdpSocketCreate();
int SocketClose(SocketHandle socket);

bool SocketBind(SocketHandle socket, uint32_t address, uint16_t port);
uint16_t SocketLocalPort(SocketHandle socket);  // host order; 0 when unknown
bool SocketConnect(SocketHandle socket, const sockaddr_in& peer);
bool SocketSetNonBlocking(SocketHandle socket);
bool SocketSetIntOption(SocketHandle socket, int level, int name, int value);
bool SocketSetBroadcast(SocketHandle socket, bool on);
bool SocketSetReuseAddress(SocketHandle socket, bool on);
// Joins `group` on the interface `interfaceAddress` (both network order).
bool SocketJoinGroup(SocketHandle socket, uint32_t group, uint32_t interfaceAddress);
// Chooses the interface multicast datagrams leave by (network order).
bool SocketSetMulticastInterface(SocketHandle socket, uint32_t interfaceAddress);

int SocketSendTo(SocketHandle socket, const void* data, size_t length, const sockaddr_in& to);
int SocketSend(SocketHandle socket, const void* data, size_t length);  // connected sockets

// Receives one datagram: its length (0 for an empty one), -1 on error or when
// nothing is waiting, kDatagramTooLong when it did not fit (it is discarded,
// never delivered cut). `from` may be null.
int SocketReceiveFrom(SocketHandle socket, void* buffer, size_t capacity, sockaddr_in* from);

// The sender of the next datagram, which stays waiting; false when none waits.
bool SocketPeekSender(SocketHandle socket, sockaddr_in& from);

// Waits until the socket is readable: 1 readable, 0 time-out, -1 error.
int SocketWaitReadable(SocketHandle socket, int timeoutMs);

// Why a UDP port cannot be bound on any address right now: a trial socket is
// bound and closed again. Lets a program that found a port taken say why.
enum class BindFailure { None, InUse, NotPermitted, Other };
BindFailure ProbeUdpBind(uint16_t port);

sockaddr_in MakeAddress(uint32_t address, uint16_t port);  // port in host order

}  // namespace quillane
