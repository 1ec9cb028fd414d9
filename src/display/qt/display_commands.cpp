#include <algorithm>

#include "display/label_layout.h"
#include "display/qt/prompt_text.h"
#include "display/qt/statlume_display.h"
#include "settings/uptime_records.h"

namespace statlume {
namespace {

constexpr const char* AboutCredits =
    "Statlume was written as a small, fast monitor for the desktop.\n"
    "Thanks to everyone who tried early copies and reported what went wrong.\n"
    "The motherboard sensor figures come courtesy of the sensor program's author,\n"
    "who provided a custom interface library for them.";

} // namespace

void TStatlumeDisplay::ConnectMenu()
{
    TDisplayMenu& m = *MenuItems;
    const auto bind = [this](QAction* action, void (TStatlumeDisplay::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    // Display Items opens only while the timer runs, so it checks before the guard.
    connect(m.DisplayItems1, &QAction::triggered, this, [this] { DisplayItems1Click(); });
    bind(m.ExcludeProcessfromPercentage1, &TStatlumeDisplay::ExcludeProcessfromPercentage1Click);
    bind(m.DisplayProcessorUsageinIcon1, &TStatlumeDisplay::DisplayProcessorUsageinIcon1Click);
    bind(m.UpdateInterval1, &TStatlumeDisplay::UpdateInterval1Click);
    bind(m.AlwaysOnTop1, &TStatlumeDisplay::AlwaysOnTop1Click);
    bind(m.PinToDesktop, &TStatlumeDisplay::PinToDesktopClick);
    bind(m.ClickThrough1, &TStatlumeDisplay::ClickThrough1Click);
    bind(m.Transparent1, &TStatlumeDisplay::Transparent1Click);
    bind(m.DegreeofTransparency1, &TStatlumeDisplay::DegreeofTransparency1Click);
    connect(m.Right1, &QAction::triggered, this,
            [this] { RunCommand([this] { Center1Click(1); }); });
    connect(m.Left1, &QAction::triggered, this,
            [this] { RunCommand([this] { Center1Click(0); }); });
    bind(m.Font1, &TStatlumeDisplay::Font1Click);
    bind(m.AverageUptime1, &TStatlumeDisplay::AverageUptime1Click);
    bind(m.LongestUptime1, &TStatlumeDisplay::LongestUptime1Click);
    connect(m.ActasServer1, &QAction::triggered, this, [this] {
        RunCommand([this] {
            if (Services.Parts.ActAsServer) {
                Services.Parts.ActAsServer(*this);
            } else {
                // No server role in this build: the item must not claim one runs.
                MenuItems->ActasServer1->setChecked(false);
            }
        });
    });
    bind(m.About1, &TStatlumeDisplay::About1Click);
    bind(m.SetFormWidth1, &TStatlumeDisplay::SetFormWidth1Click);
    bind(m.HideIcon1, &TStatlumeDisplay::HideIcon1Click);
    bind(m.StartatLogin1, &TStatlumeDisplay::StartatLogin1Click);
    // The entry may be added or removed outside the program; the menu shows the file's state.
    connect(m.PopupMenu1, &QMenu::aboutToShow, this, [this] { ShowAutostartState(); });
    ShowAutostartState();
    connect(m.Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
}

void TStatlumeDisplay::RunCommand(const std::function<void()>& command)
{
    if (HasExited) {
        return;
    }
    TTimerGuard guard(*Timer1);
    try {
        command();
    } catch (const std::exception& error) {
        // A command cut short by the Exit command (a signal during a prompt) reports nothing.
        if (!HasExited) {
            Services.Prompts.ShowMessage(TMessageKind::Error, "", error.what());
        }
    }
}

void TStatlumeDisplay::DisplayItems1Click()
{
    if (!Timer1->Enabled() || !Services.Parts.OptionsDialog) {
        return;
    }
    RunCommand([this] { Services.Parts.OptionsDialog(*this); });
}

void TStatlumeDisplay::ExcludeProcessfromPercentage1Click()
{
    const auto text =
        Services.Prompts.AskText("Comma-separated processes to exclude from percentage counter",
                                 "Leave blank to remove exclusion", Store->ReadExclude());
    if (!text) {
        return;
    }
    Store->WriteExclude(*text);
    SnapshotCollector.SetExcludeText(*text);
}

void TStatlumeDisplay::DisplayProcessorUsageinIcon1Click()
{
    const bool on = MenuItems->DisplayProcessorUsageinIcon1->isChecked();
    Store->WriteDisplayProcInTray(on);
    SetTrayMode(on ? 2 : 0);
}

void TStatlumeDisplay::UpdateInterval1Click()
{
    const auto text = Services.Prompts.AskText("Update Interval", "Interval in milliseconds",
                                               std::to_string(Timer1->Interval()));
    if (!text) {
        return;
    }
    const std::string digits = TrimPromptText(*text);
    if (!IsAllDigits(digits)) {
        return;
    }
    const std::int32_t interval = DigitsToInt32(digits);
    // 0 would stop the clock for good, and be stored for the next start.
    if (interval == 0) {
        return;
    }
    Timer1->SetInterval(interval);
    Store->WriteInterval(interval);
}

void TStatlumeDisplay::AlwaysOnTop1Click()
{
    ApplyPin();
    Store->WriteAlwaysOnTop(MenuItems->AlwaysOnTop1->isChecked());
}

void TStatlumeDisplay::PinToDesktopClick()
{
    Store->WritePinToDesktop(MenuItems->PinToDesktop->isChecked());
    ApplyPin();
}

void TStatlumeDisplay::ClickThrough1Click()
{
    const bool on = MenuItems->ClickThrough1->isChecked();
    Store->WriteClickThrough(on);
    if (on && !TrayIcon->Shown() && !ClickThroughNoteShown) {
        // Checked from the window's own menu: say it here, where the user looks.
        ClickThroughNoteShown = true;
        Services.Prompts.ShowMessage(
            TMessageKind::Information, "Click Through",
            "Clicks pass through the window only while its tray icon is shown: without one, "
            "the window's right click stays the way to this menu.");
    }
    ApplyClickThrough(true);
}

void TStatlumeDisplay::Transparent1Click()
{
    Store->WriteTransparent(MenuItems->Transparent1->isChecked());
    ApplyTransparency();
}

void TStatlumeDisplay::DegreeofTransparency1Click()
{
    const auto text = Services.Prompts.AskText(
        "Alpha Transparency", "Value between 0-255, with 0 invisible and 255 all visible",
        std::to_string(Alpha));
    if (!text) {
        return;
    }
    const std::string digits = TrimPromptText(*text);
    if (!IsAllDigits(digits)) {
        return;
    }
    // Above 255 means "as opaque as it gets", not the low byte, which could hide the window.
    Alpha = std::min<std::int32_t>(DigitsToInt32(digits), 255);
    ApplyTransparency();
    Store->WriteAlpha(Alpha);
    if (Alpha < 255 && !CompositorActive && !AlphaNoteShown) {
        AlphaNoteShown = true;
        Services.Prompts.ShowMessage(
            TMessageKind::Information, "Alpha Transparency",
            "No compositing manager runs on this display, so the alpha value has no visible "
            "effect; it takes effect as soon as one runs (with Transparent checked).");
    }
}

void TStatlumeDisplay::Center1Click(std::uint8_t align)
{
    TextAlign = align;
    Store->WriteAlign(align);
    for (TFmtLabel* label : LabelList) {
        AlignLabel(*label);
    }
    for (const auto& formatter : Formatters) {
        formatter->Alignment = TextAlign;
    }
    UpdateShapeMask();
}

void TStatlumeDisplay::Font1Click()
{
    if (!Services.Parts.FontDialog) {
        return;
    }
    const TFontChoice kept = DisplayFont;
    TFontChoice choice = DisplayFont;
    const bool ok = Services.Parts.FontDialog(this, choice, [this](const TFontChoice& shown) {
        DisplayFont = shown;
        ApplyDisplayFont();
    });
    DisplayFont = ok ? choice : kept;
    TFontSettings stored;
    stored.Name = DisplayFont.Name;
    stored.Color = static_cast<std::int32_t>(DisplayFont.Color);
    stored.Size = DisplayFont.Size;
    stored.Pitch = DisplayFont.Pitch;
    stored.Style = static_cast<std::uint8_t>(DisplayFont.Style);
    stored.Outline = DisplayFont.Outline;
    Store->WriteFont(stored);
    ApplyDisplayFont();
}

void TStatlumeDisplay::AverageUptime1Click()
{
    const std::string text = AverageUptimeMessage(
        Store->Registry(), UptimeFormat, SnapshotCollector.LastUptimeSecs(), Services.Report);
    Services.Prompts.ShowMessage(TMessageKind::Information, "Information", text);
}

void TStatlumeDisplay::LongestUptime1Click()
{
    const std::string text = LongestUptimeMessage(
        Store->Registry(), UptimeFormat, SnapshotCollector.LastUptimeSecs(), Services.Report);
    Services.Prompts.ShowMessage(TMessageKind::Information, "Information", text);
}

void TStatlumeDisplay::About1Click()
{
    Services.Prompts.ShowMessage(
        TMessageKind::Plain, "Statlume internal version " + std::to_string(CurrentSettingsVersion),
        AboutCredits);
}

void TStatlumeDisplay::SetFormWidth1Click()
{
    const auto side = [](const std::optional<std::string>& text, int current) {
        const std::int32_t value = IntegerOr(*text, current);
        return value >= 1 && value <= 16384 ? value : current;
    };
    if (const auto text = Services.Prompts.AskText("Form Width", "Enter desired Width in pixels",
                                                   std::to_string(width()))) {
        resize(side(text, width()), height());
    }
    if (const auto text = Services.Prompts.AskText("Form Height", "Enter desired Height in pixels",
                                                   std::to_string(height()))) {
        resize(width(), side(text, height()));
        AutoSizeWindow = AutoSizeAfter(AutoSizeWindow, TAutoSizeEvent::HeightConfirmed);
    }
}

void TStatlumeDisplay::HideIcon1Click()
{
    TrayIcon->Remove();
    ApplyClickThrough(true);
}

} // namespace statlume
