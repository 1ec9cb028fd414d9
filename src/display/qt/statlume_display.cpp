#include "display/qt/statlume_display.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "base/printable_text.h"
#include "display/label_layout.h"
#include "display/qt/x11_peer_window.h"
#include "display/screen_fit.h"
#include "display/tray_tooltip.h"
#include "platform/linux/mount_points.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

namespace statlume {
namespace {

constexpr std::uint32_t WhiteColorRef = 0x00FFFFFFu;
constexpr int LargestWindowSide = 16384;
// How soon after a first sample the second is taken, at most (never later than the interval).
constexpr int SecondSampleDelayMs = 250;
} // namespace

TStatlumeDisplay::TStatlumeDisplay(TDisplayServices services)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool)
    , Services(std::move(services))
    , SnapshotCollector(Services.Perf, Services.Status, Services.Sensors)
    , MenuItems(std::make_unique<TDisplayMenu>(this, MenuRows(),
                                               [this](const TMenuRow& row) { RunMenuRow(row); }))
    , Chrome(*this, LabelList)
    , TrayIcon(new TDisplayTray(Services.Parts.TrayArt, this))
    , Timer1(std::make_unique<TUpdateTimer>(this))
    , SecondSample(new QTimer(this))
{
    setObjectName(QStringLiteral("StatlumeDisplay"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Background);
    setPalette(colours);
    UptimeFormat = DefaultUptimeFormat;
    move(719, 25);
    connect(&Timer1->Timer(), &QTimer::timeout, this, [this] { Timer1Timer(); });
    SecondSample->setObjectName(QStringLiteral("SecondSample"));
    SecondSample->setSingleShot(true);
    connect(SecondSample, &QTimer::timeout, this, [this] { SecondSampleTimer(); });
    connect(TrayIcon, &TDisplayTray::DoubleClicked, this, [this] {
        if (!MenuItems->AlwaysOnTop1->isChecked()) {
            raise();
            activateWindow();
        }
    });
    connect(TrayIcon, &TDisplayTray::ContextRequested, this, [this](QPoint global) {
        show();
        raise();
        activateWindow();
        MenuItems->PopupAt(global);
    });
    connect(TrayIcon, &TDisplayTray::ShownChanged, this, [this] {
        ApplyClickThrough(true);
        // The figures for the tooltip of the icon just shown, without taking a sample.
        RenderLabels(false);
    });
    ConnectMenu();
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this] { LimitToDesktop(); });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { LimitToDesktop(); });
}

TStatlumeDisplay::~TStatlumeDisplay() = default;

void TStatlumeDisplay::Tell(const std::string& message) const
{
    if (Services.Report) {
        Services.Report(message);
    }
}

void TStatlumeDisplay::StoreReplacement(const std::function<void()>& write)
{
    // Stored at once, so a replaced value is reported on one start, not on every one.
    try {
        write();
    } catch (const std::exception& error) {
        Tell(error.what());
    }
}

