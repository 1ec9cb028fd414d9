#include "display/qt/qt_socket_layer.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/linux/socket_io.h"
#include "platform/linux/unique_fd.h"
#include "remote/idlest_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace statlume {

namespace {

using Clock = std::chrono::steady_clock;

/// What Qt holds of a served connection's requests; the rest waits in the kernel.
constexpr qint64 ServerReadBuffer = 64;
/// What Qt holds of a client's replies: a few records.
constexpr qint64 ClientReadBuffer = 4096;
/// Peers taken per readable event of the listening socket, so a connection storm cannot
/// starve the readers.
constexpr int AcceptBatch = 64;
/// Wait before accepting again when descriptors ran out and none could be freed (they are
/// held elsewhere in the program).
constexpr std::chrono::milliseconds AcceptRetry{250};

std::error_code OsError(int value)
{
    return {value, std::system_category()};
}

// Qt reports kinds, not errno values; the nearest system error keeps messages familiar.
std::error_code ErrorCodeOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return OsError(ECONNREFUSED);
    case QAbstractSocket::RemoteHostClosedError:
        return OsError(ECONNRESET);
    case QAbstractSocket::HostNotFoundError:
        return OsError(EHOSTUNREACH);
    case QAbstractSocket::SocketAccessError:
        return OsError(EACCES);
    case QAbstractSocket::SocketResourceError:
        return OsError(ENOBUFS);
    case QAbstractSocket::SocketTimeoutError:
        return OsError(ETIMEDOUT);
    case QAbstractSocket::NetworkError:
        return OsError(ENETUNREACH);
    default:
        return OsError(EIO);
    }
}

bool OutOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

platform::TUniqueFd OpenReserve()
{
    return platform::TUniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

/// The address to bind: every address of both families when bindAddress is empty (IPv4 alone
/// where the system has no IPv6), else that IPv4 or IPv6 address.
struct TListenAddress
{
    sockaddr_storage Address{};
    socklen_t Size = 0;
    bool DualStack = false;
};

TListenAddress ListenAddressOf(const std::string& bindAddress, int port, bool v6)
{
    TListenAddress listen;
    const auto portBytes = htons(static_cast<std::uint16_t>(port));
    auto& v4 = reinterpret_cast<sockaddr_in&>(listen.Address);
    auto& v6Address = reinterpret_cast<sockaddr_in6&>(listen.Address);
    const std::string host = platform::StripBrackets(bindAddress);
    if (host.empty() && v6) {
        v6Address.sin6_family = AF_INET6;
        v6Address.sin6_addr = in6addr_any;
        v6Address.sin6_port = portBytes;
        listen.Size = sizeof v6Address;
        listen.DualStack = true;
    } else if (host.empty() || ::inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        if (host.empty())
            v4.sin_addr.s_addr = htonl(INADDR_ANY);
        v4.sin_port = portBytes;
        listen.Size = sizeof v4;
    } else if (::inet_pton(AF_INET6, host.c_str(), &v6Address.sin6_addr) == 1) {
        v6Address.sin6_family = AF_INET6;
        v6Address.sin6_port = portBytes;
        listen.Size = sizeof v6Address;
    } else {
        throw TSocketError(OsError(EINVAL), "bind");
    }
    return listen;
}

// OnListen runs between bind and listen.
platform::TUniqueFd OpenListening(const std::string& bindAddress, int port,
                                  const std::function<void()>& onListen)
{
    TListenAddress listen = ListenAddressOf(bindAddress, port, true);
    platform::TUniqueFd fd(
        ::socket(listen.Address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd && errno == EAFNOSUPPORT && listen.DualStack) {
        listen = ListenAddressOf(bindAddress, port, false);
        fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    }
    if (!fd)
        throw TSocketError(OsError(errno), "socket");
    const int off = 0;
    const int on = 1;
    if (listen.DualStack &&
        ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0)
        throw TSocketError(OsError(errno), "setsockopt");
    if (::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        throw TSocketError(OsError(errno), "setsockopt");
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&listen.Address), listen.Size) != 0)
        throw TSocketError(OsError(errno), "bind");
    if (onListen)
        onListen();
    if (::listen(fd.Get(), SOMAXCONN) != 0)
        throw TSocketError(OsError(errno), "listen");
    return fd;
}

} // namespace

