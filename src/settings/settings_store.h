#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/formatter.h"
#include "platform/registry.h"
#include "settings/command_line.h"

namespace statlume {

/// The main settings key below HKEY_CURRENT_USER.
inline constexpr std::string_view MainSettingsKey = "Software\\Quorvale\\Statlume";
/// The settings layout version written at every start.
inline constexpr std::int32_t CurrentSettingsVersion = 84;
/// The uptime record messages' format when "UTstr" is missing.
inline constexpr std::string_view DefaultUptimeFormat = "*d* days, *H* hrs, *M* mins, *S* secs";
/// The drive letter map when "DriveMap" is missing.
inline constexpr std::string_view DefaultDriveMap = "C=/";

/// The stored display font; parts that are missing keep the design font's value.
struct TFontSettings
{
    std::string Name;
    /// Colour value.
    std::optional<std::int32_t> Color;
    /// Size in points.
    std::optional<std::int32_t> Size;
    /// 0 default, 1 variable, 2 fixed.
    std::optional<std::int32_t> Pitch;
    /// Bit 0 bold, 1 italic, 2 underline, 3 strike-out.
    std::optional<std::uint8_t> Style;
    /// "TextOutline", see TStoredSettings::TextOutline.
    std::optional<std::int32_t> Outline{};
};

/// The largest "TextOutline" value: 0 none, 1 outline, 2 shadow.
inline constexpr std::int32_t MaxTextOutline = 2;

/// A window's stored place ("X", "Y") and size ("W", "H"; nullopt when not stored).
struct TStoredBox
{
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::optional<std::int32_t> Width;
    std::optional<std::int32_t> Height;
};

/// Everything start-up reads, each value already defaulted when missing or of a wrong type.
/// Optional members are those whose mere presence changes what start-up does.
struct TStoredSettings
{
    std::int32_t Alpha = 255;
    std::optional<bool> AlwaysOnTop;
    std::optional<bool> Transparent;
    /// Set only when "FontName" exists.
    std::optional<TFontSettings> Font;
    std::int32_t X = 719;
    std::int32_t Y = 25;
    std::string UptimeFormat{DefaultUptimeFormat};
    std::string ExcludeText;
    /// `TextAlign` is its low byte.
    std::int32_t Align = 0;
    std::int32_t ServPort = DefaultServerPort;
    /// Never read in client mode.
    bool Server = false;
    /// The address the server listens on; empty = every address.
    std::string ServBind;
    /// The address ranges the server serves ("CIDR[,CIDR...]"); empty = everyone.
    std::string ServAllow;
    /// The server's cap on connections from one address; nullopt = the default.
    std::optional<std::int32_t> ServMaxPerAddress;
    /// The stored template; nullopt means the default template.
    std::optional<std::string> FormatString;
    std::optional<bool> DisplayProcInTray;
    std::optional<bool> PinToDesktop;
    /// Clicks pass through the window to what lies below (while a tray icon is shown).
    std::optional<bool> ClickThrough;
    /// Client width of a manually sized window.
    std::optional<std::int32_t> Width;
    /// Client height of a manually sized window.
    std::optional<std::int32_t> Height;
    /// Update interval in milliseconds: "Interval", else 2000 in client mode, else 1000.
    std::int32_t Interval = 1000;
    std::optional<std::string> Password;
    std::string DriveMap{DefaultDriveMap};
    /// "WarnColor" and "CritColor" (0x00BBGGRR, as "FontColor"): the colours of thresholds
    /// crossed; nullopt means amber and red.
    std::optional<std::int32_t> WarnColor;
    std::optional<std::int32_t> CritColor;
    /// "TextOutline": 0 none, 1 outline, 2 shadow around the display font's text; read even
    /// without "FontName"; a value out of range or of a wrong type reads as 0.
    std::int32_t TextOutline = 0;
    /// A client window with no "X" or "Y" of its own: the local window's stored box, so the
    /// new window opens beside it rather than on it; nullopt otherwise.
    std::optional<TStoredBox> LocalWindow;
};

/// A placed label's name ("FormatLabel" + index) and position in client pixels.
struct TLabelPosition
{
    std::string Name;
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    /// False where the compositor placed the window: Left and Top mean nothing, and the
    /// stored "X" and "Y" stay for the next start.
    bool PlaceKnown = true;
};

/// The window's state that the Exit command saves.
struct TWindowPlacement
{
    /// Labels whose Tag is 1, in list order.
    std::vector<TLabelPosition> PlacedLabels;
    /// True: "W" and "H" are deleted; false: the client size is written.
    bool AutoSizeWindow = true;
    std::int32_t ClientWidth = 0;
    std::int32_t ClientHeight = 0;
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    /// False where the compositor placed the window: Left and Top mean nothing, and the
    /// stored "X" and "Y" stay for the next start.
    bool PlaceKnown = true;
};

/// Everything the Exit command needs to save or wipe the settings.
struct TExitState
{
    /// "Wipe Registry Settings On Exit" is checked: delete the key in use, save nothing.
    bool WipeSettings = false;
    /// The window's state; nullopt in the console program, which has no window.
    std::optional<TWindowPlacement> Window;
    /// Seconds of system uptime last measured (0 when never measured).
    std::int64_t LastUptimeSecs = 0;
};

/// The host can name a per-server key: not empty, no backslash (which would nest keys), no
/// control characters, and short enough for a key name with its port.
bool IsValidServerHost(std::string_view host);

/// The per-server key of a client: the main key, "\\", host lower-cased, ":", port; nullopt
/// when the host fails IsValidServerHost.
std::optional<std::string> PerServerKeyPath(std::string_view host, std::uint16_t port);

/// The template in use: the stored "FormatString", else the default template.
std::string TemplateTextOf(const TStoredSettings& settings, const TFormatterList& formatters);

/// The settings of one run: opens the main key, runs the version step, switches to the
/// per-server key in client mode, and reads and writes every value through one registry
/// object. A value of a wrong type is reported ("Invalid data type for '<name>'") and its
/// default used; setters throw platform::TRegistryError when a write fails. The version step
/// and the Exit command's saving are one registry batch each.
class TSettingsStore
{
public:
    /// Opens and migrates the settings; client.ClientMode selects the per-server key.
    TSettingsStore(platform::TRegistry& registry, const TClientSwitches& client,
                   platform::TReportFunc report);