void TStatlumeDisplay::FormCreate(const std::vector<std::string>& args)
{
    Switches = ParseClientSwitches(args);
    if (Switches.ClientMode && OnClientStart) {
        OnClientStart();
    }
    if (!Switches.HideIcon) {
        TrayIcon->Add();
    }
    Store = std::make_unique<TSettingsStore>(Services.Registry, Switches, Services.Report);
    LimitToDesktop();
    const TStoredSettings stored = Store->ReadStartup();
    ApplyStartupSettings(stored);
    if (OnRoleStartup) {
        OnRoleStartup(stored);
    }
    RawShell.OnData = [this] { RenderLabels(); };
    Formatters = CreateFormatters(RawShell, Services.Locale);
    Template = TemplateTextOf(stored, Formatters);
    if (stored.DisplayProcInTray) {
        MenuItems->DisplayProcessorUsageinIcon1->setChecked(*stored.DisplayProcInTray);
        SetTrayMode(*stored.DisplayProcInTray ? 2 : 0);
    }
    if (stored.PinToDesktop) {
        MenuItems->PinToDesktop->setChecked(*stored.PinToDesktop);
    }
    if (stored.ClickThrough) {
        MenuItems->ClickThrough1->setChecked(*stored.ClickThrough);
    }
    // Until the window has its stored size, a right-anchored placed label must not move with
    // it: its stored left is where it was at the last exit.
    HoldPlaced = true;
    BuildLabels(Template);
    ArrangeLabels(false);
    ApplyStoredSize(stored);
    if (stored.LocalWindow) {
        OpenBesideLocalWindow(*stored.LocalWindow);
    }
    // The rescue needs the window's final size: all of it must be within reach.
    BringOntoScreen();
    SettleLayout();
    Chrome.ApplyWindowFlags(WindowLayer());
    show();
    ApplyPin();
    // A tray on the session bus registers a moment later: no note about a missing one yet.
    ApplyClickThrough(false);
    HoldPlaced = false;
    int interval = stored.Interval;
    if (interval <= 0) {
        interval = Switches.ClientMode ? 2000 : 1000;
        Tell("The stored update interval " + std::to_string(stored.Interval) +
             " would stop the updates; " + std::to_string(interval) + " ms is used.");
        StoreReplacement([&] { Store->WriteInterval(interval); });
    }
    Timer1->SetInterval(interval);
    Timer1->SetEnabled(true);
}

void TStatlumeDisplay::ApplyStartupSettings(const TStoredSettings& stored)
{
    Alpha = stored.Alpha;
    if (Alpha < 0 || Alpha > 255) {
        Tell("The stored alpha value " + std::to_string(Alpha) + " is not 0..255; 255 is used.");
        Alpha = 255;
        StoreReplacement([&] { Store->WriteAlpha(Alpha); });
    }
    if (stored.AlwaysOnTop) {
        MenuItems->AlwaysOnTop1->setChecked(*stored.AlwaysOnTop);
        Store->WriteAlwaysOnTop(*stored.AlwaysOnTop);
    }
    if (stored.Transparent) {
        MenuItems->Transparent1->setChecked(*stored.Transparent);
        Store->WriteTransparent(*stored.Transparent);
    }
    ApplyTransparency();
    if (stored.Font) {
        const TFontSettings& font = *stored.Font;
        DisplayFont.Name = font.Name;
        DisplayFont.Color = static_cast<std::uint32_t>(
            font.Color.value_or(static_cast<std::int32_t>(DisplayFont.Color)));
        DisplayFont.Size = font.Size.value_or(DisplayFont.Size);
        DisplayFont.Pitch = font.Pitch.value_or(DisplayFont.Pitch);
        DisplayFont.Style = font.Style.value_or(static_cast<std::uint8_t>(DisplayFont.Style));
    }
    DisplayFont.Outline = stored.TextOutline;
    if (stored.WarnColor) {
        WarnColour = ToQColor(static_cast<std::uint32_t>(*stored.WarnColor));
    }
    if (stored.CritColor) {
        CritColour = ToQColor(static_cast<std::uint32_t>(*stored.CritColor));
    }
    ApplyDisplayFont();
    move(stored.X, stored.Y);
    AutoSizeWindow = AutoSizeAfter(AutoSizeWindow, TAutoSizeEvent::Startup);
    UptimeFormat = stored.UptimeFormat;
    SnapshotCollector.SetExcludeText(stored.ExcludeText);
    SnapshotCollector.SetDriveMap(ParseDriveMap(stored.DriveMap));
    TextAlign = static_cast<std::uint8_t>(stored.Align & 0xFF);
    if (TextAlign == 0) {
        MenuItems->Left1->setChecked(true);
    } else if (TextAlign == 1) {
        MenuItems->Right1->setChecked(true);
    }
}