class TQtServerSocket::TConnection final : public TSocketConnection
{
public:
    TConnection(QTcpSocket* socket, std::uint64_t id, std::string peer, const TPeerAddress& key,
                TQtServerStats& stats)
        : Socket(socket)
        , Fd(static_cast<int>(socket->socketDescriptor()))
        , Id(id)
        , Peer(std::move(peer))
        , Key(key)
        , LastInput(Clock::now())
        , Stats(stats)
    {
    }

    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override
    {
        const auto got = Socket->read(reinterpret_cast<char*>(bytes), static_cast<qint64>(count));
        if (got > 0) {
            LastInput = Clock::now();
            Spoke = true;
        }
        return static_cast<std::ptrdiff_t>(got);
    }

    // Straight to the descriptor: QTcpSocket::write would keep what the kernel refuses.
    std::ptrdiff_t Write(const std::uint8_t* bytes, std::size_t count) override
    {
        const auto result = platform::SendOnce(Fd, bytes, count);
        if (result.Error != 0) {
            if (!Failure)
                Failure = {TSocketOp::Write, OsError(result.Error)};
            return -1;
        }
        Stats.SentBytes += static_cast<std::size_t>(result.Count);
        Stats.DroppedBytes += count - static_cast<std::size_t>(result.Count);
        return result.Count;
    }

    // Unsent bytes mean the peer has not taken the last reply; another would pile up.
    bool ReadyForReply() const override
    {
        return Socket->bytesToWrite() == 0 && platform::SendQueueEmpty(Fd);
    }

    std::string PeerText() const override { return Peer; }

    QTcpSocket* const Socket;
    const int Fd;
    const std::uint64_t Id;
    const std::string Peer;
    /// What the peer counts as against the per-address cap.
    const TPeerAddress Key;
    Clock::time_point LastInput;
    /// True once the peer sent anything.
    bool Spoke = false;
    /// A readable event is queued for bytes a handler left.
    bool ReadPosted = false;
    TQtServerStats& Stats;
    /// An error met by Write, raised once the read handler has returned.
    std::optional<std::pair<TSocketOp, std::error_code>> Failure;
};

TQtServerSocket::TQtServerSocket(QObject* parent)
    : QObject(parent)
{
    IdleTimer.setSingleShot(true);
    connect(&IdleTimer, &QTimer::timeout, this, [this] { SweepIdle(); });
    ResumeTimer.setSingleShot(true);
    connect(&ResumeTimer, &QTimer::timeout, this, [this] {
        if (Notifier)
            Notifier->setEnabled(true);
    });
}

TQtServerSocket::~TQtServerSocket()
{
    Close();
}

bool TQtServerSocket::SetPort(int port)
{
    if (Active() || port < 0 || port > 65535)
        return false;
    PortNumber = port;
    return true;
}

void TQtServerSocket::SetIdleTimeout(std::chrono::milliseconds timeout)
{
    IdleTimeout = std::max(timeout, std::chrono::milliseconds(1));
}

void TQtServerSocket::Open()
{
    if (Active())
        return;
    if (LimitsProblem)
        throw std::invalid_argument(*LimitsProblem);
    platform::TUniqueFd fd = OpenListening(Limits.BindAddress, PortNumber, OnListen);
    Reserve = OpenReserve();
    Listener = std::move(fd);
    Notifier = new QSocketNotifier(Listener.Get(), QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] { AcceptReady(); });
}

