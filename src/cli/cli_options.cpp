#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>

namespace statlume {

namespace {

/// The most connections --max-clients accepts.
constexpr std::size_t MaxClientsLimit = 65536;
/// The longest host text -i accepts (a DNS name is at most 253 characters).
constexpr std::size_t MaxHostLength = 255;
/// How much of an argument an error message repeats.
constexpr std::size_t QuotedLength = 60;

template <typename T> std::optional<T> ParseUnsigned(std::string_view text)
{
    T value = 0;
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// An argument as an error message repeats it: shortened, and never a control character
// that could drive the terminal.
std::string Quoted(std::string_view text)
{
    std::string shown(text.substr(0, QuotedLength));
    std::replace_if(shown.begin(), shown.end(), IsControl, '?');
    if (text.size() > QuotedLength)
        shown += "...";
    return "'" + shown + "'";
}

// A host that can never name a server, or would make a bad settings key.
bool IsHostText(std::string_view host)
{
    return !host.empty() && host.size() <= MaxHostLength && host.front() != '-' &&
           std::none_of(host.begin(), host.end(),
                        [](char c) { return IsControl(c) || c == ' ' || c == '\\'; });
}

class TParser
{
public:
    explicit TParser(std::span<const std::string> arguments)
        : Args(arguments)
    {
    }

    TCliOptions Run()
    {
        for (Index = 0; Index < Args.size() && Options.Error.empty(); ++Index) {
            const std::string& arg = Args[Index];
            if (arg.starts_with("--"))
                LongOption(arg);
            else if (arg.size() > 1 && arg.front() == '-')
                ShortOption(arg);
            else
                Fail("unexpected argument " + Quoted(arg));
        }
        if (Options.Error.empty())
            CheckConflicts();
        return std::move(Options);
    }

private:
    void Fail(std::string message)
    {
        if (Options.Error.empty())
            Options.Error = std::move(message);
    }

    void LongOption(std::string_view arg)
    {
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        std::optional<std::string_view> inlineValue;
        if (equals != std::string_view::npos)
            inlineValue = arg.substr(equals + 1);

        if (name == "--print" || name == "--once" || name == "--help" || name == "--version" ||
            name == "--json" || name == "--list-items" || name == "--check-template")
            Flag(name, inlineValue);
        else if (name == "--one-line")
            OneLine(inlineValue);
        else if (name == "--metrics")
            Metrics(Value(name, inlineValue));
        else if (name == "--metrics-web-config")
            FileName(Options.MetricsWebConfig, name, inlineValue);
        else if (name == "--describe")
            Assign(Options.Describe, Value(name, inlineValue));
        else if (name == "--serve")
            Serve(inlineValue);
        else if (name == "--interval")
            Interval(Value(name, inlineValue));
        else if (name == "--template")
            Assign(Options.TemplateText, Value(name, inlineValue));
        else if (name == "--template-file")
            FileName(Options.TemplateFile, name, inlineValue);
        else if (name == "--record")
            FileName(Options.RecordFile, name, inlineValue);
        else if (name == "--dump-record")
            FileName(Options.DumpRecordFile, name, inlineValue);
        else if (name == "--password-file")
            FileName(Options.PasswordFile, name, inlineValue);
        else if (name == "--procfs")
            FileName(Options.GivenRoots.Procfs, name, inlineValue, "a folder");
        else if (name == "--sysfs")
            FileName(Options.GivenRoots.Sysfs, name, inlineValue, "a folder");
        else if (name == "--bind")
            Bind(Value(name, inlineValue));
        else if (name == "--allow")
            Allow(Value(name, inlineValue));
        else if (name == "--max-clients")
            MaxClients(Value(name, inlineValue));
        else if (name == "--max-per-address")
            MaxPerAddress(Value(name, inlineValue));
        else
            Fail("unknown option " + Quoted(name));
    }

    void Flag(std::string_view name, std::optional<std::string_view> inlineValue)
    {
        if (inlineValue) {
            Fail(std::string(name) + " takes no value");
            return;
        }
        if (name == "--print")
            Options.Print = true;
        else if (name == "--once")
            Options.Once = true;
        else if (name == "--help")
            Options.Help = true;
        else if (name == "--json")
            Style(TOutputStyle::Json);
        else if (name == "--list-items")
            Options.ListItems = true;
        else if (name == "--check-template")
            Options.CheckTemplate = true;
        else
            Options.Version = true;
    }

    void Style(TOutputStyle style)
    {
        if (Options.Style != TOutputStyle::Lines && Options.Style != style)
            Fail("--json and --one-line cannot be used together");
        Options.Style = style;
    }

    // The separator only after "=": a bar's command line often ends in other words.
    void OneLine(std::optional<std::string_view> separator)
    {
        Style(TOutputStyle::OneLine);
        if (!separator)
            return;
        if (std::any_of(separator->begin(), separator->end(), IsControl)) {
            Fail("--one-line needs a separator without control characters, not " +
                 Quoted(*separator));
            return;
        }
        Options.Separator = std::string(*separator);
    }

    void Metrics(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        Options.Metrics = ParseMetricsEndpoint(*value);
        if (!Options.Metrics)
            Fail("--metrics needs [ADDRESS:]PORT with a port from 1 to 65535 (9100, "
                 "127.0.0.1:9100, [::1]:9100), not " +
                 Quoted(*value));
    }

    // The window program's switches, read the same way (either case, value glued), and
    // also with the value as the next argument; "-h" and "-V" as console tools have them.
    void ShortOption(const std::string& arg)
    {
        if (arg == "-h") {
            Options.Help = true;
            return;
        }
        if (arg == "-V") {
            Options.Version = true;
            return;
        }
        const std::string lower = AsciiLower(arg);
        if (lower == "-c") {
            Options.ClientMode = true;
            return;
        }
        const std::string_view kind = std::string_view(lower).substr(0, 2);
        if (kind != "-i" && kind != "-p" && kind != "-d") {
            Fail("unknown option " + Quoted(arg));
            return;
        }
        TArgumentSecret where{Index, 2};
        std::string value = lower.substr(2);
        if (value.empty()) {
            if (Index + 1 >= Args.size()) {
                Fail(std::string(kind) + (kind == "-i"   ? " needs a server name or address"
                                          : kind == "-p" ? " needs a port number"
                                                         : " needs a password"));
                return;
            }
            where = {++Index, 0};
            value = AsciiLower(Args[Index]);
        }
        if (kind == "-i")
            Host(value);
        else if (kind == "-p")
            Port(value);
        else {
            Options.Password = std::move(value);
            Options.Secrets.push_back(where);
        }
    }

    void Host(const std::string& host)
    {
        if (!IsHostText(host)) {
            Fail("-i needs a server name or address, not " + Quoted(host));
            return;
        }
        Options.ServerHost = host;
        HostGiven = true;
    }

    void Port(std::string_view text)
    {
        const auto port = ParseUnsigned<std::uint16_t>(text);
        if (!port || *port == 0) {
            Fail("-p needs a port number from 1 to 65535, not " + Quoted(text));
            return;
        }
        Options.ServerPort = *port;
        PortGiven = true;
    }

    // The value after "=", else the next argument; nothing (and an error) when there is none.
    std::optional<std::string_view> Value(std::string_view name,
                                          std::optional<std::string_view> inlineValue)
    {
        if (inlineValue)
            return inlineValue;
        if (Index + 1 < Args.size())
            return std::string_view(Args[++Index]);
        Fail(std::string(name) + " needs a value");
        return std::nullopt;
    }

    static void Assign(std::optional<std::string>& field, std::optional<std::string_view> value)
    {
        if (value)
            field = std::string(*value);
    }

    // A path that must not be empty; what says what kind ("a file name", "a folder").
    void FileName(std::optional<std::string>& field, std::string_view name,
                  std::optional<std::string_view> inlineValue,
                  std::string_view what = "a file name")
    {
        const auto value = Value(name, inlineValue);
        if (value && value->empty())
            Fail(std::string(name) + " needs " + std::string(what));
        else
            Assign(field, value);
    }

    void Interval(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        const auto ms = ParseUnsigned<std::uint32_t>(*value);
        if (!ms || *ms == 0) {
            Fail("--interval needs a whole number of milliseconds from 1 up, not " +
                 Quoted(*value));
            return;
        }
        Options.IntervalMs = *ms;
    }

    // The port is optional: after "=", or as the next argument when that is a number.
    void Serve(std::optional<std::string_view> value)
    {
        Options.Serve = true;
        if (!value && Index + 1 < Args.size() && !Args[Index + 1].empty() &&
            std::all_of(Args[Index + 1].begin(), Args[Index + 1].end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            value = Args[++Index];
        if (!value)
            return;
        const auto port = ParseUnsigned<std::uint16_t>(*value);
        if (!port || *port == 0) {
            Fail("--serve needs a port number from 1 to 65535, not " + Quoted(*value));
            return;
        }
        Options.ServePort = *port;
    }

    void Bind(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        if (value->find('/') != std::string_view::npos || !ParseCidr(*value)) {
            Fail("--bind needs an IPv4 or IPv6 address, not " + Quoted(*value));
            return;
        }
        std::string address(*value);
        if (address.size() > 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        Options.Limits.BindAddress = std::move(address);
        LimitGiven = true;
    }

    void Allow(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        std::string badItem;
        auto ranges = ParseCidrList(*value, badItem);
        if (!ranges || ranges->empty()) {
            Fail("--allow needs address ranges (ADDR or ADDR/BITS, comma-separated), not " +
                 Quoted(ranges ? *value : badItem));
            return;
        }
        Options.Limits.Allow.insert(Options.Limits.Allow.end(), ranges->begin(), ranges->end());
        LimitGiven = true;
    }

    void MaxClients(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        const auto count = ParseUnsigned<std::size_t>(*value);
        if (!count || *count == 0 || *count > MaxClientsLimit) {
            Fail("--max-clients needs a number from 1 to " + std::to_string(MaxClientsLimit) +
                 ", not " + Quoted(*value));
            return;
        }
        Options.Limits.MaxClients = *count;
        LimitGiven = true;
    }

    void MaxPerAddress(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        const auto count = ParseUnsigned<std::size_t>(*value);
        if (!count || *count == 0 || *count > MaxClientsLimit) {
            Fail("--max-per-address needs a number from 1 to " + std::to_string(MaxClientsLimit) +
                 ", not " + Quoted(*value));
            return;
        }
        Options.Limits.MaxPerAddress = *count;
        LimitGiven = true;
    }

    void CheckConflicts()
    {
        const TCliOptions& o = Options;
        const bool password = o.Password || o.PasswordFile;
        if (o.RecordFile && (o.ClientMode || o.Serve || o.DumpRecordFile))
            Fail("--record renders a saved record: it cannot be used with -c, --serve or "
                 "--dump-record");
        else if (o.TemplateText && o.TemplateFile)
            Fail("--template and --template-file cannot be used together");
        else if (o.Once && o.Serve)
            Fail("--once cannot be used with --serve");
        else if (o.ClientMode && o.ServerHost.empty())
            Fail("-c needs a server: -iHOST");
        else if (!o.ClientMode && (HostGiven || PortGiven))
            Fail("-i and -p name the server of a client: add -c (to serve on a port, use "
                 "--serve PORT)");
        else if (o.Password && o.PasswordFile)
            Fail("-d and --password-file cannot be used together");
        else if (password && !o.ClientMode && !o.Serve)
            Fail("a password is for a client (-c) or a server (--serve)");
        else if (LimitGiven && !o.Serve)
            Fail("--bind, --allow, --max-clients and --max-per-address need --serve");
        else if (int(o.ListItems) + int(o.Describe.has_value()) + int(o.CheckTemplate) > 1)
            Fail("--list-items, --describe and --check-template cannot be used together");
        else if (o.MetricsWebConfig && !o.Metrics)
            Fail("--metrics-web-config needs --metrics");
        else if (o.Metrics && (o.Once || o.RecordFile))
            Fail("--metrics serves a running program: it cannot be used with --once or "
                 "--record");
        else if (o.Style != TOutputStyle::Lines && o.RecordFile)
            Fail("--json and --one-line cannot be used with --record");
    }

    std::span<const std::string> Args;
    std::size_t Index = 0;
    TCliOptions Options;
    bool HostGiven = false;
    bool PortGiven = false;
    bool LimitGiven = false;
};

} // namespace

std::optional<TMetricsEndpoint> ParseMetricsEndpoint(std::string_view text)
{
    TMetricsEndpoint endpoint;
    std::string_view portText = text;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view address = text.substr(0, colon);
        portText = text.substr(colon + 1);
        if (address.size() > 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        else if (address.find(':') != std::string_view::npos)
            return std::nullopt; // an IPv6 address needs its brackets before ":PORT"
        if (address.find('/') != std::string_view::npos || !ParseCidr(address))
            return std::nullopt;
        endpoint.Address = std::string(address);
    }
    const auto port = ParseUnsigned<std::uint16_t>(portText);
    if (!port || *port == 0)
        return std::nullopt;
    endpoint.Port = *port;
    return endpoint;
}

TCliOptions ParseCliOptions(std::span<const std::string> args)
{
    return TParser(args).Run();
}

void ScrubSecrets(std::span<char* const> args, std::span<const TArgumentSecret> secrets)
{
    for (const TArgumentSecret& secret : secrets) {
        if (secret.Argument >= args.size() || args[secret.Argument] == nullptr)
            continue;
        char* text = args[secret.Argument];
        const std::size_t length = std::char_traits<char>::length(text);
        for (std::size_t i = secret.Offset; i < length; ++i)
            text[i] = 'x';
    }
}

std::string CliHelpText()
{
    return "Usage: statlume-cli [options]\n"
           "Shows the system figures of a Statlume template on the console, serves them to\n"
           "other copies over TCP, or shows the figures of a remote copy.\n"
           "\n"
           "Modes:\n"
           "  (default)             console monitor: collect and print on every update\n"
           "  --serve[=PORT], --serve PORT\n"
           "                        headless server: answer clients on PORT (default: the\n"
           "                        stored \"ServPort\", else 6130); every item is collected on\n"
           "                        every update; prints only with --print\n"
           "  -c -iHOST [-pPORT] [-dPASSWORD]\n"
           "                        console client of the server at HOST:PORT (port 6130 when\n"
           "                        -p is missing); prints the latest record received, at most\n"
           "                        once per update; add --serve to pass the received records\n"
           "                        on to other clients\n"
           "  --record FILE         render the 272-byte record in FILE instead of collecting\n"
           "\n"
           "Options:\n"
           "  --print               write the rendered lines on every update, each render\n"
           "                        followed by an empty line (the default outside --serve)\n"
           "  --once                monitor: collect, wait one update interval, collect, print\n"
           "                        once, exit; client: print the first record received, exit\n"
           "                        (status 1 when none came within 5 intervals, at least 5 s)\n"
           "  --interval MS         update interval in milliseconds, 1 or more (default: the\n"
           "                        stored \"Interval\", else 1000, or 2000 for a client)\n"
           "  --template TEXT       use TEXT as the template for this run (not stored)\n"
           "  --template-file FILE  the same, read from FILE (a regular file)\n"
           "  --dump-record FILE    write the 272-byte record to FILE after each collection\n"
           "                        (client: after each record shown); a failed write ends\n"
           "                        the run with status 1\n"
           "  -i HOST, -p PORT      the server of a client (also glued: -iHOST, -pPORT);\n"
           "                        HOST: a name, IPv4 or IPv6 address (-i::1, -i[::1])\n"
           "  -d PASSWORD           password of the encrypted replies (also glued:\n"
           "                        -dPASSWORD), lower-cased as the window program does; it\n"
           "                        wins over the stored \"Password\" of a server. Other local\n"
           "                        users can see it in the process list while the program\n"
           "                        starts: prefer --password-file or STATLUME_PASSWORD\n"
           "  --password-file FILE  read the password from the first line of FILE, which\n"
           "                        must be yours and not open to others (chmod 600)\n"
           "  --bind ADDR           server: listen on this address only (default: every\n"
           "                        address, IPv4 and IPv6)\n"
           "  --allow CIDR[,CIDR...]\n"
           "                        server: serve only peers in these address ranges\n"
           "  --max-clients N       server: keep at most N connections (default 256); the\n"
           "                        longest idle one of the address holding the most is\n"
           "                        closed to admit a newcomer\n"
           "  --max-per-address N   server: keep at most N connections from one address\n"
           "                        (an IPv6 /64 counts as one; default 16); a newcomer\n"
           "                        beyond closes that address's longest idle one. A\n"
           "                        connection silent for 60 s is closed, keepalive finds\n"
           "                        lost peers, and a reply is dropped while the last one\n"
           "                        to that client is still unsent\n"
           "  --metrics=[ADDR:]PORT serve the latest figures on http://ADDR:PORT/metrics in the\n"
           "                        Prometheus text format (default: every address), with the\n"
           "                        monitor, --serve or -c (then the server's figures and\n"
           "                        statlume_up); prints nothing unless --print is given too\n"
           "  --metrics-web-config=FILE\n"
           "                        TLS, bcrypt passwords and extra headers for --metrics from\n"
           "                        a Prometheus exporter web configuration (YAML); read again\n"
           "                        when it or a file it names changes\n"
           "  --json                status bars: one JSON object per update on one line, with\n"
           "                        \"text\" (first line), \"tooltip\" (all lines) and \"class\"\n"
           "                        (\"alert\" while a client cannot reach its server;\n"
           "                        \"warning\" or \"critical\" from WARN= and CRIT=), and\n"
           "                        \"percentage\" from the first line's first item with a\n"
           "                        maximum and one of the options BAR= GRAPH= WARN= CRIT=\n"
           "  --one-line[=SEP]      status bars: each update as one line, the lines joined by\n"
           "                        SEP (default \" | \")\n"
           "  --list-items          list the items: tag name, options, default usage\n"
           "  --describe NAME       show the help text of one item (tag or display name)\n"
           "  --check-template      report the template's tags that name no item, with a\n"
           "                        suggestion, and BAR=, GRAPH=, WARN=, CRIT= or COLOR=\n"
           "                        options that are malformed or ignored; exit status 1\n"
           "                        when there is one\n"
           "  --procfs DIR          collect from the procfs at DIR instead of /proc: a host's\n"
           "                        /proc mounted elsewhere in a container, or a copy\n"
           "  --sysfs DIR           the same for the sysfs at DIR instead of /sys\n"
           "  -h, --help            show this text\n"
           "  -V, --version         show the version\n"
           "\n"
           "Options taking a value also accept --option=value. Without --template the stored\n"
           "\"FormatString\" is used, else the default template. Settings are read from\n"
           "$XDG_CONFIG_HOME/statlume/settings.reg (a client uses its own key per server);\n"
           "SIGINT and SIGTERM end the program and record the uptime there. SIGHUP reads\n"
           "the template, interval, exclusions and drive map again (options given on the\n"
           "command line stay as given).\n"
           "--once and --record only read the settings. The settings folder must be yours\n"
           "and not writable by others (chmod 700), else the defaults are used and nothing\n"
           "is saved.\n"
           "\n"
           "Environment:\n"
           "  STATLUME_PASSWORD     the password of a client or server when neither -d nor\n"
           "                        --password-file is given\n"
           "\n"
           "Exit status: 0 done, 1 a failure at run time (collection, no record for --once,\n"
           "a server that cannot listen, a record file that cannot be written), 2 bad usage\n"
           "or bad input files.\n";
}

} // namespace statlume
