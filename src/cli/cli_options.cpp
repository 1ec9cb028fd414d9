#include "cli/cli_options.h"

#include <charconv>

namespace statlume {

namespace {

template <typename T> std::optional<T> ParseUnsigned(std::string_view text)
{
    T value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
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
        for (Index = 0; Index < Args.size(); ++Index) {
            const std::string& arg = Args[Index];
            if (arg.starts_with("--"))
                LongOption(arg);
            else
                ShortSwitch(arg);
        }
        return std::move(Options);
    }

private:
    void LongOption(std::string_view arg)
    {
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        std::optional<std::string_view> inlineValue;
        if (equals != std::string_view::npos)
            inlineValue = arg.substr(equals + 1);

        if (name == "--print")
            Options.Print = true;
        else if (name == "--once")
            Options.Once = true;
        else if (name == "--help")
            Options.Help = true;
        else if (name == "--version")
            Options.Version = true;
        else if (name == "--serve")
            Serve(inlineValue);
        else if (name == "--interval")
            Interval(Value(name, inlineValue));
        else if (name == "--template")
            Assign(Options.TemplateText, Value(name, inlineValue));
        else if (name == "--template-file")
            Assign(Options.TemplateFile, Value(name, inlineValue));
        else if (name == "--record")
            Assign(Options.RecordFile, Value(name, inlineValue));
        else if (name == "--dump-record")
            Assign(Options.DumpRecordFile, Value(name, inlineValue));
    }

    void ShortSwitch(std::string_view arg)
    {
        // The same switches as the window program's, read the same way.
        const std::string lower = AsciiLower(std::string(arg));
        if (lower == "-c")
            Options.ClientMode = true;
        else if (lower.starts_with("-i"))
            Options.ServerHost = lower.substr(2);
        else if (lower.starts_with("-p"))
            Options.ServerPort = PortOrDefault(lower.substr(2));
        else if (lower.starts_with("-d"))
            Options.Password = lower.substr(2);
    }

    // The value after "=", else the next argument; nothing (and an error) when there is none.
    std::optional<std::string_view> Value(std::string_view name,
                                          std::optional<std::string_view> inlineValue)
    {
        if (inlineValue)
            return inlineValue;
        if (Index + 1 < Args.size())
            return std::string_view(Args[++Index]);
        Options.Errors.push_back(std::string(name) + " needs a value");
        return std::nullopt;
    }

    static void Assign(std::optional<std::string>& field, std::optional<std::string_view> value)
    {
        if (value)
            field = std::string(*value);
    }

    void Interval(std::optional<std::string_view> value)
    {
        if (!value)
            return;
        const auto ms = ParseUnsigned<std::uint32_t>(*value);
        if (!ms) {
            Options.Errors.push_back("--interval needs a whole number of milliseconds, not \"" +
                                     std::string(*value) + "\"");
            return;
        }
        Options.IntervalMs = *ms;
    }

    void Serve(std::optional<std::string_view> value)
    {
        Options.Serve = true;
        if (!value)
            return;
        const auto port = ParseUnsigned<std::uint16_t>(*value);
        if (!port || *port == 0) {
            Options.Errors.push_back("--serve needs a port number from 1 to 65535, not \"" +
                                     std::string(*value) + "\"");
            return;
        }
        Options.ServePort = *port;
    }

    std::span<const std::string> Args;
    std::size_t Index = 0;
    TCliOptions Options;
};

} // namespace

TCliOptions ParseCliOptions(std::span<const std::string> args)
{
    return TParser(args).Run();
}

std::string CliHelpText()
{
    return "Usage: statlume-cli [options]\n"
           "Shows the system figures of a Statlume template on the console, serves them to\n"
           "other copies over TCP, or shows the figures of a remote copy.\n"
           "\n"
           "Modes:\n"
           "  (default)             console monitor: collect and print on every update\n"
           "  --serve[=PORT]        headless server: answer clients on PORT (default: the\n"
           "                        stored \"ServPort\", else 6130); every item is collected on\n"
           "                        every update; prints only with --print\n"
           "  -c -iHOST [-pPORT] [-dPASSWORD]\n"
           "                        console client of the server at HOST:PORT (port 6130 when\n"
           "                        -p is missing); prints each record received; add --serve\n"
           "                        to pass the received records on to other clients\n"
           "  --record FILE         render the 272-byte record in FILE instead of collecting\n"
           "\n"
           "Options:\n"
           "  --print               write the rendered lines on every update, each render\n"
           "                        followed by an empty line (the default outside --serve)\n"
           "  --once                monitor: collect, wait one update interval, collect, print\n"
           "                        once, exit; client: print the first record received, exit\n"
           "                        (status 1 when none came within 5 intervals, at least 5 s)\n"
           "  --interval MS         update interval in milliseconds (default: the stored\n"
           "                        \"Interval\", else 1000, or 2000 for a client)\n"
           "  --template TEXT       use TEXT as the template for this run (not stored)\n"
           "  --template-file FILE  the same, read from FILE\n"
           "  --dump-record FILE    write the 272-byte record to FILE after each collection\n"
           "                        (client: after each record received)\n"
           "  -dPASSWORD            password of the encrypted replies, lower-cased as the\n"
           "                        window program does (server: the stored \"Password\"\n"
           "                        wins when there is one)\n"
           "  --help                show this text\n"
           "  --version             show the version\n"
           "\n"
           "Options taking a value also accept --option=value. Without --template the stored\n"
           "\"FormatString\" is used, else the default template. Settings are read from\n"
           "$XDG_CONFIG_HOME/statlume/settings.reg (a client uses its own key per server);\n"
           "SIGINT and SIGTERM end the program and record the uptime there.\n"
           "Exit status: 0 done, 1 collection failure, no record (--once client) or a server\n"
           "that cannot listen, 2 bad input.\n";
}

} // namespace statlume
