#include "exporter/metrics_exporter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "exporter/peer_rate_limit.h"

#include <asio/ssl/stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>

namespace statlume {

namespace http = boost::beast::http;

namespace {

using TClock = std::chrono::steady_clock;

// bcrypt checks one peer address may start a second; a flood of wrong passwords gets 429
// past it instead of a core's worth of hashing.
constexpr double PasswordChecksPerSecond = 4;

// After a failed accept (no descriptors left, say), try again a little later instead of
// spinning on the loop.
constexpr auto AcceptRetryDelay = std::chrono::milliseconds(100);

// A connection answered this recently is a scraper between requests, never made room from.
constexpr auto AnsweredLately = std::chrono::seconds(1);

std::string_view ReasonOf(unsigned status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 429:
        return "Too Many Requests";
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
    return QuotaKeyOf(
        address.is_v6()
            ? address.to_v6().to_bytes()
            : asio::ip::make_address_v6(asio::ip::v4_mapped, address.to_v4()).to_bytes());
}

} // namespace

class TConnectionBase;

struct TMetricsExporter::TState : std::enable_shared_from_this<TMetricsExporter::TState>
{
    explicit TState(asio::io_context& io)
        : Io(io)
    {
    }

    asio::io_context& Io;
    std::string Version;
    TExporterLimits Limits;
    TMetricsSnapshot Snapshot;
    /// The exposition of Snapshot, rendered by the first scrape after a publish.
    std::shared_ptr<const std::string> Body;
    std::list<std::weak_ptr<TConnectionBase>> Open;
    /// The web configuration; nothing: plain HTTP without a password.
    std::optional<TWebSetupSource> Web;
    std::ostream* Err = nullptr;
    /// Password checks a peer may start each second.
    TPeerRateLimit Checks{PasswordChecksPerSecond};
    /// Where bcrypt and re-reads of the web configuration run, off the loop; the exporter's
    /// own pool.
    std::optional<asio::thread_pool::executor_type> Checker;
    /// Password checks posted to Checker and not answered yet.
    std::size_t PendingChecks = 0;
    /// What waits for the re-read under way: at most one accepted socket and one request of
    /// each connection.
    std::vector<std::function<void()>> AfterReread;

    std::shared_ptr<const std::string> CurrentBody()
    {
        if (!Body)
            Body = std::make_shared<const std::string>(RenderExposition(Snapshot, Version));
        return Body;
    }

    /// The connections not closed yet, forgetting the others.
    std::vector<std::shared_ptr<TConnectionBase>> Live();
    /// Makes room for a newcomer from peer by closing an idle connection: that peer's longest
    /// idle past the grace time when it holds its share, the longest idle of the peer holding
    /// the most at the global cap. False when there is no room and none may be closed.
    bool MakeRoomFor(const TPeerAddress& peer);
    /// Runs then under the web configuration in force: at once, or after the re-read under
    /// way (one is started off the loop when due).
    void WithCurrentWeb(std::function<void()> then);
    /// The web setup requests are judged by now; nothing: plain and open.
    std::shared_ptr<const TWebSetup> CurrentWeb() const { return Web ? Web->Current() : nullptr; }
};

/// What the exporter's bookkeeping needs of a connection, whatever its transport.
class TConnectionBase
{
public:
    TConnectionBase(const TPeerAddress& peer)
        : Peer(peer)
    {
    }
    virtual ~TConnectionBase() = default;
    TConnectionBase(const TConnectionBase&) = delete;
    TConnectionBase& operator=(const TConnectionBase&) = delete;

    virtual void Start() = 0;
    virtual void Close() = 0;

