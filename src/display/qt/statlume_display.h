#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/locale_info.h"
#include "collect/sensor_step.h"
#include "collect/snapshot_collector.h"
#include "display/label_layout.h"
#include "display/qt/command_error.h"
#include "display/qt/display_menu.h"
#include "display/qt/display_tray.h"
#include "display/qt/fmt_label.h"
#include "display/qt/font_dialog.h"
#include "display/qt/prompts.h"
#include "display/qt/update_timer.h"
#include "display/qt/window_chrome.h"
#include "format/formatter.h"
#include "monitor/monitor.h"
#include "options/option_form.h"
#include "platform/perf_data_source.h"
#include "platform/registry.h"
#include "platform/system_status.h"
#include "record/raw_data_shell.h"
#include "settings/command_line.h"
#include "settings/settings_store.h"

#include <QColor>
#include <QFont>
#include <QTimer>
#include <QWidget>

namespace statlume {

class TStatlumeDisplay;

/// The dialogs and drawings the window uses, so tests can replace them.
struct TDisplayParts
{
    /// The tray icon's drawings.
    TTrayArt TrayArt;
    /// The font dialog: onApply shows a choice at once; true on OK with choice updated.
    std::function<bool(QWidget* owner, TFontChoice& choice,
                       const std::function<void(const TFontChoice&)>& onApply)>
        FontDialog;
    /// Shows the options dialog modally over the window.
    std::function<void(TStatlumeDisplay& window)> OptionsDialog;
    /// The Act as Server command of the remote roles; unset keeps the item unchecked.
    std::function<void(TStatlumeDisplay& window)> ActAsServer;
};

/// What the window collects from, stores to and asks through; none is owned.
struct TDisplayServices
{
    /// The performance blocks of the collection pass.
    platform::PerfDataSource& Perf;
    /// Memory, names, addresses, disks and the clock.
    platform::SystemStatus& Status;
    /// The sensor step and the starter library's life.
    TSensorStep& Sensors;
    /// The settings registry (the per-user file, or memory in tests).
    platform::TRegistry& Registry;
    /// Where the commands ask and tell.
    TPrompts& Prompts;
    /// Separators and names for numbers, dates and times.
    const LocaleInfo& Locale;
    /// The dialogs and drawings.
    TDisplayParts Parts;
    /// One line for the user about a replaced value or a problem (stderr).
    platform::TReportFunc Report;
    /// Ends the application once the Exit command has run.
    std::function<void()> Quit;
};

/// The display window: labels from the template, the update cycle, the menu commands and the
/// tray icon; the options dialog edits its template through TOptionHost.
class TStatlumeDisplay : public QWidget, public TOptionHost
{
    Q_OBJECT
public:
    /// The window, not yet started; services must outlive it.
    explicit TStatlumeDisplay(TDisplayServices services);
    ~TStatlumeDisplay() override;

    /// The start sequence with the program's arguments (after the program name): settings,
    /// formatters, labels, first layout, stored size, show, timer.
    void FormCreate(const std::vector<std::string>& args);

    /// The standard dialogs and drawings: the options dialog, the font dialog, the tray icons.
    static TDisplayParts StandardParts();

    /// One tick: a local collection pass, then RenderLabels (the client hook in client mode).
    void Timer1Timer();
    /// Renders every label; the layout pass runs when some caption was still "BLANK". sample
    /// adds the snapshot's values to the graphs (false for a refresh without new figures).
    void RenderLabels(bool sample = true);
    /// Rebuilds the labels from text (placed ones from the stored positions), then refreshes.
    void BuildLabels(const std::string& text) override;
    /// The layout pass.
    void ArrangeLabels(bool keepRightEdge) override;
    /// Removes every stored label position; the labels flow again at once.
    void ResetLabelPositions() override;
    /// Applies TextAlign to one label.
    void AlignLabel(TFmtLabel& label);
    /// TemplateText := text, stored as "FormatString"; the labels stay.
    void StoreTemplate(const std::string& text) override;
    /// The current template.
    std::string TemplateText() const override { return Template; }
    /// The formatters in registry order.
    const TFormatterList& FormatterList() const override { return Formatters; }
    /// The user's, the program's and the system's example template folders.
    std::vector<std::filesystem::path> ExampleFolders() const override;
    /// The figures of the last local collection and the collector's drive letters; nothing
    /// is known of a server's machine.
    TMachineFacts MachineFacts() const override;
    /// The collector's drive letters as "DriveMap" holds them.
    std::string DriveMapText() const override;
    /// The collector measures the letters from the next tick on; the map is stored at once.
    void StoreDriveMap(const std::string& text) override;
    /// This machine's mounted file systems that hold files.
    std::vector<std::string> MountPoints() const override;
    /// The labels in line order.
    const std::vector<TFmtLabel*>& Labels() const { return LabelList; }

