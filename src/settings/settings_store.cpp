#include "settings/settings_store.h"

#include <algorithm>
#include <utility>

#include "format/default_template.h"
#include "settings/uptime_records.h"

namespace statlume {

bool IsValidServerHost(std::string_view host)
{
    // The key name is host ":" port, and a port takes up to five digits.
    constexpr std::size_t portRoom = 6;
    return !host.empty() && host.size() + portRoom <= platform::MaxKeyNameLength &&
           std::none_of(host.begin(), host.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return c == '\\' || byte < 0x20 || byte == 0x7f;
           });
}

std::optional<std::string> PerServerKeyPath(std::string_view host, std::uint16_t port)
{
    if (!IsValidServerHost(host)) {
        return std::nullopt;
    }
    return std::string(MainSettingsKey) + "\\" + AsciiLower(std::string(host)) + ":" +
           std::to_string(port);
}

std::string TemplateTextOf(const TStoredSettings& settings, const TFormatterList& formatters)
{
    return settings.FormatString ? *settings.FormatString : ComposeDefaultTemplate(formatters);
}

TSettingsStore::TSettingsStore(platform::TRegistry& registry, const TClientSwitches& client,
                               platform::TReportFunc report)
    : Store(registry)
    , Report(std::move(report))
    , IsClient(client.ClientMode)
    , InUse(MainSettingsKey)
{
    std::optional<std::string> clientKey;
    if (IsClient) {
        clientKey = PerServerKeyPath(client.Host, client.Port);
        InUse = clientKey.value_or("");
        if (!clientKey) {
            Tell("The server name cannot name a settings key (it is empty, too long, or holds a "
                 "backslash or control characters); the default settings are used and nothing "
                 "is saved.");
        }
    }
    if (OpensWithoutChange(clientKey)) {
        return;
    }
    // Creating the keys and the version step are one transaction, so a first start replaces
    // the file once and a crash never leaves half a migration.
    std::string failure;
    try {
        Store.Batch([&] {
            Store.CloseKey();
            if (Store.OpenKey(MainSettingsKey, true)) {
                RunVersionStep();
            }
            if (IsClient) {
                Store.CloseKey();
                if (clientKey) {
                    Store.OpenKey(*clientKey, true);
                }
            }
        });
    } catch (const std::exception& error) {
        failure = error.what();
        Tell(failure);
    }
    if (InUse.empty()) {
        Store.CloseKey();
        return;
    }
    // A failed transaction may have left no key open: what is stored can still be read.
    if (Store.CurrentPath() != InUse && !Store.OpenKey(InUse, false)) {
        Store.CloseKey();
        if (failure.empty()) {
            Tell("The settings key '" + InUse +
                 "' cannot be opened; the default settings are used and nothing is saved.");
        }
    }
}

// An up-to-date key (and an existing per-server key) needs no transaction, so a normal start
// reads without locking or writing.
bool TSettingsStore::OpensWithoutChange(const std::optional<std::string>& clientKey)
{
    try {
        if (!Store.OpenKey(MainSettingsKey, false) ||
            Store.ReadInteger("Version") != CurrentSettingsVersion) {
            return false;
        }
    } catch (const platform::TRegistryError&) {
        return false;
    }
    if (!IsClient) {
        return true;
    }
    Store.CloseKey();
    return clientKey && Store.OpenKey(*clientKey, false);
}

void TSettingsStore::Tell(const std::string& message) const
{
    if (Report) {
        Report(message);
    }
}

// A read that meets a value of the wrong type reports it and yields the empty optional, so
// the caller's default applies and the rest of start-up goes on.
template <typename F> auto TSettingsStore::Guarded(F&& read) -> decltype(read())
{
    try {
        return read();
    } catch (const platform::TRegistryError& error) {
        if (Report) {
            Report(error.what());
        }
        return std::nullopt;
    }
}

