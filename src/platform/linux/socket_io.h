#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/socket.h>

namespace statlume::platform {

/// The outcome of one non-blocking recv or send.
struct TIoResult
{
    /// Bytes moved; 0 when the call would block, -1 on error.
    std::ptrdiff_t Count = -1;
    /// The errno of a failed call; 0 otherwise.
    int Error = 0;
    /// The peer closed its side (recv returned 0).
    bool PeerClosed = false;
};

/// One recv without waiting (EINTR retried); would-block gives Count -1 with Error 0.
TIoResult ReceiveOnce(int fd, std::uint8_t* bytes, std::size_t count);

/// One send without waiting or SIGPIPE: what the kernel does not take now is lost.
TIoResult SendOnce(int fd, const void* bytes, std::size_t count);

/// Reads and drops what is waiting, so a readable event without a reader does not spin.
void Drain(int fd);

/// Keepalive (60 s idle, 10 s apart, 3 probes) and a small send buffer for a served
/// connection, so vanished peers are found and a peer that does not read costs little.
void TuneServedConnection(int fd);

/// True when the kernel holds none of this connection's sent bytes (SIOCOUTQ is 0).
bool SendQueueEmpty(int fd);

/// The peer as 16 bytes, IPv4 as ::ffff:a.b.c.d.
std::array<std::uint8_t, 16> MappedAddressOf(const sockaddr_storage& peer);

/// "192.0.2.1:5000" or "[2001:db8::1]:5000"; IPv4 peers of a dual-stack socket show as IPv4.
std::string PeerTextOf(const sockaddr_storage& peer);

/// PeerTextOf the connected descriptor's peer; "?" when unknown.
std::string PeerTextOfDescriptor(int fd);

/// "[::1]" names the address "::1"; look-ups and binds want it without the brackets.
std::string StripBrackets(const std::string& host);

} // namespace statlume::platform