void TStatlumeDisplay::ApplyStoredSize(const TStoredSettings& stored)
{
    const auto side = [this](const std::optional<std::int32_t>& value, const char* name) {
        if (value && (*value < 1 || *value > LargestWindowSide)) {
            Tell(std::string("The stored window ") + name + " " + std::to_string(*value) +
                 " is not 1.." + std::to_string(LargestWindowSide) + "; it is ignored.");
            return std::optional<std::int32_t>();
        }
        return value;
    };
    const auto w = side(stored.Width, "width");
    const auto h = side(stored.Height, "height");
    if (w) {
        resize(*w, height());
        AutoSizeWindow = AutoSizeAfter(AutoSizeWindow, TAutoSizeEvent::StoredSize);
    }
    if (h) {
        resize(width(), *h);
        AutoSizeWindow = AutoSizeAfter(AutoSizeWindow, TAutoSizeEvent::StoredSize);
    }
}

void TStatlumeDisplay::SettleLayout()
{
    std::vector<TLabelBox> boxes = LabelBoxes();
    SettleLabelBoxes(boxes, {x(), y(), width(), height()}, TextAlign);
    PlaceLabels(boxes);
}

std::vector<TLabelBox> TStatlumeDisplay::LabelBoxes() const
{
    std::vector<TLabelBox> boxes;
    boxes.reserve(LabelList.size());
    for (const TFmtLabel* label : LabelList) {
        boxes.push_back({label->x(), label->y(), label->width(), label->height(), label->Tag != 0,
                         label->ExtraHeight()});
    }
    return boxes;
}

void TStatlumeDisplay::PlaceLabels(const std::vector<TLabelBox>& boxes)
{
    for (std::size_t i = 0; i < boxes.size() && i < LabelList.size(); ++i) {
        LabelList[i]->move(boxes[i].Left, boxes[i].Top);
    }
}

void TStatlumeDisplay::BringOntoScreen()
{
    std::vector<TWindowBox> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        areas.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    const auto placed = FitOnScreens({x(), y(), width(), height()}, areas);
    if (!placed) {
        return;
    }
    std::string message = "The window at the stored position " + std::to_string(x()) + ", " +
                          std::to_string(y()) +
                          " would not be wholly on the screen; it is placed at " +
                          std::to_string(placed->Left) + ", " + std::to_string(placed->Top);
    if (placed->Width != width() || placed->Height != height()) {
        message += ", " + std::to_string(placed->Width) + " x " + std::to_string(placed->Height);
    }
    Tell(message + ".");
    setGeometry(placed->Left, placed->Top, placed->Width, placed->Height);
}

void TStatlumeDisplay::OpenBesideLocalWindow(const TStoredBox& local)
{
    // The window on screen is where it is now; the stored box is where it was at its last
    // exit, and a window sized by its template has no size stored: taken as large as this one.
    const std::optional<QRect> shown = PeerProgramWindow();
    const TWindowBox window =
        shown ? TWindowBox{shown->x(), shown->y(), shown->width(), shown->height()}
              : TWindowBox{local.Left, local.Top, local.Width.value_or(width()),
                           local.Height.value_or(height())};
    const QScreen* screen = QGuiApplication::screenAt(QPoint(window.Left, window.Top));
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    constexpr int Gap = 8;
    const TWindowBox place = PlaceBeside(window, width(), height(),
                                         {area.x(), area.y(), area.width(), area.height()}, Gap);
    move(place.Left, place.Top);
}

void TStatlumeDisplay::LimitToDesktop()
{
    // A window larger than the desktop cannot be seen whole and costs memory for nothing.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setMaximumSize(screen->availableVirtualGeometry().size());
    }
}

bool TStatlumeDisplay::CollectSnapshot(bool force)
{
    const int interval = Timer1->Interval() > 0 ? Timer1->Interval() : 1000;
    return Monitor.Collect(SnapshotCollector, force, static_cast<std::uint32_t>(interval));
}