void TSettingsStore::RunVersionStep()
{
    bool versionUnreadable = false;
    std::optional<std::int32_t> version;
    try {
        version = Store.ReadInteger("Version");
    } catch (const platform::TRegistryError& error) {
        // Wiping every setting over one damaged value would lose far more than it mends:
        // keep the key and run only the harmless steps.
        versionUnreadable = true;
        if (Report) {
            Report(error.what());
        }
    }
    // A salvage that lost the "Version" line kept the values it could read: they are taken
    // as current, and no step may delete what the salvage saved.
    const bool salvagedWithoutVersion = !version && !versionUnreadable && Store.Salvaged();
    const bool keepEverything = versionUnreadable || salvagedWithoutVersion;
    const std::int32_t known = version.value_or(0);
    try {
        if (!keepEverything && known < 75) {
            // Part of the opening transaction: the old key goes only if the new one is stored.
            Store.CloseKey();
            Store.DeleteKey(MainSettingsKey);
            Store.OpenKey(MainSettingsKey, true);
        }
        if (keepEverything || known < 78) {
            std::int64_t longest = 0;
            bool rewrite = true;
            try {
                if (const auto old = Store.ReadInteger("LongestUptime")) {
                    longest = *old;
                }
            } catch (const platform::TRegistryError&) {
                // Already 8 bytes of binary: the new layout, kept as it is.
                try {
                    const auto bytes = Store.ReadBinary("LongestUptime");
                    rewrite = !(bytes && DecodeInt64(*bytes));
                } catch (const platform::TRegistryError&) {
                }
                if (rewrite && Report) {
                    Report("Invalid data type for 'LongestUptime'");
                }
            }
            if (rewrite) {
                Store.WriteBinary("LongestUptime", EncodeInt64(longest));
            }
        }
        if (!salvagedWithoutVersion && (versionUnreadable || known < 82)) {
            Store.DeleteValue("W");
            Store.DeleteValue("H");
        }
        if (keepEverything || known != CurrentSettingsVersion) {
            Store.WriteInteger("Version", CurrentSettingsVersion);
        }
    } catch (const std::exception& error) {
        if (Report) {
            Report(error.what());
        }
    }
}

std::optional<TStoredBox> TSettingsStore::ReadLocalWindow()
{
    if (InUse.empty() || Store.CurrentPath() != InUse) {
        return std::nullopt;
    }
    std::optional<TStoredBox> box;
    try {
        Store.CloseKey();
        if (Store.OpenKey(MainSettingsKey, false)) {
            const TStoredSettings defaults;
            box = TStoredBox{Store.ReadInteger("X").value_or(defaults.X),
                             Store.ReadInteger("Y").value_or(defaults.Y), Store.ReadInteger("W"),
                             Store.ReadInteger("H")};
        }
    } catch (const platform::TRegistryError&) {
        // A local value of a wrong type is the local window's to report, not this one's.
        box.reset();
    }
    Store.CloseKey();
    if (!Store.OpenKey(InUse, false)) {
        return std::nullopt;
    }
    return box;
}

TStoredSettings TSettingsStore::ReadStartup()
{
    TStoredSettings s;
    auto& r = Store;
    const auto integer = [&](const char* name) {
        return Guarded([&] { return r.ReadInteger(name); });
    };
    const auto boolean = [&](const char* name) {
        return Guarded([&] { return r.ReadBool(name); });
    };
    const auto text = [&](const char* name) { return Guarded([&] { return r.ReadString(name); }); };

    s.Alpha = integer("Alpha").value_or(s.Alpha);
    s.AlwaysOnTop = boolean("AOT");
    s.Transparent = boolean("Trans");
    if (auto fontName = text("FontName")) {
        TFontSettings font;
        font.Name = std::move(*fontName);
        font.Color = integer("FontColor");
        font.Size = integer("FontSize");
        font.Pitch = integer("FontPitch");
        if (auto style = Guarded([&] { return r.ReadBinary("FontStyle"); })) {
            if (style->size() == 1) {
                font.Style = (*style)[0];
            } else if (Report) {
                Report("Invalid data type for 'FontStyle'");
            }
        }
        s.Font = std::move(font);
    }
    const std::int32_t outline = integer("TextOutline").value_or(0);
    s.TextOutline = outline >= 0 && outline <= MaxTextOutline ? outline : 0;
    const auto x = integer("X");
    const auto y = integer("Y");
    s.X = x.value_or(s.X);
    s.Y = y.value_or(s.Y);
    if (IsClient && !x && !y) {
        s.LocalWindow = ReadLocalWindow();
    }
    s.UptimeFormat = text("UTstr").value_or(s.UptimeFormat);
    s.ExcludeText = text("Exclude").value_or(s.ExcludeText);
    s.Align = integer("Align").value_or(s.Align);
    s.ServPort = integer("ServPort").value_or(s.ServPort);
    s.ServBind = text("ServBind").value_or("");
    s.ServAllow = text("ServAllow").value_or("");
    s.ServMaxPerAddress = integer("ServMaxPerAddress");
    if (!IsClient) {
        s.Server = boolean("Server").value_or(false);
    }
    s.FormatString = text("FormatString");
    s.DisplayProcInTray = boolean("DisplayProcInTray");
    s.PinToDesktop = boolean("PinToDesktop");
    s.ClickThrough = boolean("ClickThrough");
    s.Width = integer("W");
    s.Height = integer("H");
    s.Interval = integer("Interval").value_or(IsClient ? 2000 : 1000);
    s.Password = text("Password");
    s.DriveMap = text("DriveMap").value_or(s.DriveMap);
    s.WarnColor = integer("WarnColor");
    s.CritColor = integer("CritColor");
    return s;
}

