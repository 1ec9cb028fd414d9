#include "cli/metrics_web_setup.h"

#include <utility>

#include "cli/metrics_tls.h"
#include "cli/metrics_web_config.h"
#include "cli/record_file.h"

#include <sys/stat.h>

namespace statlume {

namespace {

constexpr auto CheckEvery = std::chrono::seconds(1);

/// The configuration at path with the files it names (in watch), or nothing with reason.
std::shared_ptr<const TWebSetup> Build(const std::string& path, std::vector<std::string>& watch,
                                       std::string& reason)
{
    std::string why;
    const auto text = ReadTextFile(path, why);
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
        setup->Tls = MakeTlsContext(*config->Tls, why);
        if (!setup->Tls) {
            reason = "web configuration " + path + ": " + why;
            return nullptr;
        }
        watch.push_back(config->Tls->CertFile);
        watch.push_back(config->Tls->KeyFile);
        if (!config->Tls->ClientCaFile.empty())
            watch.push_back(config->Tls->ClientCaFile);
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
    std::vector<std::string> watch;
    source.Setup = Build(path, watch, reason);
    if (!source.Setup)
        return std::nullopt;
    source.Watched = std::move(watch);
    source.Stamps = StampsOf(source.Watched);
    source.Checked = TClock::now();
    return source;
}

void TWebSetupSource::Refresh(TClock::time_point now, std::ostream& err)
{
    if (now - Checked < CheckEvery)
        return;
    Checked = now;
    auto stamps = StampsOf(Watched);
    if (stamps == Stamps)
        return;
    Stamps = std::move(stamps);
    std::vector<std::string> watch;
    std::string reason;
    auto setup = Build(Path, watch, reason);
    if (!setup) {
        err << "statlume-cli: " << reason << "; the previous web configuration stays\n"
            << std::flush;
        return;
    }
    Setup = std::move(setup);
    Watched = std::move(watch);
    Stamps = StampsOf(Watched);
}

std::vector<TWebSetupSource::TStamp>
TWebSetupSource::StampsOf(const std::vector<std::string>& paths)
{
    std::vector<TStamp> stamps;
    for (const auto& path : paths) {
        struct stat status
        {
        };
        TStamp stamp;
        if (::stat(path.c_str(), &status) == 0) {
            stamp = {status.st_dev, status.st_ino, status.st_size,
                     static_cast<long long>(status.st_ctim.tv_sec) * 1000000000LL +
                         status.st_ctim.tv_nsec};
        }
        stamps.push_back(stamp);
    }
    return stamps;
}

} // namespace statlume