    /// The Exit command: runs once; later calls do nothing.
    void Exit1Click();
    /// True once the Exit command has run.
    bool Exited() const { return HasExited; }
    /// A second start asks for the tray icon back.
    void RestoreTrayIcon();
    /// The compositor places the window (an ordinary Wayland window): exit keeps the stored
    /// position instead of writing one the window never knew.
    void SetCompositorPlaces(bool on) { CompositorPlaces = on; }

    /// Runs a menu command with the timer off; a TCommandError or registry error is shown in
    /// an error box; the timer comes back on every way out.
    void RunCommand(const std::function<void()>& command);

    /// Applies the display font to the labels, the background follows the font colour, then
    /// the automatic size and the layout pass.
    void ApplyDisplayFont();
    /// Applies the Transparent state, the alpha value and the colour key.
    void ApplyTransparency();

    /// The menu.
    TDisplayMenu& Menu() { return *MenuItems; }
    /// The tray icon.
    TDisplayTray& Tray() { return *TrayIcon; }
    /// The update timer.
    TUpdateTimer& UpdateTimer() { return *Timer1; }
    /// The settings of this run; null before FormCreate.
    TSettingsStore* Settings() { return Store.get(); }
    /// The collection state.
    TSnapshotCollector& Collector() { return SnapshotCollector; }
    /// The snapshot holder.
    TRawDataShell& Shell() { return RawShell; }
    /// The client switches read by FormCreate.
    const TClientSwitches& Client() const { return Switches; }
    /// Called first on every tick, in both modes.
    std::function<void()> OnTick;
    /// Called on each tick in client mode instead of collecting.
    std::function<void()> OnClientTick;
    /// Called first by the Exit command (the server closes).
    std::function<void()> OnExitCommand;
    /// Called by FormCreate in client mode right after the arguments: the first attempt.
    std::function<void()> OnClientStart;
    /// Called by FormCreate where "ServPort" and "Server" are read: the server's start-up.
    std::function<void(const TStoredSettings&)> OnRoleStartup;
    /// The tray icon for a connection's state: the alert icon, else the normal or figure one.
    void ShowConnectionAlert(bool alert);
    /// Shows the figures as old (dimmed text) or as current again.
    void ShowFiguresOld(bool old);
    /// True while the figures show as old.
    bool FiguresOld() const { return OldFigures; }

    /// `AutoSizeWindow`.
    bool AutoSizeWindow = true;
    /// `TextAlign`: 0 left, 1 right.
    std::uint8_t TextAlign = 0;
    /// The alpha value 0..255 (255 opaque).
    int Alpha = 255;
    /// The display font as stored.
    TFontChoice DisplayFont = DesignFontChoice();
    /// The uptime records' format.
    std::string UptimeFormat;
    /// The processor figure of the tray: the total usage with a leading zero, no decimals.
    QString ProcessorFigure() const;
    /// Clicks pass through the window to what lies below: "Click Through" is checked and a
    /// tray icon is shown, whose menu is then the way to every command.
    bool ClickingThrough() const { return Chrome.ClickingThrough(); }
    /// The menu's rows in display order, with the handler each runs.
    static std::span<const TMenuRow> MenuRows();

signals:
    /// ClickingThrough() changed.
    void ClickThroughChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The menu handlers; the menu runs each through RunCommand (Display Items checks first).
    void DisplayItems1Click();
    void ExcludeProcessfromPercentage1Click();
    void DisplayProcessorUsageinIcon1Click();
    void UpdateInterval1Click();
    void AlwaysOnTop1Click();
    void PinToDesktopClick();
    void ClickThrough1Click();
    void Transparent1Click();
    void DegreeofTransparency1Click();
    /// Right1 and Left1: the Tag of the checked one is the new TextAlign.
    void Center1Click();
    void Font1Click();
    void AverageUptime1Click();
    void LongestUptime1Click();
    void ActasServer1Click();
    void About1Click();
    void SetFormWidth1Click();
    void HideIcon1Click();
    void StartatLogin1Click();
    /// The check of "Start at &Login" follows the autostart entry's file, not a setting.
    void ShowAutostartState();

