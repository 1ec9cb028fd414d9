#include "cli/metrics_exporter.h"

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

} // namespace

struct TMetricsExporter::TState
{
    std::string Version;
    TExporterLimits Limits;
    TMetricsSnapshot Snapshot;
    /// The exposition of Snapshot, rendered by the first scrape after a publish.
    std::shared_ptr<const std::string> Body;
    std::size_t Connections = 0;
    std::list<std::weak_ptr<class TMetricsConnection>> Open;

    std::shared_ptr<const std::string> CurrentBody()
    {
        if (!Body)
            Body = std::make_shared<const std::string>(RenderExposition(Snapshot, Version));
        return Body;
    }
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
    {
        ++State->Connections;
    }

    ~TMetricsConnection() { --State->Connections; }

    void Start()
    {
        NewRequest();
        Parse();
    }

    void Close()
    {
        std::error_code ignored;
        Socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        Socket.close(ignored);
        Deadline.cancel();
    }

private:
    void NewRequest()
    {
        Parser.emplace();
        Parser->header_limit(static_cast<std::uint32_t>(State->Limits.MaxHeadBytes));
        Parser->body_limit(0);
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
        if (Used == Buffer.size()) {
            Reply(431, false);
            return;
        }
        Socket.async_read_some(
            asio::buffer(Buffer.data() + Used, Buffer.size() - Used),
            [self = shared_from_this()](const std::error_code& error, std::size_t count) {
                if (error) {
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
        if (error == http::error::need_more) {
            Read();
            return;
        }
        if (error) {
            Reply(error == http::error::header_limit ? 431 : 400, false);
            return;
        }
        if (!Parser->is_header_done()) {
            Read();
            return;
        }
        Answer();
    }

    void Answer()
    {
        const auto& request = Parser->get();
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
                if (error || !keepAlive) {
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
    std::optional<http::request_parser<http::empty_body>> Parser;
    std::string Head;
    std::shared_ptr<const std::string> Body;
};

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
        if (State->Connections >= State->Limits.MaxConnections) {
            std::error_code ignored;
            socket.close(ignored);
        } else {
            State->Open.remove_if([](const auto& weak) { return weak.expired(); });
            const auto connection = std::make_shared<TMetricsConnection>(std::move(socket), State);
            State->Open.push_back(connection);
            connection->Start();
        }
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
    return State->Connections;
}

} // namespace statlume
