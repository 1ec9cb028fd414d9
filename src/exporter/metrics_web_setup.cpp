#include "exporter/metrics_web_setup.h"

#include <algorithm>
#include <utility>

#include "exporter/metrics_tls.h"
#include "exporter/metrics_web_config.h"
#include "platform/linux/regular_file.h"

#include <sys/stat.h>

namespace statlume {

namespace {

constexpr auto CheckEvery = std::chrono::seconds(1);

std::vector<TFileStamp> StampsOf(const std::vector<std::string>& paths)
{
    std::vector<TFileStamp> stamps;
    for (const auto& path : paths) {
        struct stat status
        {
        };
        TFileStamp stamp;
        if (::stat(path.c_str(), &status) == 0) {
            stamp = {status.st_dev, status.st_ino, status.st_size,
                     static_cast<long long>(status.st_ctim.tv_sec) * 1000000000LL +
                         status.st_ctim.tv_nsec};
        }
        stamps.push_back(stamp);
    }
    return stamps;
}

/// The configuration at path with the files it names (in watch), or nothing with reason;
/// previous lends its TLS context when neither the TLS settings nor their files changed.
std::shared_ptr<const TWebSetup> Build(const std::string& path,
                                       const std::shared_ptr<const TWebSetup>& previous,
                                       std::vector<std::string>& watch, std::string& reason)
{
    std::string why;
    const auto text = platform::ReadRegularFile(path, MaxWebConfigBytes, why);
    if (!text) {
        reason = "cannot read the web configuration " + path + ": " + why;
        return nullptr;
    }
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const auto config = ParseWebConfig(*text, slash == 0 ? "/" : folder, why);
    if (!config) {
        reason = "web configuration " + path + ": " + why;
        return nullptr;
    }
    auto setup = std::make_shared<TWebSetup>();
    watch = {path};
    if (config->Tls) {
        watch.push_back(config->Tls->CertFile);
        watch.push_back(config->Tls->KeyFile);
        if (!config->Tls->ClientCaFile.empty())
            watch.push_back(config->Tls->ClientCaFile);
        setup->TlsConfig = config->Tls;
        // Stamped before they are read: a change while reading makes the next re-read anew.
        setup->TlsStamps = StampsOf({watch.begin() + 1, watch.end()});
        // The same context keeps kept-alive TLS connections valid across a re-read that
        // changed only users or headers.
        if (previous && previous->Tls && previous->TlsConfig == setup->TlsConfig &&
            previous->TlsStamps == setup->TlsStamps) {
            setup->Tls = previous->Tls;
        } else {
            setup->Tls = MakeTlsContext(*config->Tls, why);
        }
        if (!setup->Tls) {
            reason = "web configuration " + path + ": " + why;
            return nullptr;
        }
    }
    if (!config->Users.empty())
        setup->Auth = std::make_shared<TBasicAuth>(config->Users);
    for (const auto& [name, value] : config->Headers)
        setup->ExtraHeaders += name + ": " + value + "\r\n";
    return setup;
}

} // namespace

std::optional<TWebSetupSource> TWebSetupSource::Load(const std::string& path, std::string& reason)
{
    TWebSetupSource source;
    source.Path = path;
    auto result = Reread({path, {path}, nullptr});
    if (!result.Setup) {
        reason = result.Reason;
        return std::nullopt;
    }
    source.Setup = std::move(result.Setup);
    source.Watched = std::move(result.Watched);
    source.Stamps = std::move(result.Stamps);
    source.Checked = TClock::now();
    return source;
}

std::optional<TWebReread> TWebSetupSource::Due(TClock::time_point now)
{
    if (ReadUnderWay || now - Checked < CheckEvery)
        return std::nullopt;
    Checked = now;
    if (StampsOf(Watched) == Stamps)
        return std::nullopt;
    ReadUnderWay = true;
    return TWebReread{Path, Watched, Setup};
}

TWebRereadResult TWebSetupSource::Reread(const TWebReread& job,
                                         const std::function<void()>& afterRead)
{
    TWebRereadResult result;
    for (int read = 0; read < 2; ++read) {
        // Stamps from before the read: a change made while reading is seen at the next check.
        auto before = StampsOf(job.Watched);
        std::vector<std::string> watch;
        result.Setup = Build(job.Path, job.Previous, watch, result.Reason);
        if (afterRead)
            afterRead();
        if (!result.Setup) {
            result.Watched = job.Watched;
            result.Stamps = std::move(before);
            return result;
        }
        result.Watched = std::move(watch);
        // A file named before keeps its stamp from before the read; one named only now is
        // stamped after it.
        result.Stamps = StampsOf(result.Watched);
        bool changed = false;
        for (std::size_t i = 0; i < result.Watched.size(); ++i) {
            const auto known = std::find(job.Watched.begin(), job.Watched.end(), result.Watched[i]);
            if (known == job.Watched.end())
                continue;
            const auto& stamp = before[static_cast<std::size_t>(known - job.Watched.begin())];
            changed = changed || result.Stamps[i] != stamp;
            result.Stamps[i] = stamp;
        }
        if (!changed)
            return result;
    }
    return result;
}

void TWebSetupSource::Apply(TWebRereadResult result, std::ostream& err)
{
    ReadUnderWay = false;
    if (!result.Setup) {
        Stamps = std::move(result.Stamps);
        err << "statlume-cli: " << result.Reason << "; the previous web configuration stays\n"
            << std::flush;
        return;
    }
    Setup = std::move(result.Setup);
    Watched = std::move(result.Watched);
    Stamps = std::move(result.Stamps);
}

void TWebSetupSource::Refresh(TClock::time_point now, std::ostream& err)
{
    if (auto job = Due(now))
        Apply(Reread(*job), err);
}

} // namespace statlume