    void ConnectMenu();
    /// Runs the handler of a menu row as the row says (through RunCommand or as it is).
    void RunMenuRow(const TMenuRow& row);
    void ApplyStartupSettings(const TStoredSettings& stored);
    void ApplyStoredSize(const TStoredSettings& stored);
    void SettleLayout();
    std::vector<TLabelBox> LabelBoxes() const;
    void PlaceLabels(const std::vector<TLabelBox>& boxes);
    bool CollectSnapshot(bool force);
    void CollectionFailed();
    /// Starts SecondSample when the rates wait for a second sample; true then.
    bool AwaitSecondSample();
    void SecondSampleTimer();
    void SetTrayMode(std::uint8_t mode);
    /// The layer the menu's checks ask for: Always On Top before Pin To Desktop.
    TWindowLayer WindowLayer() const;
    void ApplyPin();
    /// Lets clicks through while "Click Through" is checked and a tray icon is shown; the
    /// first time it waits for a tray, and mayReport, it says so.
    void ApplyClickThrough(bool mayReport);
    /// Follows a compositor starting or stopping while Transparent is on.
    void WatchCompositor();
    void UpdateShapeMask();
    void BringOntoScreen();
    void OpenBesideLocalWindow(const TStoredBox& local);
    void LimitToDesktop();
    void FreeLabels();
    bool LabelMayDrag() const;
    TExitState ExitStateNow() const;
    void Tell(const std::string& message) const;
    QColor LabelTextColour() const;
    QColor FadeColour() const;
    std::optional<QColor> RunFade() const;
    void StoreReplacement(const std::function<void()>& write);

    TDisplayServices Services;
    TClientSwitches Switches;
    std::unique_ptr<TSettingsStore> Store;
    TRawDataShell RawShell;
    TFormatterList Formatters;
    TSnapshotCollector SnapshotCollector;
    std::vector<TFmtLabel*> LabelList;
    /// The template's lines with the history of their graphs, collected for and rendered.
    TMonitor Monitor{Formatters};
    /// "WarnColor" and "CritColor".
    QColor WarnColour{0xFF, 0xBF, 0x00};
    QColor CritColour{0xFF, 0x30, 0x30};
    std::string Template;
    std::unique_ptr<TDisplayMenu> MenuItems;
    /// Transparency, shape, layer and click through, following LabelList.
    TWindowChrome Chrome;
    TDisplayTray* TrayIcon;
    std::unique_ptr<TUpdateTimer> Timer1;
    /// Takes the second sample shortly after a first one, so rates show without a whole
    /// interval's wait.
    QTimer* SecondSample;
    /// The collection problem last shown, so each is shown once.
    std::string ShownProblem;
    QColor Background = Qt::white;
    QFont LabelFont;
    bool HasExited = false;
    bool CompositorPlaces = false;
    bool OldFigures = false;
    /// While the window's size is provisional (start-up, the first layout after a rebuild),
    /// placed labels do not follow its right edge: their stored lefts are final.
    bool HoldPlaced = false;
    /// The note that alpha needs a compositor was shown in this run.
    bool AlphaNoteShown = false;
    /// The note that Click Through waits for a tray icon was given in this run.
    bool ClickThroughNoteShown = false;
    /// The pointer's offset from the window's corner while the window moves itself.
    std::optional<QPoint> MoveGrab;
};

} // namespace statlume
