#include "cli/metrics_exporter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>

namespace statlume {

namespace http = boost::beast::http;

namespace {

using TClock = std::chrono::steady_clock;
/// A peer's address, IPv4 as ::ffff:a.b.c.d.
using TPeerAddress = std::array<std::uint8_t, 16>;

// After a failed accept (no descriptors left, say), try again a little later instead of
// spinning on the loop.
constexpr auto AcceptRetryDelay = std::chrono::milliseconds(100);

std::string_view ReasonOf(unsigned status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    default:
        return "Request Header Fields Too Large";
    }
}

TPeerAddress PeerOf(const asio::ip::tcp::socket& socket)
{
    std::error_code error;
    const auto endpoint = socket.remote_endpoint(error);
    if (error)
        return {};
    const auto address = endpoint.address();
    return address.is_v6()
               ? address.to_v6().to_bytes()
               : asio::ip::make_address_v6(asio::ip::v4_mapped, address.to_v4()).to_bytes();
}

} // namespace

struct TMetricsExporter::TState
{
    std::string Version;
    TExporterLimits Limits;
    TMetricsSnapshot Snapshot;
    /// The exposition of Snapshot, rendered by the first scrape after a publish.
    std::shared_ptr<const std::string> Body;
    std::list<std::weak_ptr<class TMetricsConnection>> Open;

    std::shared_ptr<const std::string> CurrentBody()
    {
        if (!Body)
            Body = std::make_shared<const std::string>(RenderExposition(Snapshot, Version));
        return Body;
    }

    /// The connections not closed yet, forgetting the others.
    std::vector<std::shared_ptr<TMetricsConnection>> Live();
    /// Makes room for a newcomer from peer: closes the connection longest without a whole
    /// head, from that peer when it holds its share, from anyone at the global cap.
    void MakeRoomFor(const TPeerAddress& peer);
};

/// One HTTP connection: reads request heads through the HTTP parser, answers them, and is
/// closed when its deadline passes.
class TMetricsConnection : public std::enable_shared_from_this<TMetricsConnection>
{
public:
    TMetricsConnection(asio::ip::tcp::socket socket,
                       std::shared_ptr<TMetricsExporter::TState> state)
        : Socket(std::move(socket))
        , Deadline(Socket.get_executor())
        , State(std::move(state))
        , Buffer(State->Limits.MaxHeadBytes)
        , Peer(PeerOf(Socket))
    {
    }

    void Start()
    {
        NewRequest();
        Parse();
    }

    void Close()
    {
        Closed = true;
        std::error_code ignored;
        Socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        Socket.close(ignored);
        Deadline.cancel();
    }

    bool IsClosed() const { return Closed; }
    const TPeerAddress& PeerAddress() const { return Peer; }
    /// When the last whole request head arrived, or the connection was opened.
    TClock::time_point LastHeadAt() const { return LastHead; }

private:
    void NewRequest()
    {
        Parser.emplace();
        Parser->header_limit(static_cast<std::uint32_t>(State->Limits.MaxHeadBytes));
        Parser->body_limit(0);
        HeadBytes = 0;
        Arm();
    }

    // One deadline for the whole head, not per read: a client that sends a byte a second
    // is closed all the same.
    void Arm()
    {
        Deadline.expires_after(State->Limits.Timeout);
        Deadline.async_wait([self = shared_from_this()](const std::error_code& error) {
            if (!error)
                self->Close();
        });
    }

    void Read()
    {
        Socket.async_read_some(
            asio::buffer(Buffer.data() + Used, Buffer.size() - Used),
            [self = shared_from_this()](const std::error_code& error, std::size_t count) {
                if (error || self->Closed) {
                    self->Close();
                    return;
                }
                self->Used += count;
                self->Parse();
            });
    }

    void Parse()
    {
        if (Used == 0) {
            Read();
            return;
        }
        boost::beast::error_code error;
        const std::size_t consumed =
            Parser->put(boost::asio::const_buffer(Buffer.data(), Used), error);
        std::memmove(Buffer.data(), Buffer.data() + consumed, Used - consumed);
        Used -= consumed;
        HeadBytes += consumed;
        // The parser takes complete lines and leaves the rest, so its own limit alone lets a
        // long head through in pieces: count every byte of the head here.
        const bool headDone = !error && Parser->is_header_done();
        if (HeadBytes > State->Limits.MaxHeadBytes ||
            (!headDone && HeadBytes + Used >= State->Limits.MaxHeadBytes)) {
            Reply(431, false);
            return;
        }
        if (error == http::error::need_more) {
            Read();
            return;
        }
        if (error) {
            Reply(error == http::error::header_limit ? 431 : 400, false);
            return;
        }
        if (!headDone) {
            Read();
            return;
        }
        LastHead = TClock::now();
        Answer();
    }

    void Answer()
    {
        const auto& request = Parser->get();
        // A body would be read as the next request and put a proxy in front out of step.
        const auto length = Parser->content_length();
        if (Parser->chunked() || request.count(http::field::transfer_encoding) != 0 ||
            (length && *length != 0)) {
            Reply(400, false);
            return;
        }
        const bool keepAlive = request.keep_alive();
        const auto verb = request.method();
        if (verb != http::verb::get && verb != http::verb::head) {
            Reply(405, keepAlive);
            return;
        }
        const std::string_view target(request.target().data(), request.target().size());
        const std::string_view path = target.substr(0, target.find('?'));
        if (path != "/metrics") {
            Reply(404, keepAlive);
            return;
        }
        Reply(200, keepAlive, verb == http::verb::head);
    }