void TStatlumeDisplay::CollectionFailed()
{
    // The figures that could not be read show no value and the rest go on; each problem is
    // shown once, not on every tick.
    const std::string& problem = SnapshotCollector.CollectionProblem();
    if (problem.empty() || problem == ShownProblem) {
        return;
    }
    ShownProblem = problem;
    TTimerGuard guard(*Timer1);
    Services.Prompts.ShowMessage(TMessageKind::Warning, "", PrintableText(problem));
}

bool TStatlumeDisplay::AwaitSecondSample()
{
    if (!SnapshotCollector.AwaitingSecondSample()) {
        return false;
    }
    const int interval = Timer1->Interval() > 0 ? Timer1->Interval() : 1000;
    SecondSample->start(std::min(SecondSampleDelayMs, interval));
    return true;
}

void TStatlumeDisplay::SecondSampleTimer()
{
    if (HasExited || Switches.ClientMode) {
        return;
    }
    if (!CollectSnapshot(false)) {
        CollectionFailed();
    }
    // The second sample renders what it has, so a figure that never gets one (a clock that
    // stands still) cannot hold the labels back for good.
    RenderLabels();
}

void TStatlumeDisplay::Timer1Timer()
{
    if (HasExited) {
        return;
    }
    if (OnTick) {
        OnTick();
    }
    WatchCompositor();
    // A tray without a bus (XEmbed) comes and goes without a signal.
    ApplyClickThrough(true);
    if (Switches.ClientMode) {
        if (OnClientTick) {
            OnClientTick();
        }
        return;
    }
    // This tick is the second sample a pending one waited for.
    SecondSample->stop();
    if (!CollectSnapshot(false)) {
        CollectionFailed();
    }
    // A rate from one sample is never shown: the labels keep what they show until the second.
    if (!AwaitSecondSample()) {
        RenderLabels();
    }
}

void TStatlumeDisplay::RenderLabels(bool sample)
{
    if (HasExited) {
        return;
    }
    bool relayout = false;
    bool changed = false;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
    // The tray's tooltip shows the first lines, so hovering the icon gives the figures; with
    // no tray shown they are not made (a tray that comes says so, or is seen within seconds).
    const bool trayShown = TrayIcon->Shown();
    std::vector<std::string> trayLines;
    for (std::size_t i = 0; i < LabelList.size() && i < Monitor.LineCount(); ++i) {
        TFmtLabel* label = LabelList[i];
        if (label->Caption() == BlankCaption) {
            relayout = true;
        }
        TRunLine line = Monitor.Render(i, now, sample);
        if (trayShown && i < TrayFigureLines) {
            trayLines.push_back(TrayFigureLine(line));
        }
        changed = label->SetRuns(std::move(line)) || changed;
    }
    if (trayShown) {
        const std::string figures = TrayFigures(trayLines);
        TrayIcon->SetFigures(
            QString::fromUtf8(figures.data(), static_cast<qsizetype>(figures.size())));
    }
    if (relayout) {
        // The first captions after a rebuild: placed labels keep their stored places.
        const bool held = std::exchange(HoldPlaced, true);
        ArrangeLabels(false);
        HoldPlaced = held;
    }
    if (changed) {
        UpdateShapeMask();
    }
    if (TrayIcon->IconMode() == 2) {
        SetTrayMode(2);
    }
}

void TStatlumeDisplay::FreeLabels()
{
    for (TFmtLabel* label : LabelList) {
        delete label;
    }
    LabelList.clear();
}

bool TStatlumeDisplay::LabelMayDrag() const
{
    // With Transparent on, the labels move the whole window instead.
    return !MenuItems->Transparent1->isChecked();
}

