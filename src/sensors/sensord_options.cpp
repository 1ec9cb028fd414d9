#include "sensors/sensord_options.h"

#include <charconv>
#include <cstdint>

#include "platform/sensor_block.h"
#include "sensors/hwmon_scan.h"

namespace statlume {

namespace {

std::optional<std::chrono::milliseconds> ParseInterval(std::string_view text)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 100 || value > 3600000)
        return std::nullopt;
    return std::chrono::milliseconds(value);
}

// Applies one option with a value; false with a message when the value is bad.
bool ApplyValue(TSensordOptions& options, std::string_view option, std::string_view value,
                std::string& error)
{
    if (option == "--root") {
        options.Root = std::string(value);
        return true;
    }
    if (option == "--name") {
        options.Name = std::string(value);
        if (!IsValidBlockName(value))
            error = "bad block name: " + std::string(value);
        return error.empty();
    }
    const auto interval = ParseInterval(value);
    if (!interval)
        error = "bad interval (100 to 3600000 ms): " + std::string(value);
    else
        options.Interval = *interval;
    return interval.has_value();
}

} // namespace

std::string SensordUsage()
{
    return "usage: statlume-sensord [options]\n"
           "  --root DIR       hardware monitoring folder (default /sys/class/hwmon)\n"
           "  --name NAME      shared memory block (default /$M$B$M$5$D$)\n"
           "  --interval MS    refresh interval, 100 to 3600000 (default 1000)\n"
           "  --once           publish once, keep the block and exit\n"
           "  --detach         run in the background\n"
           "  --help           this text\n";
}

bool IsValidBlockName(std::string_view name)
{
    return name.size() >= 2 && name.size() <= 251 && name.front() == '/' &&
           name.find('/', 1) == std::string_view::npos;
}

std::optional<TSensordOptions> ParseSensordOptions(std::span<const std::string_view> args,
                                                   std::string& error)
{
    TSensordOptions options;
    options.Root = std::string(DefaultHwmonRoot);
    options.Name = std::string(platform::SensorBlockName);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto arg = args[i];
        if (arg == "--once" || arg == "--detach" || arg == "--help") {
            (arg == "--once"     ? options.Once
             : arg == "--detach" ? options.Detach
                                 : options.Help) = true;
            continue;
        }
        const auto equals = arg.find('=');
        const auto option = arg.substr(0, equals);
        if (option != "--root" && option != "--name" && option != "--interval") {
            error = "unknown option: " + std::string(arg);
            return std::nullopt;
        }
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = "missing value for " + std::string(option);
            return std::nullopt;
        }
        if (!ApplyValue(options, option, value, error))
            return std::nullopt;
    }
    return options;
}

} // namespace statlume
