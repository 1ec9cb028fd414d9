#include "platform/linux/intel_gpu_busy.h"

#include <algorithm>
#include <memory>

#include "platform/linux/line_scan.h"
#include "platform/linux/small_file.h"

#include <dirent.h>
#include <fcntl.h>

namespace statlume::platform {

namespace {

constexpr std::size_t ClientLimit = 4096;
constexpr std::size_t ProcessLimit = 1 << 16;
constexpr std::size_t DescriptorLimit = 1 << 14;

struct TDirClose
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsNumber(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

// Calls visit with each all-digit entry of folder, at most limit of them.
template <typename TVisit>
void ForEachNumber(const std::string& folder, std::size_t limit, TVisit&& visit)
{
    const std::unique_ptr<DIR, TDirClose> dir(::opendir(folder.c_str()));
    if (!dir)
        return;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsNumber(entry->d_name))
            continue;
        if (++count > limit)
            return;
        visit(entry->d_name);
    }
}

// How much the counter named engine grew since before; empty when it is new or went back.
std::optional<double> Delta(const std::map<std::string, std::uint64_t, std::less<>>& before,
                            const std::string& engine, std::uint64_t now)
{
    const auto old = before.find(engine);
    if (old == before.end() || now < old->second)
        return std::nullopt;
    return static_cast<double>(now - old->second);
}

// A readlink is far cheaper than reading the fdinfo of every descriptor.
bool LeadsToDri(const std::string& descriptor)
{
    const auto target = ReadLinkTarget(descriptor);
    return target && target->starts_with("/dev/dri/");
}

std::string_view Stripped(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

void AddDrmClient(std::string_view fdinfoText, std::map<std::string, TDrmClients>& clients)
{
    std::string pdev;
    std::optional<std::uint64_t> id;
    TDrmClient client;
    ForEachLine(fdinfoText, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        const std::string_view key = line.substr(0, colon);
        std::string_view value = Stripped(line.substr(colon + 1));
        if (key == "drm-pdev") {
            pdev = value;
        } else if (key == "drm-client-id") {
            id = ParseUnsigned(value);
        } else if (key.starts_with("drm-engine-capacity-")) {
            if (const auto count = ParseUnsigned(value); count && *count > 0)
                client.Capacity[std::string(key.substr(20))] = *count;
        } else if (key.starts_with("drm-engine-") && value.ends_with(" ns")) {
            value.remove_suffix(3);
            if (const auto ns = ParseUnsigned(value))
                client.BusyNs[std::string(key.substr(11))] = *ns;
        } else if (key.starts_with("drm-cycles-")) {
            if (const auto cycles = ParseUnsigned(value))
                client.Cycles[std::string(key.substr(11))] = *cycles;
        } else if (key.starts_with("drm-total-cycles-")) {
            if (const auto cycles = ParseUnsigned(value))
                client.TotalCycles[std::string(key.substr(17))] = *cycles;
        }
    });
    if (pdev.empty() || !id || (client.BusyNs.empty() && client.Cycles.empty()))
        return;
    auto& gpu = clients[pdev];
    if (gpu.size() < ClientLimit)
        gpu.emplace(*id, std::move(client));
}

std::map<std::string, TDrmClients> ScanDrmClients(const std::string& procfsRoot)
{
    TDrmClientScanner scanner(procfsRoot);
    return scanner.Scan(0);
}

TDrmClientScanner::TDrmClientScanner(std::string procfsRoot, std::int64_t walkEveryNs)
    : Root(std::move(procfsRoot))
    , WalkEveryNs(walkEveryNs)
{
}

std::map<std::string, TDrmClients> TDrmClientScanner::Scan(std::int64_t nowNs)
{
    if (!LastWalkNs || nowNs - *LastWalkNs >= WalkEveryNs || nowNs < *LastWalkNs) {
        LastWalkNs = nowNs;
        Descriptors.clear();
        ForEachNumber(Root, ProcessLimit, [this](const char* pid) {
            const std::string folder = std::string(pid) + "/fd";
            ForEachNumber(Root + "/" + folder, DescriptorLimit, [&](const char* fd) {
                std::string descriptor = folder + "/" + fd;
                if (Descriptors.size() < ClientLimit && LeadsToDri(Root + "/" + descriptor))
                    Descriptors.push_back(std::move(descriptor));
            });
        });
    }
    std::map<std::string, TDrmClients> clients;
    std::erase_if(Descriptors, [&](const std::string& descriptor) {
        // The number may have been reused for another file since the walk.
        if (!LeadsToDri(Root + "/" + descriptor))
            return true;
        std::string info = Root + "/" + descriptor;
        info.replace(info.rfind("/fd/"), 4, "/fdinfo/");
        const auto text = ReadSmallFile(info);
        if (text)
            AddDrmClient(*text, clients);
        return !text;
    });
    return clients;
}

std::optional<double> TIntelGpuBusy::Update(const TDrmClients& clients, std::int64_t nowNs)
{
    const auto lastNs = LastNs;
    TDrmClients last = std::move(Last);
    Last = clients;
    LastNs = nowNs;
    if (!lastNs || nowNs <= *lastNs)
        return std::nullopt;
    // Per engine class: busy time (ns, or cycles) and the time it is a share of.
    std::map<std::string, std::pair<double, double>, std::less<>> busy;
    const double elapsed = static_cast<double>(nowNs - *lastNs);
    for (const auto& entry : clients) {
        const auto before = last.find(entry.first);
        if (before == last.end())
            continue;
        const TDrmClient& client = entry.second;
        const TDrmClient& old = before->second;
        const auto engines = [&client](const std::string& engine) {
            const auto capacity = client.Capacity.find(engine);
            return capacity == client.Capacity.end() ? 1.0 : static_cast<double>(capacity->second);
        };
        for (const auto& [engine, ns] : client.BusyNs) {
            const auto was = Delta(old.BusyNs, engine, ns);
            if (was) {
                busy[engine].first += *was / engines(engine);
                busy[engine].second = elapsed;
            }
        }
        for (const auto& [engine, cycles] : client.Cycles) {
            const auto total = client.TotalCycles.find(engine);
            const auto spent = Delta(old.Cycles, engine, cycles);
            const auto span = total == client.TotalCycles.end()
                                  ? std::nullopt
                                  : Delta(old.TotalCycles, engine, total->second);
            if (spent && span && *span > 0) {
                busy[engine].first += *spent / engines(engine);
                busy[engine].second = std::max(busy[engine].second, *span);
            }
        }
    }
    double busiest = 0;
    for (const auto& [engine, share] : busy)
        if (share.second > 0)
            busiest = std::max(busiest, share.first / share.second);
    return std::clamp(busiest * 100.0, 0.0, 100.0);
}

} // namespace statlume::platform