void TStatlumeDisplay::BuildLabels(const std::string& text)
{
    std::exception_ptr failure;
    {
        TTimerGuard guard(*Timer1);
        try {
            FreeLabels();
            // Each label costs memory and time on every tick: a huge template is cut.
            if (const std::string cut = Monitor.SetTemplate(text); !cut.empty()) {
                Tell(cut);
            }
            const QColor textColour = LabelTextColour();
            for (std::size_t i = 0; i < Monitor.LineCount(); ++i) {
                const std::string name = "FormatLabel" + std::to_string(i);
                auto* label = new TFmtLabel(QString::fromStdString(name), Monitor.Line(i), this);
                label->SetTextAlign(TextAlign);
                label->setFont(LabelFont);
                QPalette colours = label->palette();
                colours.setColor(QPalette::WindowText, textColour);
                label->setPalette(colours);
                label->MayDrag = [this] { return LabelMayDrag(); };
                label->SetToneColours(WarnColour, CritColour);
                label->SetFade(RunFade());
                label->SetOutline(TextOutlineOf(DisplayFont.Outline),
                                  HaloColour(ToQColor(DisplayFont.Color)));
                if (Store) {
                    if (const auto placed = Store->ReadLabelPosition(name)) {
                        label->Tag = 1;
                        label->move(placed->Left, placed->Top);
                    }
                }
                LabelList.push_back(label);
                label->show();
            }
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (Switches.ClientMode) {
        Timer1Timer();
    } else {
        if (!CollectSnapshot(true)) {
            CollectionFailed();
        }
        // Shown at once so the window has its size; rates from this one sample have no value
        // and the second, shortly after, renders them. Kept out of the graphs.
        AwaitSecondSample();
        RenderLabels(false);
    }
    for (TFmtLabel* label : LabelList) {
        AlignLabel(*label);
    }
    for (const auto& formatter : Formatters) {
        formatter->Alignment = TextAlign;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void TStatlumeDisplay::ArrangeLabels(bool keepRightEdge)
{
    std::vector<TLabelBox> boxes = LabelBoxes();
    TWindowBox window{x(), y(), width(), height()};
    ArrangeLabelBoxes(boxes, window, keepRightEdge, AutoSizeWindow);
    // Flowing labels take their tops here and their lefts from AlignLabel; placed ones may
    // have been moved into the window.
    PlaceLabels(boxes);
    if (AutoSizeWindow) {
        move(window.Left, window.Top);
        resize(window.Width, window.Height);
    }
    UpdateShapeMask();
}

void TStatlumeDisplay::ResetLabelPositions()
{
    Store->DeleteLabelPositions();
    for (TFmtLabel* label : LabelList) {
        label->Tag = 0;
    }
    ArrangeLabels(true);
    for (TFmtLabel* label : LabelList) {
        AlignLabel(*label);
    }
}

void TStatlumeDisplay::AlignLabel(TFmtLabel& label)
{
    label.SetTextAlign(TextAlign);
    const TLabelBox box{label.x(), label.y(), label.width(), label.height(), label.Tag != 0};
    if (const auto left = AlignedLeft(box, width(), TextAlign)) {
        label.move(*left, label.y());
    }
    if (TextAlign <= 1) {
        label.AnchorRight = TextAlign == 1;
    }
}

void TStatlumeDisplay::StoreTemplate(const std::string& text)
{
    Template = text;
    Store->WriteFormatString(text);
}

std::string TStatlumeDisplay::DriveMapText() const
{
    return statlume::DriveMapText(SnapshotCollector.DriveMap());
}

void TStatlumeDisplay::StoreDriveMap(const std::string& text)
{
    SnapshotCollector.SetDriveMap(ParseDriveMap(text));
    Store->WriteDriveMap(text);
}

std::vector<std::string> TStatlumeDisplay::MountPoints() const
{
    return platform::ListMountPoints();
}

TMachineFacts TStatlumeDisplay::MachineFacts() const
{
    if (Switches.ClientMode)
        return {};
    TMachineFacts facts = FactsOfSnapshot(RawShell.Beyond);
    facts.DriveLetters = SnapshotCollector.DriveLetters();
    return facts;
}

void TStatlumeDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Right-anchored labels keep their distance to the right edge.
    const int grown = event->size().width() - event->oldSize().width();
    if (event->oldSize().isValid() && grown != 0) {
        for (TFmtLabel* label : LabelList) {
            if (label->AnchorRight && !(HoldPlaced && label->Tag != 0)) {
                label->move(label->x() + grown, label->y());
            }
        }
    }
    UpdateShapeMask();
}

void TStatlumeDisplay::ApplyDisplayFont()
{
    LabelFont = ToQFont(DisplayFont);
    const QColor textColour = LabelTextColour();
    // From the font's own colour, not the faded one of old figures, so the halo never flips.
    const QColor haloColour = HaloColour(ToQColor(DisplayFont.Color));
    for (TFmtLabel* label : LabelList) {
        label->setFont(LabelFont);
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, textColour);
        label->setPalette(colours);
        label->SetFade(RunFade());
        label->SetOutline(TextOutlineOf(DisplayFont.Outline), haloColour);
    }
    const bool white = DisplayFont.Color == WhiteColorRef;
    const QColor wanted = white ? QColor(Qt::black) : QColor(Qt::white);
    if (wanted != Background) {
        Background = wanted;
        QPalette colours = palette();
        colours.setColor(QPalette::Window, Background);
        setPalette(colours);
        ApplyTransparency();
    }
    AutoSizeWindow = AutoSizeAfter(AutoSizeWindow, TAutoSizeEvent::FontApplied);
    ArrangeLabels(false);
}

void TStatlumeDisplay::UpdateShapeMask()
{
    Chrome.UpdateShapeMask();
}

void TStatlumeDisplay::ApplyTransparency()
{
    Chrome.ApplyTransparency(MenuItems->Transparent1->isChecked(), Alpha);
}

void TStatlumeDisplay::WatchCompositor()
{
    Chrome.WatchCompositor(MenuItems->Transparent1->isChecked(), Alpha);
}

void TStatlumeDisplay::paintEvent(QPaintEvent* event)
{
    if (Chrome.SeeThrough()) {
        return;
    }
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), Background);
}

