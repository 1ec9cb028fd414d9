#include "sensors/hwmon_scan.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {

namespace {

namespace fs = std::filesystem;

/// A name cut into its text and trailing number, so "hwmon10" sorts after "hwmon2".
struct TNaturalKey
{
    std::string Text;
    std::uint64_t Number = 0;
    std::string Name;

    bool operator<(const TNaturalKey& other) const
    {
        return std::tie(Text, Number, Name) < std::tie(other.Text, other.Number, other.Name);
    }
};

TNaturalKey KeyOf(const std::string& name)
{
    const auto digits = name.find_last_not_of("0123456789") + 1;
    TNaturalKey key{name.substr(0, digits), 0, name};
    std::from_chars(name.data() + digits, name.data() + name.size(), key.Number);
    return key;
}

// kind + digits + "_input", for example temp3_input; returns the number.
std::optional<std::uint64_t> InputNumber(std::string_view name, std::string_view kind)
{
    constexpr std::string_view suffix = "_input";
    if (name.size() <= kind.size() + suffix.size() || !name.starts_with(kind) ||
        !name.ends_with(suffix))
        return std::nullopt;
    const auto digits = name.substr(kind.size(), name.size() - kind.size() - suffix.size());
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

std::vector<fs::path> InputsIn(const fs::path& folder, std::string_view kind)
{
    std::vector<std::pair<std::uint64_t, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (const auto number = InputNumber(it->path().filename().string(), kind))
            found.emplace_back(*number, it->path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (auto& entry : found)
        paths.push_back(std::move(entry.second));
    return paths;
}

std::vector<fs::path> Devices(const fs::path& root)
{
    std::vector<std::pair<TNaturalKey, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        std::error_code kindError;
        if (it->is_directory(kindError))
            found.emplace_back(KeyOf(it->path().filename().string()), it->path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (auto& entry : found)
        paths.push_back(std::move(entry.second));
    return paths;
}

// The first count inputs of one kind over all devices, in device order.
std::vector<fs::path> FirstInputs(const std::vector<fs::path>& devices, std::string_view kind,
                                  std::size_t count)
{
    std::vector<fs::path> inputs;
    for (const auto& device : devices) {
        auto own = InputsIn(device, kind);
        if (own.empty())
            own = InputsIn(device / "device", kind);
        for (auto& input : own) {
            if (inputs.size() == count)
                return inputs;
            inputs.push_back(std::move(input));
        }
    }
    return inputs;
}

std::int32_t ClampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

std::optional<std::int64_t> ReadSysfsNumber(const std::filesystem::path& file)
{
    // Regular files only, opened without blocking and bounded: a FIFO, a device or a large
    // file under a mistaken root must neither stall the publisher, nor be opened for its side
    // effects, nor make it read on; a sysfs number takes a few bytes. The type is looked at
    // before the open (a device's open may act) and again on what was opened.
    struct stat info
    {
    };
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const platform::TUniqueFd fd(
        ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    std::array<char, 64> buffer{};
    ssize_t got = 0;
    do {
        got = ::read(fd.Get(), buffer.data(), buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0 || static_cast<std::size_t>(got) == buffer.size())
        return std::nullopt;
    const std::string_view text(buffer.data(), static_cast<std::size_t>(got));
    const auto first = text.find_first_not_of(" \t\n");
    const auto last = text.find_last_not_of(" \t\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    std::int64_t value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::int32_t MilliToDegrees(std::int64_t milli)
{
    // Clamped first so the rounding below cannot overflow.
    constexpr std::int64_t limit = std::int64_t{1} << 40;
    milli = std::clamp(milli, -limit, limit);
    const std::int64_t degrees = milli >= 0 ? (milli + 500) / 1000 : -((-milli + 500) / 1000);
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(degrees, std::numeric_limits<std::int16_t>::min(),
                                 std::numeric_limits<std::int16_t>::max()));
}

TSensorReadings ScanHwmon(const std::filesystem::path& root)
{
    const auto devices = Devices(root);
    TSensorReadings readings;
    const auto temps = FirstInputs(devices, "temp", readings.Temps.size());
    for (std::size_t i = 0; i < temps.size(); ++i)
        readings.Temps[i] = MilliToDegrees(ReadSysfsNumber(temps[i]).value_or(0));
    const auto fans = FirstInputs(devices, "fan", readings.Fans.size());
    for (std::size_t i = 0; i < fans.size(); ++i)
        readings.Fans[i] = ClampToInt32(ReadSysfsNumber(fans[i]).value_or(0));
    return readings;
}

} // namespace statlume
