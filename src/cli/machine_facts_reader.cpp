#include "cli/machine_facts_reader.h"

#include <cctype>
#include <string_view>

#include "platform/linux/linux_figure_source.h"
#include "platform/linux/proc_file.h"

namespace statlume {

namespace {

std::optional<std::string> ReadText(const std::string& path)
{
    platform::TProcFile file(path);
    const auto text = file.Read();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

template <typename TVisit> void ForEachLine(std::string_view text, TVisit visit)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        visit(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
}

// "cpu0 ..." and on; the "cpu " line is the total.
std::optional<std::size_t> ProcessorCount(const std::string& procfs)
{
    const auto stat = ReadText(procfs + "/stat");
    if (!stat)
        return std::nullopt;
    std::size_t count = 0;
    ForEachLine(*stat, [&count](std::string_view line) {
        if (line.starts_with("cpu") && line.size() > 3 &&
            std::isdigit(static_cast<unsigned char>(line[3])) != 0)
            ++count;
    });
    return count;
}

// Every line after the two heading lines is "  name: counters".
std::optional<std::vector<std::string>> InterfaceNames(const std::string& procfs)
{
    const auto dev = ReadText(procfs + "/net/dev");
    if (!dev)
        return std::nullopt;
    std::vector<std::string> names;
    ForEachLine(*dev, [&names](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        std::string_view name = line.substr(0, colon);
        name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
        if (!name.empty() && name.find('|') == std::string_view::npos)
            names.emplace_back(name);
    });
    return names;
}

} // namespace

TMachineFacts ReadMachineFacts(const platform::TSystemRoots& roots, std::string driveLetters)
{
    TMachineFacts facts;
    facts.ProcessorCount = ProcessorCount(roots.Procfs);
    facts.Interfaces = InterfaceNames(roots.Procfs);
    platform::TLinuxFigureSource source(roots);
    if (const auto disks = source.ReadDisks()) {
        std::vector<std::string> names;
        for (const platform::TDiskCounters& device : disks->Devices)
            names.push_back(device.Name);
        facts.Disks = std::move(names);
    }
    std::vector<std::string> batteries;
    for (const platform::TBattery& battery : source.ReadBatteries())
        batteries.push_back(battery.Name);
    facts.Batteries = std::move(batteries);
    facts.GpuCount = source.ReadGpus(platform::TGpuChoice{.All = false, .Places = {}}).size();
    facts.DriveLetters = std::move(driveLetters);
    return facts;
}

} // namespace statlume