std::optional<TLabelPosition> TSettingsStore::ReadLabelPosition(std::string_view labelName)
{
    const std::string name(labelName);
    const auto left = Guarded([&] { return Store.ReadInteger("XVal_" + name); });
    const auto top = Guarded([&] { return Store.ReadInteger("YVal_" + name); });
    if (!left || !top) {
        return std::nullopt;
    }
    return TLabelPosition{name, *left, *top};
}

std::string TSettingsStore::ReadExclude()
{
    return Guarded([&] { return Store.ReadString("Exclude"); }).value_or("");
}

std::optional<std::string> TSettingsStore::ReadPassword()
{
    return Guarded([&] { return Store.ReadString("Password"); });
}

void TSettingsStore::WriteAlpha(std::int32_t alpha)
{
    Store.WriteInteger("Alpha", alpha);
}
void TSettingsStore::WriteAlwaysOnTop(bool on)
{
    Store.WriteBool("AOT", on);
}
void TSettingsStore::WriteTransparent(bool on)
{
    Store.WriteBool("Trans", on);
}

void TSettingsStore::WriteFont(const TFontSettings& font)
{
    Store.Batch([&] {
        Store.WriteString("FontName", font.Name);
        if (font.Color) {
            Store.WriteInteger("FontColor", *font.Color);
        }
        if (font.Size) {
            Store.WriteInteger("FontSize", *font.Size);
        }
        if (font.Pitch) {
            Store.WriteInteger("FontPitch", *font.Pitch);
        }
        if (font.Style) {
            Store.WriteBinary("FontStyle", {*font.Style});
        }
        if (font.Outline) {
            Store.WriteInteger("TextOutline", *font.Outline);
        }
    });
}

void TSettingsStore::WriteExclude(std::string_view excludeText)
{
    Store.WriteString("Exclude", excludeText);
}

void TSettingsStore::WriteAlign(std::int32_t align)
{
    Store.WriteInteger("Align", align);
}

void TSettingsStore::WriteServer(std::int32_t port, bool on)
{
    Store.Batch([&] {
        Store.WriteInteger("ServPort", port);
        Store.WriteBool("Server", on);
    });
}

void TSettingsStore::DeleteLabelPositions()
{
    Store.Batch([&] {
        for (const std::string& name : Store.ValueNames()) {
            if (name.starts_with("XVal_") || name.starts_with("YVal_")) {
                Store.DeleteValue(name);
            }
        }
    });
}

void TSettingsStore::WriteServerOff()
{
    Store.WriteBool("Server", false);
}

void TSettingsStore::WritePassword(std::string_view password)
{
    Store.WriteString("Password", password);
}

void TSettingsStore::WriteFormatString(std::string_view templateText)
{
    Store.WriteString("FormatString", templateText);
}

void TSettingsStore::WriteDisplayProcInTray(bool on)
{
    Store.WriteBool("DisplayProcInTray", on);
}
void TSettingsStore::WritePinToDesktop(bool on)
{
    Store.WriteBool("PinToDesktop", on);
}
void TSettingsStore::WriteClickThrough(bool on)
{
    Store.WriteBool("ClickThrough", on);
}
void TSettingsStore::WriteInterval(std::int32_t interval)
{
    Store.WriteInteger("Interval", interval);
}

void TSettingsStore::WriteDriveMap(std::string_view driveMap)
{
    Store.WriteString("DriveMap", driveMap);
}

void TSettingsStore::SaveOnExit(const TExitState& state)
{
    // One transaction: every value of this exit is stored, or none is.
    try {
        Store.Batch([&] {
            if (state.WipeSettings) {
                Store.CloseKey();
                if (!InUse.empty()) {
                    Store.DeleteKey(InUse);
                }
            } else if (!Store.CurrentPath().empty()) {
                SaveValues(state);
            }
        });
    } catch (const std::exception& error) {
        Tell(error.what());
    }
    Store.CloseKey();
}

void TSettingsStore::SaveValues(const TExitState& state)
{
    // A step that fails is reported and the rest still runs.
    const auto step = [this](auto&& action) {
        try {
            action();
        } catch (const platform::TRegistryError& error) {
            Tell(error.what());
        }
    };
    if (state.Window) {
        const TWindowPlacement& window = *state.Window;
        for (const TLabelPosition& label : window.PlacedLabels) {
            step([&] {
                Store.WriteInteger("XVal_" + label.Name, label.Left);
                Store.WriteInteger("YVal_" + label.Name, label.Top);
            });
        }
        step([&] {
            if (window.AutoSizeWindow) {
                Store.DeleteValue("W");
                Store.DeleteValue("H");
            } else {
                Store.WriteInteger("W", window.ClientWidth);
                Store.WriteInteger("H", window.ClientHeight);
            }
        });
        if (window.PlaceKnown) {
            step([&] {
                Store.WriteInteger("X", window.Left);
                Store.WriteInteger("Y", window.Top);
            });
        }
    }
    step([&] { RecordUptimeAtExit(Store, state.LastUptimeSecs, Report); });
}

} // namespace statlume
