#include "cli/asio_socket_layer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <utility>
#include <vector>

#include "platform/linux/socket_io.h"
#include "remote/idlest_connection.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace statlume {

namespace {

using platform::Drain;
using platform::MappedAddressOf;
using platform::PeerTextOf;
using platform::ReceiveOnce;
using platform::SendOnce;
using platform::StripBrackets;
using Clock = std::chrono::steady_clock;

/// Peers taken per readable event of the listening socket.
constexpr int AcceptBatch = 64;

std::error_code OsError(int value)
{
    return {value, std::system_category()};
}

platform::TUniqueFd OpenReserve()
{
    return platform::TUniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

} // namespace

class TAsioServerSocket::TConnection final : public TSocketConnection
{
public:
    TConnection(asio::ip::tcp::socket socket, std::uint64_t id, std::string peer,
                const TPeerAddress& key, TServerSocketStats& stats)
        : Socket(std::move(socket))
        , Fd(Socket.native_handle())
        , Id(id)
        , Peer(std::move(peer))
        , Key(key)
        , LastInput(Clock::now())
        , Stats(stats)
    {
    }

    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override
    {
        if (!Socket.is_open())
            return -1;
        const auto result = ReceiveOnce(Socket.native_handle(), bytes, count);
        if (result.Count > 0) {
            LastInput = Clock::now();
            Spoke = true;
        }
        if (result.PeerClosed)
            PeerClosed = true;
        else if (result.Error != 0 && !Failure)
            Failure = {TSocketOp::Read, OsError(result.Error)};
        return result.Count;
    }

    std::ptrdiff_t Write(const std::uint8_t* bytes, std::size_t count) override
    {
        if (!Socket.is_open())
            return -1;
        const auto result = SendOnce(Socket.native_handle(), bytes, count);
        if (result.Error != 0) {
            if (!Failure)
                Failure = {TSocketOp::Write, OsError(result.Error)};
            return -1;
        }
        Stats.SentBytes += static_cast<std::size_t>(result.Count);
        Stats.DroppedBytes += count - static_cast<std::size_t>(result.Count);
        return result.Count;
    }

    // Bytes still in the kernel's send queue mean the peer has not taken the last reply; a
    // new one would only pile up in kernel memory.
    bool ReadyForReply() const override { return Socket.is_open() && platform::SendQueueEmpty(Fd); }

    std::string PeerText() const override { return Peer; }