    void Reply(unsigned status, bool keepAlive, bool headOnly = false)
    {
        static const auto NoBody = std::make_shared<const std::string>();
        static const auto NotFound =
            std::make_shared<const std::string>("Not Found: try /metrics\n");
        Body = status == 200 ? State->CurrentBody() : status == 404 ? NotFound : NoBody;
        Head = "HTTP/1.1 " + std::to_string(status) + " " + std::string(ReasonOf(status)) +
               "\r\nContent-Type: " +
               std::string(status == 200 ? ExpositionContentType : "text/plain; charset=utf-8") +
               "\r\nContent-Length: " + std::to_string(Body->size()) + "\r\n";
        if (status == 405)
            Head += "Allow: GET, HEAD\r\n";
        Head += keepAlive ? "\r\n" : "Connection: close\r\n\r\n";
        const std::array<asio::const_buffer, 2> buffers = {
            asio::buffer(Head), headOnly ? asio::const_buffer() : asio::buffer(*Body)};
        Arm();
        asio::async_write(
            Socket, buffers,
            [self = shared_from_this(), keepAlive](const std::error_code& error, std::size_t) {
                if (error || !keepAlive || self->Closed) {
                    self->Close();
                    return;
                }
                self->NewRequest();
                self->Parse();
            });
    }

    asio::ip::tcp::socket Socket;
    asio::steady_timer Deadline;
    std::shared_ptr<TMetricsExporter::TState> State;
    std::vector<char> Buffer;
    std::size_t Used = 0;
    /// Bytes of the current request's head taken by the parser so far.
    std::size_t HeadBytes = 0;
    std::optional<http::request_parser<http::empty_body>> Parser;
    std::string Head;
    std::shared_ptr<const std::string> Body;
    TPeerAddress Peer;
    TClock::time_point LastHead = TClock::now();
    bool Closed = false;
};

std::vector<std::shared_ptr<TMetricsConnection>> TMetricsExporter::TState::Live()
{
    std::vector<std::shared_ptr<TMetricsConnection>> live;
    for (auto at = Open.begin(); at != Open.end();) {
        auto connection = at->lock();
        if (!connection || connection->IsClosed()) {
            at = Open.erase(at);
            continue;
        }
        live.push_back(std::move(connection));
        ++at;
    }
    return live;
}

void TMetricsExporter::TState::MakeRoomFor(const TPeerAddress& peer)
{
    const auto live = Live();
    const auto fromPeer = [&](const auto& connection) { return connection->PeerAddress() == peer; };
    const bool peerFull = static_cast<std::size_t>(std::count_if(live.begin(), live.end(),
                                                                 fromPeer)) >= Limits.MaxPerPeer;
    if (!peerFull && live.size() < Limits.MaxConnections)
        return;
    std::shared_ptr<TMetricsConnection> victim;
    for (const auto& connection : live) {
        if (peerFull && !fromPeer(connection))
            continue;
        if (!victim || connection->LastHeadAt() < victim->LastHeadAt())
            victim = connection;
    }
    if (victim)
        victim->Close();
}

TMetricsExporter::TMetricsExporter(asio::io_context& io, std::string version,
                                   TExporterLimits limits)
    : Io(io)
    , Acceptor(io)
    , AcceptRetry(io)
    , State(std::make_shared<TState>())
{
    State->Version = std::move(version);
    State->Limits = limits;
}

TMetricsExporter::~TMetricsExporter()
{
    std::error_code ignored;
    Acceptor.close(ignored);
    AcceptRetry.cancel();
    for (const auto& weak : State->Open) {
        if (const auto connection = weak.lock())
            connection->Close();
    }
}

bool TMetricsExporter::Start(const TMetricsEndpoint& endpoint, std::string& reason)
{
    std::error_code error;
    asio::ip::tcp::endpoint where;
    if (endpoint.Address.empty()) {
        where = {asio::ip::address_v6::any(), endpoint.Port};
    } else {
        const auto address = asio::ip::make_address(endpoint.Address, error);
        if (error) {
            reason = error.message();
            return false;
        }
        where = {address, endpoint.Port};
    }
    Acceptor.open(where.protocol(), error);
    if (error && endpoint.Address.empty()) {
        // No IPv6 on this machine: every IPv4 address then.
        where = {asio::ip::address_v4::any(), endpoint.Port};
        error.clear();
        Acceptor.open(where.protocol(), error);
    }
    if (!error && where.address().is_v6() && endpoint.Address.empty())
        Acceptor.set_option(asio::ip::v6_only(false), error);
    if (!error)
        Acceptor.set_option(asio::socket_base::reuse_address(true), error);
    if (!error)
        Acceptor.bind(where, error);
    if (!error)
        Acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        reason = error.message();
        std::error_code ignored;
        Acceptor.close(ignored);
        return false;
    }
    Accept();
    return true;
}

void TMetricsExporter::Accept()
{
    Acceptor.async_accept([this](const std::error_code& error, asio::ip::tcp::socket socket) {
        if (error == asio::error::operation_aborted || !Acceptor.is_open())
            return;
        if (error) {
            AcceptRetry.expires_after(AcceptRetryDelay);
            AcceptRetry.async_wait([this](const std::error_code& waitError) {
                if (!waitError)
                    Accept();
            });
            return;
        }
        State->MakeRoomFor(PeerOf(socket));
        const auto connection = std::make_shared<TMetricsConnection>(std::move(socket), State);
        State->Open.push_back(connection);
        connection->Start();
        Accept();
    });
}

void TMetricsExporter::Publish(const TMetricsSnapshot& snapshot)
{
    State->Snapshot = snapshot;
    State->Body.reset();
}

std::uint16_t TMetricsExporter::LocalPort() const
{
    std::error_code error;
    const auto endpoint = Acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

std::size_t TMetricsExporter::Connections() const
{
    return State->Live().size();
}

} // namespace statlume
