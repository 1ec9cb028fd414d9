// Intel GPU busy time from the DRM clients' fdinfo in procfs, and the busy share it gives.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace statlume::platform {

/// Busy time of one DRM client, by engine class ("render", "video"): nanoseconds from i915
/// (drm-engine-*), or from xe cycles (drm-cycles-*) against the GPU's cycle count
/// (drm-total-cycles-*).
struct TDrmClient
{
    std::map<std::string, std::uint64_t, std::less<>> BusyNs;
    std::map<std::string, std::uint64_t, std::less<>> Cycles;
    std::map<std::string, std::uint64_t, std::less<>> TotalCycles;
    /// Engines of a class that run in parallel (drm-engine-capacity-*), 1 when not given.
    std::map<std::string, std::uint64_t, std::less<>> Capacity;
};

/// The DRM clients of one GPU, by client id.
using TDrmClients = std::map<std::uint64_t, TDrmClient>;

/// Adds the client an fdinfo text describes to clients[its drm-pdev], unless that client id
/// is there already (several descriptors may share one client); texts without drm-pdev,
/// drm-client-id or any busy figure add nothing.
void AddDrmClient(std::string_view fdinfoText, std::map<std::string, TDrmClients>& clients);

/// The DRM clients of every process under procfsRoot whose descriptors this user may read,
/// by PCI address; only descriptors that lead to /dev/dri/ are read. So a user sees only
/// the time of their own processes unless privileged.
std::map<std::string, TDrmClients> ScanDrmClients(const std::string& procfsRoot = "/proc");

/// Finds the DRM clients with a walk of every process now and then and, between walks, reads
/// only the descriptors the last walk found, so most reads cost a few files, not one readlink
/// per descriptor of the machine. A client that starts between walks is seen at the next.
class TDrmClientScanner
{
public:
    /// Reads under procfsRoot and walks every process at most once per walkEveryNs.
    explicit TDrmClientScanner(std::string procfsRoot = "/proc",
                               std::int64_t walkEveryNs = 5'000'000'000);

    /// The clients by PCI address at nowNs (monotonic, ns).
    std::map<std::string, TDrmClients> Scan(std::int64_t nowNs);

private:
    std::string Root;
    std::int64_t WalkEveryNs;
    std::optional<std::int64_t> LastWalkNs;
    /// "<pid>/fd/<n>" of the descriptors that led to /dev/dri/ at the last walk.
    std::vector<std::string> Descriptors;
};

/// The busy share of one GPU from successive scans of its clients.
class TIntelGpuBusy
{
public:
    /// The busiest engine class's share of the time since the previous scan, in % 0..100,
    /// counting only clients seen both times (one that went away or restarted adds nothing);
    /// empty on the first scan or when the clock did not advance. nowNs: monotonic, in ns.
    std::optional<double> Update(const TDrmClients& clients, std::int64_t nowNs);

private:
    TDrmClients Last;
    std::optional<std::int64_t> LastNs;
};

} // namespace statlume::platform
