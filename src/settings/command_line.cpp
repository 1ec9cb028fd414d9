#include "settings/command_line.h"

#include <charconv>
#include <string_view>

namespace statlume {

namespace {

// "--procfs DIR", "--procfs=DIR" and the same of "--sysfs", exact as "--x11" is; true when
// args[at] is one, at then being its folder, which is no switch of its own.
bool ReadRootSwitch(const std::vector<std::string>& args, std::size_t& at,
                    TClientSwitches& switches)
{
    const std::string_view arg = args[at];
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::optional<std::string>* folder = name == "--procfs"  ? &switches.GivenRoots.Procfs
                                         : name == "--sysfs" ? &switches.GivenRoots.Sysfs
                                                             : nullptr;
    if (folder == nullptr) {
        return false;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
        value = arg.substr(equals + 1);
    } else if (at + 1 < args.size()) {
        value = args[++at];
    }
    if (value.empty()) {
        if (switches.Error.empty()) {
            switches.Error = std::string(name) + " needs a folder";
        }
    } else {
        *folder = std::string(value);
    }
    return true;
}

} // namespace

std::vector<std::string> ArgumentsOf(int argc, const char* const* argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    return args;
}

TEntrySwitches ParseEntrySwitches(const std::vector<std::string>& args)
{
    TEntrySwitches switches;
    for (const std::string& arg : args) {
        if (arg == "-c" || arg == "-C") {
            switches.SkipInstanceTest = true;
        } else if (arg == "-?") {
            switches.ShowHelp = true;
            break;
        }
    }
    return switches;
}

std::string AsciiLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::uint16_t PortOrDefault(const std::string& text)
{
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    // A sign alone or before another sign is no number; from_chars takes '-' itself.
    if (digits.empty() || digits.front() == '+') {
        return DefaultServerPort;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value < 1 ||
        value > 65535) {
        return DefaultServerPort;
    }
    return static_cast<std::uint16_t>(value);
}

TClientSwitches ParseClientSwitches(const std::vector<std::string>& args)
{
    TClientSwitches switches;
    bool clientAsked = false;
    for (std::size_t at = 0; at < args.size(); ++at) {
        if (ReadRootSwitch(args, at, switches)) {
            continue;
        }
        const std::string arg = AsciiLower(args[at]);
        const std::string rest = arg.size() > 2 ? arg.substr(2) : std::string();
        if (arg == "-c") {
            clientAsked = true;
        } else if (arg.starts_with("-i")) {
            switches.Host = rest;
        } else if (arg.starts_with("-p")) {
            switches.Port = PortOrDefault(rest);
        } else if (arg.starts_with("-d")) {
            switches.Password = rest;
        } else if (arg.starts_with("-h")) {
            switches.HideIcon = true;
        }
    }
    switches.ClientMode = clientAsked && !switches.Host.empty();
    return switches;
}

} // namespace statlume