void TStatlumeDisplay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Chrome.Shown(WindowLayer());
}

bool TStatlumeDisplay::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    Chrome.NativeEvent(eventType, message, WindowLayer());
    return QWidget::nativeEvent(eventType, message, result);
}

TWindowLayer TStatlumeDisplay::WindowLayer() const
{
    if (MenuItems->AlwaysOnTop1->isChecked()) {
        return TWindowLayer::Above;
    }
    return MenuItems->PinToDesktop->isChecked() ? TWindowLayer::Below : TWindowLayer::Normal;
}

void TStatlumeDisplay::ApplyPin()
{
    Chrome.ApplyLayer(WindowLayer());
}

void TStatlumeDisplay::ApplyClickThrough(bool mayReport)
{
    const bool wanted = MenuItems->ClickThrough1->isChecked();
    // Without a tray icon the window's right click is the only way to the menu: clicks that
    // went through would leave no way to uncheck the item or to exit.
    const bool on = wanted && TrayIcon->Shown() && !HasExited;
    if (wanted && !on && mayReport && !ClickThroughNoteShown && !HasExited) {
        ClickThroughNoteShown = true;
        Tell("Click Through waits for a tray icon: until one is shown the window takes clicks, "
             "so that its right click opens the menu.");
    }
    if (Chrome.SetClickThrough(on)) {
        emit ClickThroughChanged();
    }
}

void TStatlumeDisplay::SetTrayMode(std::uint8_t mode)
{
    if (mode == 2) {
        // The figure needs processor figures even when the template shows none.
        FamilyOf(Formatters, TFamily::Proc).Active = true;
        TrayIcon->SetTrayIcon(2, ProcessorFigure(), LabelFont);
        return;
    }
    TrayIcon->SetTrayIcon(mode);
}