void TQtServerSocket::Close()
{
    IdleTimer.stop();
    ResumeTimer.stop();
    // Close may run inside the notifier's own signal (a handler stopping the server).
    if (Notifier) {
        Notifier->setEnabled(false);
        Notifier->deleteLater();
        Notifier = nullptr;
    }
    Listener.Reset();
    Reserve.Reset();
    while (!Connections.empty())
        Drop(Connections.begin()->first);
}

std::uint16_t TQtServerSocket::LocalPort() const
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (!Listener ||
        ::getsockname(Listener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

void TQtServerSocket::AcceptReady()
{
    for (int i = 0; i < AcceptBatch && Listener; ++i) {
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        const int fd = ::accept4(Listener.Get(), reinterpret_cast<sockaddr*>(&peer), &size,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Admit(fd, peer);
            continue;
        }
        const int error = errno;
        if (error == EINTR || error == ECONNABORTED || error == EPROTO)
            continue;
        // A level-triggered notifier would fire again at once for the same peer: it stays
        // off until room has been made.
        if (!OutOfDescriptors(error) || !AcceptOnReserve())
            return;
    }
}

bool TQtServerSocket::AcceptOnReserve()
{
    Notifier->setEnabled(false);
    // The reserve was lost earlier (another descriptor took its number): the idlest
    // connection gives one back.
    if (!Reserve && EvictFrom(PerAddress.Busiest()))
        Reserve = OpenReserve();
    if (!Reserve) {
        PauseAccepting();
        return false;
    }
    Reserve.Reset();
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    const int fd = ::accept4(Listener.Get(), reinterpret_cast<sockaddr*>(&peer), &size,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
        // The newcomer holds the reserve's descriptor; the idlest connection of the busiest
        // address gives one back for the reserve, or the newcomer cannot stay.
        if (EvictFrom(PerAddress.Busiest(QuotaKeyOf(platform::MappedAddressOf(peer))))) {
            Admit(fd, peer);
        } else {
            ::close(fd);
            ++Counters.Rejected;
        }
    }
    // A handler may have closed the server meanwhile.
    if (!Listener)
        return false;
    Reserve = OpenReserve();
    Notifier->setEnabled(true);
    return true;
}

void TQtServerSocket::PauseAccepting()
{
    Notifier->setEnabled(false);
    ResumeTimer.start(AcceptRetry);
}

void TQtServerSocket::Admit(int fd, const sockaddr_storage& peer)
{
    const TPeerAddress address = platform::MappedAddressOf(peer);
    if (!Limits.Allows(address)) {
        ::close(fd);
        ++Counters.Refused;
        return;
    }
    const TPeerAddress key = QuotaKeyOf(address);
    while (const auto from = PerAddress.MustYield(key, Limits.MaxPerAddress, Limits.MaxClients)) {
        if (!EvictFrom(*from))
            break;
    }
    platform::TuneServedConnection(fd);
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        return;
    }
    socket->setReadBufferSize(ServerReadBuffer);
    const auto id = NextId++;
    auto connection =
        std::make_unique<TConnection>(socket, id, platform::PeerTextOf(peer), key, Counters);
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { Readable(id); });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, id](QAbstractSocket::SocketError error) { Failed(id, error); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, id] { Drop(id); });
    TConnection& admitted = *connection;
    Connections.emplace(id, std::move(connection));
    PerAddress.Add(key);
    ++Counters.Accepted;
    ArmIdleSweep();
    if (OnAccept)
        OnAccept(admitted);
    if (Connections.contains(id) && socket->bytesAvailable() > 0)
        Readable(id);
}

bool TQtServerSocket::EvictFrom(const std::optional<TPeerAddress>& key)
{
    if (!key)
        return false;
    const auto idlest = IdlestConnectionFrom(Connections, *key);
    if (idlest == Connections.end())
        return false;
    Drop(idlest->first);
    ++Counters.Evicted;
    return true;
}