    asio::ip::tcp::socket Socket;
    const int Fd;
    const std::uint64_t Id;
    const std::string Peer;
    /// What the peer counts as against the per-address cap.
    const TPeerAddress Key;
    Clock::time_point LastInput;
    /// True once the peer sent anything.
    bool Spoke = false;
    TServerSocketStats& Stats;
    bool PeerClosed = false;
    /// An error met by Read or Write, raised once the read handler has returned.
    std::optional<std::pair<TSocketOp, std::error_code>> Failure;
};

TAsioServerSocket::TAsioServerSocket(asio::io_context& io)
    : Io(io)
    , Acceptor(io)
    , RetryTimer(io)
    , IdleTimer(io)
{
}

TAsioServerSocket::~TAsioServerSocket()
{
    Close();
    Alive.reset();
}

bool TAsioServerSocket::SetPort(int value)
{
    if (Active() || value < 0 || value > 65535)
        return false;
    PortNumber = value;
    return true;
}

void TAsioServerSocket::SetIdleTimeout(std::chrono::milliseconds timeout)
{
    IdleTimeout = std::max(timeout, std::chrono::milliseconds(1));
}

asio::ip::tcp::endpoint TAsioServerSocket::ListenEndpoint() const
{
    const auto port = static_cast<std::uint16_t>(PortNumber);
    if (Limits.BindAddress.empty())
        return {asio::ip::address_v6::any(), port};
    std::error_code error;
    const auto address = asio::ip::make_address(StripBrackets(Limits.BindAddress), error);
    if (error)
        throw TSocketError(std::make_error_code(std::errc::invalid_argument), "bind");
    return {address, port};
}

void TAsioServerSocket::Open()
{
    if (Active())
        return;
    using asio::ip::tcp;
    auto endpoint = ListenEndpoint();
    tcp::acceptor fresh(Io);
    std::error_code error;
    fresh.open(endpoint.protocol(), error);
    // A machine without IPv6 still serves every IPv4 address.
    if (error && Limits.BindAddress.empty()) {
        endpoint = tcp::endpoint(asio::ip::address_v4::any(), endpoint.port());
        fresh.open(tcp::v4(), error);
    }
    if (error)
        throw TSocketError(error, "socket");
    if (endpoint.address().is_v6() && Limits.BindAddress.empty()) {
        fresh.set_option(asio::ip::v6_only(false), error);
        if (error)
            throw TSocketError(error, "setsockopt");
    }
    fresh.set_option(tcp::acceptor::reuse_address(true), error);
    if (error)
        throw TSocketError(error, "setsockopt");
    fresh.bind(endpoint, error);
    if (error)
        throw TSocketError(error, "bind");
    if (OnListen)
        OnListen();
    fresh.listen(asio::socket_base::max_listen_connections, error);
    if (error)
        throw TSocketError(error, "listen");
    fresh.non_blocking(true, error);
    Reserve = OpenReserve();
    Acceptor = std::move(fresh);
    WaitForPeers();
}

void TAsioServerSocket::Close()
{
    std::error_code ignored;
    Acceptor.close(ignored);
    RetryTimer.cancel();
    IdleTimer.cancel();
    IdleArmed = false;
    Reserve.Reset();
    for (auto& [id, connection] : Connections)
        connection->Socket.close(ignored);
    Connections.clear();
    PerAddress = {};
}

std::uint16_t TAsioServerSocket::LocalPort() const
{
    std::error_code error;
    const auto endpoint = Acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

bool TAsioServerSocket::ListensOnIPv6() const
{
    std::error_code error;
    const auto endpoint = Acceptor.local_endpoint(error);
    return !error && endpoint.address().is_v6();
}

bool TAsioServerSocket::LoopbackOnly() const
{
    std::error_code error;
    const auto endpoint = Acceptor.local_endpoint(error);
    return !error && endpoint.address().is_loopback();
}

void TAsioServerSocket::WaitForPeers()
{
    std::weak_ptr<int> token = Alive;
    Acceptor.async_wait(asio::ip::tcp::acceptor::wait_read, [this, token](std::error_code error) {
        if (token.expired() || error == asio::error::operation_aborted || !Acceptor.is_open())
            return;
        if (error || !AcceptReady()) {
            RetryLater();
            return;
        }
        WaitForPeers();
    });
}

void TAsioServerSocket::RetryLater()
{
    // Out of descriptors with nothing to free: try again shortly instead of spinning.
    std::weak_ptr<int> token = Alive;
    RetryTimer.expires_after(std::chrono::milliseconds(100));
    RetryTimer.async_wait([this, token](std::error_code waitError) {
        if (!token.expired() && !waitError && Acceptor.is_open())
            WaitForPeers();
    });
}

bool TAsioServerSocket::AcceptReady()
{
    // A bounded batch per event, so a connection storm cannot starve the readers.
    for (int i = 0; i < AcceptBatch; ++i) {
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        const int fd = ::accept4(Acceptor.native_handle(), reinterpret_cast<sockaddr*>(&peer),
                                 &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Admit(fd, peer, false);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            if (!AcceptWithReserve())
                return false;
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    return true;
}

bool TAsioServerSocket::AcceptWithReserve()
{
    // The reserve was lost (another descriptor took its number): an idle connection gives
    // one back.
    if (!Reserve) {
        if (!EvictFrom(PerAddress.Busiest()))
            return false;
        Reserve = OpenReserve();
        if (!Reserve)
            return false;
    }
    Reserve.Reset();
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    const int fd = ::accept4(Acceptor.native_handle(), reinterpret_cast<sockaddr*>(&peer), &size,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int acceptError = errno;
    if (fd >= 0)
        Admit(fd, peer, true);
    Reserve = OpenReserve();
    return fd >= 0 || acceptError == EAGAIN || acceptError == EWOULDBLOCK ||
           acceptError == ECONNABORTED;
}

void TAsioServerSocket::Admit(int fd, const sockaddr_storage& peer, bool onReserve)
{
    const std::string peerText = PeerTextOf(peer);
    const TPeerAddress address = MappedAddressOf(peer);
    if (!Limits.Allows(address)) {
        ::close(fd);
        ++Counters.Refused;
        Notice(TConnectionNotice::Refused, peerText);
        return;
    }
    // Taken on the reserve descriptor: the idlest connection of the busiest address gives one
    // back for the reserve, or the newcomer cannot stay.
    const TPeerAddress key = QuotaKeyOf(address);
    if (onReserve && !EvictFrom(PerAddress.Busiest(key))) {
        ::close(fd);
        ++Counters.Rejected;
        Notice(TConnectionNotice::Rejected, peerText);
        return;
    }
    while (const auto from = PerAddress.MustYield(key, Limits.MaxPerAddress, Limits.MaxClients)) {
        if (!EvictFrom(*from))
            break;
    }
    platform::TuneServedConnection(fd);
    const auto protocol = peer.ss_family == AF_INET6 ? asio::ip::tcp::v6() : asio::ip::tcp::v4();
    asio::ip::tcp::socket socket(Io);
    std::error_code error;
    socket.assign(protocol, fd, error);
    if (error) {
        ::close(fd);
        return;
    }
    const auto id = NextId++;
    auto connection = std::make_shared<TConnection>(std::move(socket), id, peerText, key, Counters);
    Connections.emplace(id, connection);
    PerAddress.Add(key);
    ++Counters.Accepted;
    ArmIdleSweep();
    std::weak_ptr<int> token = Alive;
    if (OnAccept)
        OnAccept(*connection);
    if (!token.expired() && Connections.contains(id))
        Watch(connection);
}

bool TAsioServerSocket::EvictFrom(const std::optional<TPeerAddress>& key)
{
    if (!key)
        return false;
    const auto idlest = IdlestConnectionFrom(Connections, *key);
    if (idlest == Connections.end())
        return false;
    const std::string peer = idlest->second->Peer;
    Drop(idlest->first);
    ++Counters.Evicted;
    Notice(TConnectionNotice::Evicted, peer);
    return true;
}

void TAsioServerSocket::ArmIdleSweep()
{
    if (IdleArmed || Connections.empty())
        return;
    const auto oldest = std::min_element(
        Connections.begin(), Connections.end(), [](const auto& left, const auto& right) {
            return left.second->LastInput < right.second->LastInput;
        });
    IdleArmed = true;
    std::weak_ptr<int> token = Alive;
    IdleTimer.expires_at(oldest->second->LastInput + IdleTimeout);
    IdleTimer.async_wait([this, token](std::error_code error) {
        if (token.expired() || error)
            return;
        IdleArmed = false;
        SweepIdle();
    });
}

void TAsioServerSocket::SweepIdle()
{
    const auto deadline = Clock::now() - IdleTimeout;
    std::vector<std::pair<std::uint64_t, std::string>> expired;
    for (const auto& [id, connection] : Connections) {
        if (connection->LastInput <= deadline)
            expired.emplace_back(id, connection->Peer);
    }
    for (const auto& [id, peer] : expired) {
        Drop(id);
        ++Counters.TimedOut;
        Notice(TConnectionNotice::TimedOut, peer);
    }
    ArmIdleSweep();
}

void TAsioServerSocket::Notice(TConnectionNotice notice, const std::string& peer)
{
    if (OnNotice)
        OnNotice(notice, peer);
}

void TAsioServerSocket::Watch(const std::shared_ptr<TConnection>& connection)
{
    std::weak_ptr<int> token = Alive;
    std::weak_ptr<TConnection> weak = connection;
    connection->Socket.async_wait(asio::ip::tcp::socket::wait_read,
                                  [this, token, weak](std::error_code error) {
                                      if (token.expired())
                                          return;
                                      const auto current = weak.lock();
                                      if (!current || !Connections.contains(current->Id))
                                          return;
                                      if (error == asio::error::operation_aborted)
                                          return;
                                      if (error) {
                                          RaiseClientError(*current, TSocketOp::Read, error);
                                          if (!token.expired())
                                              Drop(current->Id);
                                          return;
                                      }
                                      Readable(current);
                                  });
}

void TAsioServerSocket::Readable(const std::shared_ptr<TConnection>& connection)
{
    std::weak_ptr<int> token = Alive;
    const auto id = connection->Id;
    if (OnClientRead)
        OnClientRead(*connection);
    else
        Drain(connection->Socket.native_handle());
    if (token.expired() || !Connections.contains(id))
        return;
    if (connection->Failure) {
        const auto [op, code] = *connection->Failure;
        RaiseClientError(*connection, op, code);
        if (!token.expired())
            Drop(id);
        return;
    }
    // A peer that closed is let go quietly; the others are not affected.
    if (connection->PeerClosed) {
        Drop(id);
        return;
    }
    Watch(connection);
}

void TAsioServerSocket::Drop(std::uint64_t id)
{
    const auto found = Connections.find(id);
    if (found == Connections.end())
        return;
    std::error_code ignored;
    found->second->Socket.close(ignored);
    PerAddress.Remove(found->second->Key);
    Connections.erase(found);
}

TAsioClientSocket::TAsioClientSocket(asio::io_context& io)
    : Io(io)
    , Resolver(io)
    , Socket(io)
    , StepTimer(io)
{
}

std::optional<TSocketOp> TAsioClientSocket::AttemptStep() const
{
    if (State == TState::Resolving)
        return TSocketOp::Lookup;
    if (State == TState::Connecting)
        return TSocketOp::Connect;
    return std::nullopt;
}

void TAsioClientSocket::BoundStep(std::chrono::steady_clock::duration limit)
{
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    StepTimer.expires_after(limit);
    StepTimer.async_wait([this, token, current](std::error_code error) {
        if (error || token.expired() || current != Attempt)
            return;
        // The look-up thread may stay stuck in getaddrinfo; its late answer is ignored.
        if (const auto step = AttemptStep())
            Fail(*step, std::make_error_code(std::errc::timed_out));
    });
}

TAsioClientSocket::~TAsioClientSocket()
{
    Release();
    Alive.reset();
}

void TAsioClientSocket::Open()
{
    Release();
    State = TState::Resolving;
    BoundStep(LookupTimeout);
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    // Both families: IPv6 literals ("::1", "[::1]") and names with AAAA records too.
    Resolver.async_resolve(
        StripBrackets(HostName), std::to_string(PortNumber),
        asio::ip::tcp::resolver::numeric_service,
        [this, token, current](std::error_code error,
                               const asio::ip::tcp::resolver::results_type& endpoints) {
            if (token.expired() || current != Attempt)
                return;
            if (error) {
                Fail(TSocketOp::Lookup, error);
                return;
            }
            Connect(current, endpoints);
        });
}

void TAsioClientSocket::Close()
{
    Release();
}

void TAsioClientSocket::Release()
{
    ++Attempt;
    StepTimer.cancel();
    Resolver.cancel();
    std::error_code ignored;
    Socket.close(ignored);
    State = TState::Closed;
    ReadFailure.reset();
    Budget = 0;
    Watching = false;
}

void TAsioClientSocket::Connect(std::uint64_t current,
                                const asio::ip::tcp::resolver::results_type& endpoints)
{
    State = TState::Connecting;
    BoundStep(ConnectTimeout);
    std::weak_ptr<int> token = Alive;
    asio::async_connect(Socket, endpoints,
                        [this, token, current](std::error_code error, const auto&) {
                            if (token.expired() || current != Attempt)
                                return;
                            if (error) {
                                Fail(TSocketOp::Connect, error);
                                return;
                            }
                            StepTimer.cancel();
                            std::error_code ignored;
                            Socket.non_blocking(true, ignored);
                            State = TState::Connected;
                            if (OnConnect)
                                OnConnect();
                            if (!token.expired() && current == Attempt && Connected())
                                Watch();
                        });
}

void TAsioClientSocket::Watch()
{
    // With the allowance spent, bytes a peer sends unasked stay in the kernel, whose full
    // receive buffer then stops the peer (flow control) instead of us reading a flood.
    if (Watching || !Connected() || (Allowance > 0 && Budget == 0))
        return;
    Watching = true;
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    Socket.async_wait(
        asio::ip::tcp::socket::wait_read, [this, token, current](std::error_code error) {
            if (token.expired() || current != Attempt || error == asio::error::operation_aborted)
                return;
            Watching = false;
            if (error) {
                Fail(TSocketOp::Read, error);
                return;
            }
            Readable();
        });
}

void TAsioClientSocket::Readable()
{
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    ReadFailure.reset();
    if (OnRead)
        OnRead();
    else
        Drain(Socket.native_handle());
    // The handler may have closed or reopened the socket.
    if (token.expired() || current != Attempt)
        return;
    if (ReadFailure) {
        const auto [op, code] = *ReadFailure;
        Fail(op, code);
        return;
    }
    Watch();
}

std::ptrdiff_t TAsioClientSocket::Read(std::uint8_t* bytes, std::size_t count)
{
    if (!Connected())
        return -1;
    if (Allowance > 0) {
        count = std::min(count, Budget);
        if (count == 0)
            return 0;
    }
    const auto result = ReceiveOnce(Socket.native_handle(), bytes, count);
    if (Allowance > 0 && result.Count > 0)
        Budget -= static_cast<std::size_t>(result.Count);
    if (result.PeerClosed && !ReadFailure)
        ReadFailure = {TSocketOp::Disconnect, std::make_error_code(std::errc::connection_reset)};
    else if (result.Error != 0 && !ReadFailure)
        ReadFailure = {TSocketOp::Read, OsError(result.Error)};
    return result.Count;
}

std::ptrdiff_t TAsioClientSocket::Write(std::string_view text)
{
    if (!Connected())
        return -1;
    const auto result = SendOnce(Socket.native_handle(), text.data(), text.size());
    if (result.Error != 0) {
        FailLater(TSocketOp::Write, OsError(result.Error));
        return result.Count;
    }
    if (Allowance > 0 && result.Count > 0) {
        Budget = Allowance;
        Watch();
    }
    return result.Count;
}

void TAsioClientSocket::Fail(TSocketOp op, std::error_code code)
{
    Release();
    RaiseError(op, code);
}

void TAsioClientSocket::FailLater(TSocketOp op, std::error_code code)
{
    // Not connected from now on, but the event comes from the loop, never from inside Write.
    Release();
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    asio::post(Io, [this, token, current, op, code] {
        if (!token.expired() && current == Attempt)
            RaiseError(op, code);
    });
}

} // namespace statlume