    /// Reads every start-up value in the start order.
    TStoredSettings ReadStartup();
    /// The stored position of a label; nullopt unless both "XVal_" and "YVal_" + name exist.
    std::optional<TLabelPosition> ReadLabelPosition(std::string_view labelName);
    /// "Exclude", read again when the exclusion prompt opens; empty when missing.
    std::string ReadExclude();
    /// "Password"; nullopt when missing.
    std::optional<std::string> ReadPassword();

    /// Stores "Alpha".
    void WriteAlpha(std::int32_t alpha);
    /// Stores "AOT".
    void WriteAlwaysOnTop(bool on);
    /// Stores "Trans".
    void WriteTransparent(bool on);
    /// Stores "FontName" and each font part that is set, in one transaction.
    void WriteFont(const TFontSettings& font);
    /// Stores "Exclude".
    void WriteExclude(std::string_view excludeText);
    /// Stores "Align".
    void WriteAlign(std::int32_t align);
    /// Stores "ServPort" and "Server" in one transaction, the end of a completed Act as
    /// Server command.
    void WriteServer(std::int32_t port, bool on);
    /// Stores "Server" = off alone: the item ended unchecked, the next start does not listen.
    void WriteServerOff();
    /// Stores "Password".
    void WritePassword(std::string_view password);
    /// Stores "FormatString".
    void WriteFormatString(std::string_view templateText);
    /// Stores "DisplayProcInTray".
    void WriteDisplayProcInTray(bool on);
    /// Stores "PinToDesktop".
    void WritePinToDesktop(bool on);
    /// Stores "ClickThrough".
    void WriteClickThrough(bool on);
    /// Stores "Interval" in milliseconds.
    void WriteInterval(std::int32_t interval);
    /// Removes every "XVal_" and "YVal_" value in one transaction: every label flows again.
    void DeleteLabelPositions();
    /// Stores "DriveMap".
    void WriteDriveMap(std::string_view driveMap);

    /// The Exit command's saving (or wiping) of the settings as one transaction; reports
    /// failures and never throws. The key is closed afterwards.
    void SaveOnExit(const TExitState& state);

    /// Client mode with the per-server key in use.
    bool ClientMode() const { return IsClient; }
    /// The path of the key in use.
    const std::string& KeyPath() const { return InUse; }
    /// The registry object every read and write goes through.
    platform::TRegistry& Registry() { return Store; }
    /// The reporter given at construction.
    const platform::TReportFunc& Reporter() const { return Report; }

private:
    bool OpensWithoutChange(const std::optional<std::string>& clientKey);
    std::optional<TStoredBox> ReadLocalWindow();
    void RunVersionStep();
    void SaveValues(const TExitState& state);
    void Tell(const std::string& message) const;
    template <typename F> auto Guarded(F&& read) -> decltype(read());

    platform::TRegistry& Store;
    platform::TReportFunc Report;
    bool IsClient = false;
    std::string InUse;
};

} // namespace statlume
