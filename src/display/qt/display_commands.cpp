#include <algorithm>

#include "display/label_layout.h"
#include "display/qt/prompt_text.h"
#include "display/qt/statlume_display.h"
#include "settings/uptime_records.h"

#include <QActionGroup>
#include <QCoreApplication>

namespace statlume {
namespace {

constexpr const char* AboutCredits =
    "Statlume was written as a small, fast monitor for the desktop.\n"
    "Thanks to everyone who tried early copies and reported what went wrong.\n"
    "The motherboard sensor figures come courtesy of the sensor program's author,\n"
    "who provided a custom interface library for them.";

} // namespace

std::span<const TMenuRow> TStatlumeDisplay::MenuRows()
{
    static const TMenuRow rows[] = {
        // Display Items opens only while the timer runs, so it checks before the guard.
        {.Name = "DisplayItems1",
         .Caption = "&Display Items",
         .Handler = &TStatlumeDisplay::DisplayItems1Click,
         .Run = TMenuRun::Direct},
        {.Name = "ExcludeProcessfromPercentage1",
         .Caption = "&Exclude Process from Percentage",
         .Handler = &TStatlumeDisplay::ExcludeProcessfromPercentage1Click},
        {.Name = "DisplayProcessorUsageinIcon1",
         .Caption = "Display Processor Usage in Icon",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::DisplayProcessorUsageinIcon1Click,
         .Item = &TDisplayMenu::DisplayProcessorUsageinIcon1},
        {.Name = "UpdateInterval1",
         .Caption = "Update &Interval",
         .Handler = &TStatlumeDisplay::UpdateInterval1Click},
        {.Name = "AlwaysOnTop1",
         .Caption = "Always &On Top",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::AlwaysOnTop1Click,
         .Item = &TDisplayMenu::AlwaysOnTop1},
        {.Name = "PinToDesktop",
         .Caption = "&Pin To Desktop",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::PinToDesktopClick,
         .Item = &TDisplayMenu::PinToDesktop},
        {.Name = "ClickThrough1",
         .Caption = "&Click Through",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::ClickThrough1Click,
         .Item = &TDisplayMenu::ClickThrough1},
        {.Name = "ShowDraggingHandle1", .Caption = "Show Dragging Handle"},
        {.Name = "Transparent1",
         .Caption = "&Transparent",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::Transparent1Click,
         .Item = &TDisplayMenu::Transparent1},
        {.Name = "DegreeofTransparency1",
         .Caption = "Degree of &Alpha Transparency",
         .Handler = &TStatlumeDisplay::DegreeofTransparency1Click},
        {.Name = "Align1Item", .Caption = "Ali&gn", .Opens = "Align1"},
        {.Name = "Right1",
         .Caption = "Right",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::Center1Click,
         .Item = &TDisplayMenu::Right1,
         .In = "Align1",
         .RadioTag = 1},
        {.Name = "Left1",
         .Caption = "Left",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::Center1Click,
         .Item = &TDisplayMenu::Left1,
         .In = "Align1",
         .RadioTag = 0,
         .Checked = true},
        {.Name = "Font1", .Caption = "&Font", .Handler = &TStatlumeDisplay::Font1Click},
        {.Name = "AverageUptime1",
         .Caption = "Average &Uptime",
         .Handler = &TStatlumeDisplay::AverageUptime1Click},
        {.Name = "LongestUptime1",
         .Caption = "&Longest Uptime",
         .Handler = &TStatlumeDisplay::LongestUptime1Click},
        {.Name = "ActasServer1",
         .Caption = "Act as &Server",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::ActasServer1Click,
         .Item = &TDisplayMenu::ActasServer1},
        {.Name = "About1", .Caption = "A&bout", .Handler = &TStatlumeDisplay::About1Click},
        {.Name = "LockPosition1",
         .Caption = "Loc&k Form",
         .Checkable = true,
         .Item = &TDisplayMenu::LockPosition1},
        {.Name = "SetFormWidth1",
         .Caption = "Set Form &Width and Height",
         .Handler = &TStatlumeDisplay::SetFormWidth1Click},
        {.Name = "WipeRegistrySettings1",
         .Caption = "Wipe &Registry Settings On Exit",
         .Checkable = true,
         .Item = &TDisplayMenu::WipeRegistrySettings1},
        {.Name = "HideIcon1",
         .Caption = "&Hide Icon",
         .Handler = &TStatlumeDisplay::HideIcon1Click},
        {.Name = "StartatLogin1",
         .Caption = "Start at &Login",
         .Checkable = true,
         .Handler = &TStatlumeDisplay::StartatLogin1Click,
         .Item = &TDisplayMenu::StartatLogin1},
        {.Name = "Exit1",
         .Caption = "E&xit",
         .Handler = &TStatlumeDisplay::Exit1Click,
         .Run = TMenuRun::Direct},
    };
    return rows;
}

void TStatlumeDisplay::ConnectMenu()
{
    // The entry may be added or removed outside the program; the menu shows the file's state.
    connect(MenuItems->PopupMenu1, &QMenu::aboutToShow, this, [this] { ShowAutostartState(); });
    ShowAutostartState();
}

void TStatlumeDisplay::RunMenuRow(const TMenuRow& row)
{
    if (row.Run == TMenuRun::Direct) {
        (this->*row.Handler)();
        return;
    }
    RunCommand([this, &row] { (this->*row.Handler)(); });
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
    if (Alpha < 255 && !Chrome.CompositorActive() && !AlphaNoteShown) {
        AlphaNoteShown = true;
        Services.Prompts.ShowMessage(
            TMessageKind::Information, "Alpha Transparency",
            "No compositing manager runs on this display, so the alpha value has no visible "
            "effect; it takes effect as soon as one runs (with Transparent checked).");
    }
}

void TStatlumeDisplay::Center1Click()
{
    // The Tag of the choice just checked.
    const QAction* chosen = MenuItems->Left1->actionGroup()->checkedAction();
    TextAlign = static_cast<std::uint8_t>(chosen != nullptr ? chosen->data().toInt() : 0);
    Store->WriteAlign(TextAlign);
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

void TStatlumeDisplay::ActasServer1Click()
{
    if (Services.Parts.ActAsServer) {
        Services.Parts.ActAsServer(*this);
    } else {
        // No server role in this build: the item must not claim one runs.
        MenuItems->ActasServer1->setChecked(false);
    }
}

void TStatlumeDisplay::About1Click()
{
    // The caption keeps the settings' version; the text names the release people ask about.
    const std::string release = QCoreApplication::applicationVersion().toStdString();
    Services.Prompts.ShowMessage(
        TMessageKind::Plain, "Statlume internal version " + std::to_string(CurrentSettingsVersion),
        release.empty() ? AboutCredits : "Statlume " + release + "\n\n" + AboutCredits);
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
