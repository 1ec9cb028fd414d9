#include "cli/run_settings.h"

#include "remote/socket_layer.h"

namespace statlume {

std::uint32_t RunIntervalMs(const TCliOptions& options, const TStoredSettings& settings,
                            const platform::TReportFunc& report)
{
    if (options.IntervalMs)
        return *options.IntervalMs;
    // 0 would stop the clock: the records and the exported uptime would freeze.
    if (settings.Interval > 0)
        return static_cast<std::uint32_t>(settings.Interval);
    const std::uint32_t fallback = options.IsClient() ? 2000 : DefaultIntervalMs;
    if (report) {
        report("The stored \"Interval\" (" + std::to_string(settings.Interval) +
               ") is no interval; " + std::to_string(fallback) + " ms is used.");
    }
    return fallback;
}

std::optional<std::uint16_t> ServePortOf(const TCliOptions& options,
                                         const TStoredSettings& settings, std::string& message)
{
    if (options.ServePort)
        return options.ServePort;
    if (!IsValidPort(settings.ServPort)) {
        message = "the stored \"ServPort\" (" + std::to_string(settings.ServPort) +
                  ") is no TCP port (1 to 65535); give one with --serve=PORT";
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(settings.ServPort);
}

std::optional<std::string> StoredTemplateReadOnly(platform::TRegistry& registry,
                                                  const std::string& keyPath,
                                                  const platform::TReportFunc& report)
{
    return StoredTextReadOnly(registry, keyPath, "FormatString", report);
}

std::optional<std::string> StoredTextReadOnly(platform::TRegistry& registry,
                                              const std::string& keyPath, const std::string& name,
                                              const platform::TReportFunc& report)
{
    if (!registry.OpenKey(keyPath, false))
        return std::nullopt;
    try {
        auto text = registry.ReadString(name);
        registry.CloseKey();
        return text;
    } catch (const platform::TRegistryError& error) {
        registry.CloseKey();
        if (report)
            report(error.what());
        return std::nullopt;
    }
}

} // namespace statlume
