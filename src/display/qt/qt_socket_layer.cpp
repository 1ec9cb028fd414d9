#include "display/qt/qt_socket_layer.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/linux/socket_io.h"
#include "platform/linux/unique_fd.h"
#include "remote/idlest_connection.h"

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
/// Peers queued inside QTcpServer before we take them.
constexpr int PendingPeers = 64;
/// Wait before accepting again after a failed accept that freed nothing.
constexpr std::chrono::milliseconds AcceptRetry{100};
/// Connections closed per failed accept, so a backlog of newcomers drains quickly.
constexpr int EvictPerAcceptError = 16;

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

// One socket for both families where the system has IPv6; IPv4 alone otherwise. OnListen
// runs between bind and listen.
platform::TUniqueFd OpenListening(int port, const std::function<void()>& onListen)
{
    bool v6 = true;
    platform::TUniqueFd fd(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd && errno == EAFNOSUPPORT) {
        v6 = false;
        fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    }
    if (!fd)
        throw TSocketError(OsError(errno), "socket");
    const int off = 0;
    const int on = 1;
    if (v6 && ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0)
        throw TSocketError(OsError(errno), "setsockopt");
    if (::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        throw TSocketError(OsError(errno), "setsockopt");
    int bound = 0;
    if (v6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        bound = ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        bound = ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (bound != 0)
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
    TConnection(QTcpSocket* socket, std::uint64_t id, TQtServerStats& stats)
        : Socket(socket)
        , Fd(static_cast<int>(socket->socketDescriptor()))
        , Id(id)
        , Peer(platform::PeerTextOfDescriptor(Fd))
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
    const platform::TUniqueFd fd = OpenListening(PortNumber, OnListen);
    // Qt takes its own descriptor; ours closes with fd.
    const int handed = ::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0);
    if (handed < 0)
        throw TSocketError(OsError(errno), "dup");
    auto* server = new QTcpServer(this);
    server->setMaxPendingConnections(PendingPeers);
    if (!server->setSocketDescriptor(handed)) {
        ::close(handed);
        delete server;
        throw TSocketError(OsError(EBADF), "listen");
    }
    connect(server, &QTcpServer::newConnection, this, [this] { AcceptPending(); });
    // QTcpServer stops accepting for good after a failed accept (out of descriptors): idle
    // connections make room and accepting resumes, instead of the server going deaf.
    connect(server, &QTcpServer::acceptError, this, [this] {
        int freed = 0;
        while (freed < EvictPerAcceptError && EvictIdlest()) {
            ++freed;
        }
        QTimer::singleShot(freed > 0 ? std::chrono::milliseconds(0) : AcceptRetry, this, [this] {
            if (Listener) {
                Listener->resumeAccepting();
            }
        });
    });
    Listener = server;
}

void TQtServerSocket::Close()
{
    IdleTimer.stop();
    if (Listener) {
        Listener->close();
        Listener->deleteLater();
        Listener = nullptr;
    }
    while (!Connections.empty())
        Drop(Connections.begin()->first);
}

std::uint16_t TQtServerSocket::LocalPort() const
{
    return Listener ? Listener->serverPort() : 0;
}

void TQtServerSocket::AcceptPending()
{
    while (Listener && Listener->hasPendingConnections()) {
        if (QTcpSocket* socket = Listener->nextPendingConnection())
            Admit(socket);
    }
}

void TQtServerSocket::Admit(QTcpSocket* socket)
{
    while (Connections.size() >= MaxClients && EvictIdlest()) {
    }
    socket->setParent(this);
    socket->setReadBufferSize(ServerReadBuffer);
    const auto id = NextId++;
    auto connection = std::make_unique<TConnection>(socket, id, Counters);
    platform::TuneServedConnection(connection->Fd);
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { Readable(id); });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, id](QAbstractSocket::SocketError error) { Failed(id, error); });
    connect(socket, &QAbstractSocket::disconnected, this, [this, id] { Drop(id); });
    TConnection& admitted = *connection;
    Connections.emplace(id, std::move(connection));
    ++Counters.Accepted;
    ArmIdleSweep();
    if (OnAccept)
        OnAccept(admitted);
    if (Connections.contains(id) && socket->bytesAvailable() > 0)
        Readable(id);
}

bool TQtServerSocket::EvictIdlest()
{
    const auto idlest = IdlestConnection(Connections);
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
    return Socket && (Socket->state() == QAbstractSocket::HostLookupState ||
                      Socket->state() == QAbstractSocket::ConnectingState);
}

void TQtClientSocket::Open()
{
    Release();
    const auto current = Attempt;
    auto* socket = new QTcpSocket(this);
    socket->setReadBufferSize(ClientReadBuffer);
    Socket = socket;
    connect(socket, &QTcpSocket::connected, this, [this, current] {
        if (current != Attempt)
            return;
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