void TQtServerSocket::Readable(std::uint64_t id)
{
    const auto found = Connections.find(id);
    if (found == Connections.end())
        return;
    TConnection& connection = *found->second;
    connection.ReadPosted = false;
    if (OnClientRead) {
        OnClientRead(connection);
    } else {
        connection.Socket->readAll();
    }
    if (!Connections.contains(id))
        return;
    if (connection.Failure) {
        const auto [op, code] = *connection.Failure;
        RaiseClientError(connection, op, code);
        Drop(id);
        return;
    }
    // readyRead comes only for new bytes: what the handler left is offered again.
    if (connection.Socket->bytesAvailable() > 0 && !connection.ReadPosted) {
        connection.ReadPosted = true;
        QTimer::singleShot(0, this, [this, id] { Readable(id); });
    }
}

void TQtServerSocket::Failed(std::uint64_t id, QAbstractSocket::SocketError error)
{
    const auto found = Connections.find(id);
    if (found == Connections.end())
        return;
    // A peer that closed is let go quietly; the others are not affected.
    if (error != QAbstractSocket::RemoteHostClosedError)
        RaiseClientError(*found->second, TSocketOp::Read, ErrorCodeOf(error));
    Drop(id);
}

void TQtServerSocket::Drop(std::uint64_t id)
{
    const auto found = Connections.find(id);
    if (found == Connections.end())
        return;
    QTcpSocket* socket = found->second->Socket;
    PerAddress.Remove(found->second->Key);
    Connections.erase(found);
    // Inside one of its own signals the socket must outlive the handler.
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

void TQtServerSocket::ArmIdleSweep()
{
    if (IdleTimer.isActive() || Connections.empty())
        return;
    const auto oldest = std::min_element(
        Connections.begin(), Connections.end(), [](const auto& left, const auto& right) {
            return left.second->LastInput < right.second->LastInput;
        });
    const auto due = std::chrono::duration_cast<std::chrono::milliseconds>(
        oldest->second->LastInput + IdleTimeout - Clock::now());
    IdleTimer.start(std::max<int>(1, static_cast<int>(due.count()) + 1));
}

void TQtServerSocket::SweepIdle()
{
    const auto deadline = Clock::now() - IdleTimeout;
    std::vector<std::uint64_t> expired;
    for (const auto& [id, connection] : Connections) {
        if (connection->LastInput <= deadline)
            expired.push_back(id);
    }
    for (const auto id : expired) {
        Drop(id);
        ++Counters.TimedOut;
    }
    ArmIdleSweep();
}

TQtClientSocket::TQtClientSocket(QObject* parent)
    : QObject(parent)
{
    StepTimer.setSingleShot(true);
    connect(&StepTimer, &QTimer::timeout, this, [this] { StepTimedOut(); });
}

TQtClientSocket::~TQtClientSocket()
{
    Release();
}

bool TQtClientSocket::Connected() const
{
    return Socket && Socket->state() == QAbstractSocket::ConnectedState;
}

bool TQtClientSocket::Connecting() const
{
    return AttemptStep().has_value();
}

std::optional<TSocketOp> TQtClientSocket::AttemptStep() const
{
    if (!Socket)
        return std::nullopt;
    switch (Socket->state()) {
    case QAbstractSocket::HostLookupState:
        return TSocketOp::Lookup;
    case QAbstractSocket::ConnectingState:
        return TSocketOp::Connect;
    default:
        return std::nullopt;
    }
}

void TQtClientSocket::StepTimedOut()
{
    const auto step = AttemptStep();
    if (!step)
        return;
    Release();
    RaiseError(*step, OsError(ETIMEDOUT));
}

void TQtClientSocket::Open()
{
    Release();
    const auto current = Attempt;
    auto* socket = new QTcpSocket(this);
    socket->setReadBufferSize(ClientReadBuffer);
    Socket = socket;
    connect(socket, &QAbstractSocket::stateChanged, this,
            [this, current](QAbstractSocket::SocketState state) {
                if (current == Attempt && state == QAbstractSocket::ConnectingState)
                    StepTimer.start(ConnectTimeout);
            });
    connect(socket, &QTcpSocket::connected, this, [this, current] {
        if (current != Attempt)
            return;
        StepTimer.stop();
        Budget = 0;
        Linked = true;
        if (OnConnect)
            OnConnect();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, current] {
        if (current == Attempt)
            Readable();
    });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, current](QAbstractSocket::SocketError error) {
                if (current == Attempt)
                    Failed(error);
            });
    // A name is looked up by Qt off the UI thread; the window never waits for it.
    StepTimer.start(LookupTimeout);
    socket->connectToHost(QString::fromStdString(platform::StripBrackets(HostName)),
                          static_cast<quint16>(PortNumber));
}