    bool IsClosed() const { return Closed; }
    const TPeerAddress& PeerAddress() const { return Peer; }
    /// How long the connection has been without a request under way or a reply sent.
    TClock::duration IdleFor(TClock::time_point now) const
    {
        return Busy ? TClock::duration{} : now - IdleSince;
    }
    /// True while a request is under way or was answered lately: a scraper in use.
    bool InUse(TClock::time_point now) const
    {
        return Busy || (Answered && now - IdleSince < AnsweredLately);
    }

protected:
    TPeerAddress Peer;
    /// When the connection opened or its last reply was written.
    TClock::time_point IdleSince = TClock::now();
    /// A whole request head has arrived and is not answered yet.
    bool Busy = false;
    bool Answered = false;
    bool Closed = false;
    /// Set when closed, for a password check queued on another thread.
    std::shared_ptr<std::atomic<bool>> Gone = std::make_shared<std::atomic<bool>>(false);
};

/// One HTTP connection over TStream (TCP, or TLS over TCP): reads request heads through the
/// HTTP parser, answers them, and is closed when its deadline passes.
template <class TStream>
class TMetricsConnection : public TConnectionBase,
                           public std::enable_shared_from_this<TMetricsConnection<TStream>>
{
public:
    static constexpr bool IsTls = !std::is_same_v<TStream, asio::ip::tcp::socket>;

    template <class... TArgs>
    TMetricsConnection(std::shared_ptr<TMetricsExporter::TState> state,
                       std::shared_ptr<const TWebSetup> web, const TPeerAddress& peer,
                       TArgs&&... streamArgs)
        : TConnectionBase(peer)
        , Stream(std::forward<TArgs>(streamArgs)...)
        , Deadline(Stream.get_executor())
        , State(std::move(state))
        , AcceptedTls(web ? web->Tls : nullptr)
        , Web(std::move(web))
        , Buffer(State->Limits.MaxHeadBytes)
    {
    }

    void Start() override
    {
        // The handshake and the first head share one deadline: a peer that never finishes
        // the handshake is closed like a silent one.
        Arm();
        if constexpr (IsTls) {
            Stream.async_handshake(asio::ssl::stream_base::server,
                                   [self = this->shared_from_this()](const std::error_code& error) {
                                       if (error || self->Closed) {
                                           self->Close();
                                           return;
                                       }
                                       self->NewRequest();
                                       self->Parse();
                                   });
        } else {
            NewRequest();
            Parse();
        }
    }

    void Close() override
    {
        Closed = true;
        Gone->store(true);
        std::error_code ignored;
        auto& socket = Stream.lowest_layer();
        socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
        Deadline.cancel();
    }

private:
    void NewRequest()
    {
        Parser.emplace();
        Parser->header_limit(static_cast<std::uint32_t>(State->Limits.MaxHeadBytes));
        Parser->body_limit(0);
        HeadBytes = 0;
    }

    // One deadline for the whole head, not per read: a client that sends a byte a second
    // is closed all the same.
    void Arm()
    {
        Deadline.expires_after(State->Limits.Timeout);
        Deadline.async_wait([self = this->shared_from_this()](const std::error_code& error) {
            if (!error)
                self->Close();
        });
    }

    void Read()
    {
        Stream.async_read_some(
            asio::buffer(Buffer.data() + Used, Buffer.size() - Used),
            [self = this->shared_from_this()](const std::error_code& error, std::size_t count) {
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
        Busy = true;
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
        State->WithCurrentWeb([self = this->shared_from_this()] { self->Judge(); });
    }

    void Judge()
    {
        if (Closed)
            return;
        Web = State->CurrentWeb();
        // A request is judged by the configuration in force; one that changed the transport
        // (TLS on or off, other certificates or client checks) cannot be met on this
        // connection, so the client reconnects under it.
        if ((Web ? Web->Tls : nullptr) != AcceptedTls) {
            Close();
            return;
        }
        if (Web && Web->Auth) {
            Authorize();
            return;
        }
        Route();
    }

    void Authorize()
    {
        const auto& request = Parser->get();
        const auto field = request[http::field::authorization];
        auto credentials = ParseBasicAuthorization(std::string_view(field.data(), field.size()));
        if (!credentials) {
            Reply(401, request.keep_alive());
            return;
        }
        if (Web->Auth->Verified(*credentials)) {
            Route();
            return;
        }
        // Past the bound, waiting would outlast the deadline anyway: say so at once.
        if (State->PendingChecks >= State->Limits.MaxPendingChecks || !State->Checker ||
            !State->Checks.Take(Peer, TClock::now())) {
            Reply(429, request.keep_alive());
            return;
        }
        // bcrypt runs on the exporter's own thread so the loop (and the collection's tick)
        // never waits for it; the answer comes back to the loop.
        Arm();
        ++State->PendingChecks;
        auto done = [self = this->shared_from_this(), auth = Web->Auth,
                     credentials = *credentials](std::optional<bool> matches) mutable {
            --self->State->PendingChecks;
            if (self->Closed || !matches)
                return;
            if (*matches && auth->Knows(credentials.User))
                auth->Remember(credentials);
            // A re-read while bcrypt ran: judged again under the configuration now in force.
            if (self->State->CurrentWeb() != self->Web) {
                self->Judge();
                return;
            }
            if (*matches && auth->Knows(credentials.User))
                self->Route();
            else
                self->Reply(401, self->Parser->get().keep_alive());
        };
        asio::post(*State->Checker, [hash = Web->Auth->HashFor(credentials->User),
                                     password = std::move(credentials->Password), gone = Gone,
                                     loop = Stream.get_executor(),
                                     done = std::move(done)]() mutable {
            // A client that has hung up (or was timed out) while queued costs no hashing.
            std::optional<bool> matches;
            if (!gone->load())
                matches = BcryptMatches(hash, password);
            asio::post(loop, [done = std::move(done), matches]() mutable { done(matches); });
        });
    }

    void Route()
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
        if (status == 401)
            Head += "WWW-Authenticate: Basic realm=\"statlume\", charset=\"UTF-8\"\r\n";
        if (status == 429)
            Head += "Retry-After: 1\r\n";
        if (Web)
            Head += Web->ExtraHeaders;
        // An HTTP/1.0 client keeps the connection only when told so; else it waits for the
        // close.
        if (keepAlive && Parser->get().version() < 11)
            Head += "Connection: keep-alive\r\n";
        Head += keepAlive ? "\r\n" : "Connection: close\r\n\r\n";
        const std::array<asio::const_buffer, 2> buffers = {
            asio::buffer(Head), headOnly ? asio::const_buffer() : asio::buffer(*Body)};
        Arm();
        asio::async_write(Stream, buffers,
                          [self = this->shared_from_this(), keepAlive](const std::error_code& error,
                                                                       std::size_t) {
                              if (error || !keepAlive || self->Closed) {
                                  self->Close();
                                  return;
                              }
                              self->Busy = false;
                              self->Answered = true;
                              self->IdleSince = TClock::now();
                              self->Arm();
                              self->NewRequest();
                              self->Parse();
                          });
    }

    TStream Stream;
    asio::steady_timer Deadline;
    std::shared_ptr<TMetricsExporter::TState> State;
    /// The TLS context the connection was accepted under; nothing: plain.
    std::shared_ptr<asio::ssl::context> AcceptedTls;
    /// The web configuration of the request being answered; nothing: plain, open.
    std::shared_ptr<const TWebSetup> Web;
    std::vector<char> Buffer;
    std::size_t Used = 0;
    /// Bytes of the current request's head taken by the parser so far.
    std::size_t HeadBytes = 0;
    std::optional<http::request_parser<http::empty_body>> Parser;
    std::string Head;
    std::shared_ptr<const std::string> Body;
};

std::vector<std::shared_ptr<TConnectionBase>> TMetricsExporter::TState::Live()
{
    std::vector<std::shared_ptr<TConnectionBase>> live;
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

bool TMetricsExporter::TState::MakeRoomFor(const TPeerAddress& peer)
{
    const auto live = Live();
    std::map<TPeerAddress, std::size_t> perPeer;
    for (const auto& connection : live)
        ++perPeer[connection->PeerAddress()];
    const bool peerFull = perPeer[peer] >= Limits.MaxPerPeer;
    if (!peerFull && live.size() < Limits.MaxConnections)
        return true;
    // A scraper in use is never closed for a newcomer: at a peer's share that would have each
    // newcomer close one being served, which reconnects and closes the next. A fresh one gets
    // the grace time to send its request.
    const auto now = TClock::now();
    std::shared_ptr<TConnectionBase> victim;
    const auto rank = [&](const auto& connection) {
        return std::pair(perPeer[connection->PeerAddress()], connection->IdleFor(now));
    };
    for (const auto& connection : live) {
        if (connection->InUse(now) || (peerFull && (connection->PeerAddress() != peer ||
                                                    connection->IdleFor(now) < Limits.IdleGrace)))
            continue;
        if (!victim || rank(connection) > rank(victim))
            victim = connection;
    }
    if (!victim)
        return false;
    victim->Close();
    return true;
}

void TMetricsExporter::TState::WithCurrentWeb(std::function<void()> then)
{
    auto job = Web ? Web->Due(TClock::now()) : std::nullopt;
    if (job && !Checker)
        Web->Apply(TWebSetupSource::Reread(*job), *Err);
    if (!Web || !Web->Rereading()) {
        then();
        return;
    }
    AfterReread.push_back(std::move(then));
    if (!job || !Checker)
        return;
    // Parsing a large file takes a while: never on the loop, which serves and collects.
    asio::post(*Checker,
               [job = std::move(*job), state = weak_from_this(), loop = Io.get_executor()]() {
                   auto result = TWebSetupSource::Reread(job);
                   asio::post(loop, [state, result = std::move(result)]() mutable {
                       const auto alive = state.lock();
                       if (!alive)
                           return;
                       alive->Web->Apply(std::move(result), *alive->Err);
                       for (auto& waiting : std::exchange(alive->AfterReread, {}))
                           waiting();
                   });
               });
}

TMetricsExporter::TMetricsExporter(asio::io_context& io, std::string version,
                                   TExporterLimits limits)
    : Io(io)
    , Acceptor(io)
    , AcceptRetry(io)
    , State(std::make_shared<TState>(io))
{
    State->Version = std::move(version);
    State->Limits = limits;
}

TMetricsExporter::~TMetricsExporter()
{
    std::error_code ignored;
    Acceptor.close(ignored);
    AcceptRetry.cancel();
    State->AfterReread.clear();
    for (const auto& weak : State->Open) {
        if (const auto connection = weak.lock())
            connection->Close();
    }
    // A check under way finishes (its answer goes to a closed connection); queued ones are
    // dropped.
    State->Checker.reset();
    if (Checker) {
        Checker->stop();
        Checker->join();
    }
}

void TMetricsExporter::UseWebConfig(TWebSetupSource source, std::ostream& err)
{
    State->Web = std::move(source);
    State->Err = &err;
    if (!Checker)
        Checker = std::make_unique<asio::thread_pool>(1);
    State->Checker = Checker->get_executor();
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
        const TPeerAddress peer = PeerOf(socket);
        if (!State->MakeRoomFor(peer)) {
            // Every connection is in use: the newcomer goes, the others keep being served.
            std::error_code ignored;
            socket.close(ignored);
            Accept();
            return;
        }
        // Under the configuration in force: a re-read under way is waited for, with no
        // further accepts meanwhile, so the wait holds one socket.
        State->WithCurrentWeb(
            [this, peer, waiting = std::make_shared<asio::ip::tcp::socket>(std::move(socket))] {
                Admit(std::move(*waiting), peer);
                Accept();
            });
    });
}

void TMetricsExporter::Admit(asio::ip::tcp::socket socket, const TPeerAddress& peer)
{
    std::shared_ptr<const TWebSetup> web = State->CurrentWeb();
    std::shared_ptr<TConnectionBase> connection;
    if (web && web->Tls) {
        auto& context = *web->Tls;
        connection = std::make_shared<TMetricsConnection<asio::ssl::stream<asio::ip::tcp::socket>>>(
            State, std::move(web), peer, std::move(socket), context);
    } else {
        connection = std::make_shared<TMetricsConnection<asio::ip::tcp::socket>>(
            State, std::move(web), peer, std::move(socket));
    }
    State->Open.push_back(connection);
    connection->Start();
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