void TStatlumeDisplay::ShowConnectionAlert(bool alert)
{
    if (HasExited) {
        return;
    }
    if (alert) {
        SetTrayMode(1);
        return;
    }
    SetTrayMode(MenuItems->DisplayProcessorUsageinIcon1->isChecked() ? 2 : 0);
}

QColor TStatlumeDisplay::FadeColour() const
{
    return DisplayFont.Color == WhiteColorRef ? QColor(Qt::black) : QColor(Qt::white);
}

std::optional<QColor> TStatlumeDisplay::RunFade() const
{
    return OldFigures ? std::optional(FadeColour()) : std::nullopt;
}

QColor TStatlumeDisplay::LabelTextColour() const
{
    const QColor text = ToQColor(DisplayFont.Color);
    if (!OldFigures) {
        return text;
    }
    // Halfway to the background the text still reads, but plainly not as current.
    const QColor back = FadeColour();
    return QColor((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                  (text.blue() + back.blue()) / 2);
}

void TStatlumeDisplay::ShowFiguresOld(bool old)
{
    if (old == OldFigures || HasExited) {
        return;
    }
    OldFigures = old;
    const QColor textColour = LabelTextColour();
    for (TFmtLabel* label : LabelList) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, textColour);
        label->setPalette(colours);
        // Bars and coloured text fade too: a red bar would still read as a live alarm.
        label->SetFade(RunFade());
    }
}

QString TStatlumeDisplay::ProcessorFigure() const
{
    const auto& proc = static_cast<const TProcFormat&>(FamilyOf(Formatters, TFamily::Proc));
    return QString::fromStdString(proc.ProcUsageFunc("", true, false));
}

TExitState TStatlumeDisplay::ExitStateNow() const
{
    TExitState state;
    state.WipeSettings = MenuItems->WipeRegistrySettings1->isChecked();
    TWindowPlacement window;
    for (const TFmtLabel* label : LabelList) {
        if (label->Tag == 1) {
            window.PlacedLabels.push_back(
                {label->objectName().toStdString(), label->x(), label->y()});
        }
    }
    window.AutoSizeWindow = AutoSizeWindow;
    window.ClientWidth = width();
    window.ClientHeight = height();
    window.Left = x();
    window.Top = y();
    window.PlaceKnown = !CompositorPlaces;
    state.Window = window;
    state.LastUptimeSecs = SnapshotCollector.LastUptimeSecs();
    return state;
}

void TStatlumeDisplay::Exit1Click()
{
    if (HasExited) {
        return;
    }
    HasExited = true;
    Timer1->Retire();
    if (OnExitCommand) {
        OnExitCommand();
    }
    TrayIcon->Remove();
    if (Store) {
        Store->SaveOnExit(ExitStateNow());
    }
    Services.Sensors.Shutdown();
    RawShell.OnData = nullptr;
    hide();
    if (Services.Quit) {
        Services.Quit();
    }
}

void TStatlumeDisplay::RestoreTrayIcon()
{
    if (!HasExited) {
        TrayIcon->Restore();
        ApplyClickThrough(false);
    }
}

void TStatlumeDisplay::closeEvent(QCloseEvent* event)
{
    Exit1Click();
    event->accept();
}

void TStatlumeDisplay::mouseMoveEvent(QMouseEvent* event)
{
    if (MoveGrab) {
        move(event->globalPosition().toPoint() - *MoveGrab);
    }
    event->accept();
}

void TStatlumeDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        MoveGrab.reset();
    }
    event->accept();
}

void TStatlumeDisplay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // Without a window manager that moves windows, the window follows the pointer itself.
        if (!MenuItems->LockPosition1->isChecked() &&
            (windowHandle() == nullptr || !windowHandle()->startSystemMove())) {
            MoveGrab = event->globalPosition().toPoint() - pos();
        }
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton && !TrayIcon->Shown()) {
        // Without a tray icon the window's own right click is the way to the menu.
        MenuItems->PopupAt(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace statlume