void TQtClientSocket::Close()
{
    Release();
}

void TQtClientSocket::Release()
{
    ++Attempt;
    StepTimer.stop();
    Budget = 0;
    ReadPosted = false;
    Linked = false;
    if (!Socket)
        return;
    QTcpSocket* socket = Socket;
    Socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

std::ptrdiff_t TQtClientSocket::Write(std::string_view text)
{
    if (!Connected())
        return -1;
    const auto result =
        platform::SendOnce(static_cast<int>(Socket->socketDescriptor()), text.data(), text.size());
    if (result.Error != 0) {
        // Not connected from now on; the event comes from the loop, never from inside Write.
        Release();
        const auto current = Attempt;
        const auto code = OsError(result.Error);
        QTimer::singleShot(0, this, [this, current, code] {
            if (current == Attempt)
                RaiseError(TSocketOp::Write, code);
        });
        return -1;
    }
    if (Allowance > 0 && result.Count > 0) {
        Budget = Allowance;
        if (Socket->bytesAvailable() > 0)
            RaiseReadableLater();
    }
    return result.Count;
}

std::ptrdiff_t TQtClientSocket::Read(std::uint8_t* bytes, std::size_t count)
{
    if (!Connected())
        return -1;
    if (Allowance > 0) {
        count = std::min(count, Budget);
        if (count == 0)
            return 0;
    }
    const auto got = Socket->read(reinterpret_cast<char*>(bytes), static_cast<qint64>(count));
    if (Allowance > 0 && got > 0)
        Budget -= static_cast<std::size_t>(got);
    return static_cast<std::ptrdiff_t>(got);
}

void TQtClientSocket::Readable()
{
    ReadPosted = false;
    // With the allowance spent, bytes stay in Qt's bounded buffer and then in the kernel,
    // which holds back a peer that sends unasked.
    if (!Connected() || (Allowance > 0 && Budget == 0))
        return;
    const auto current = Attempt;
    if (OnRead) {
        OnRead();
    } else {
        Socket->readAll();
    }
    if (current == Attempt && Connected() && Socket->bytesAvailable() > 0 &&
        (Allowance == 0 || Budget > 0)) {
        RaiseReadableLater();
    }
}

void TQtClientSocket::RaiseReadableLater()
{
    if (ReadPosted)
        return;
    ReadPosted = true;
    const auto current = Attempt;
    QTimer::singleShot(0, this, [this, current] {
        if (current == Attempt)
            Readable();
    });
}

void TQtClientSocket::Failed(QAbstractSocket::SocketError error)
{
    TSocketOp op = TSocketOp::Read;
    if (error == QAbstractSocket::HostNotFoundError)
        op = TSocketOp::Lookup;
    else if (error == QAbstractSocket::RemoteHostClosedError)
        op = TSocketOp::Disconnect;
    else if (!Linked)
        op = TSocketOp::Connect;
    Release();
    RaiseError(op, ErrorCodeOf(error));
}

} // namespace statlume
