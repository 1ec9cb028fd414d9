#include "display/qt/wayland_output.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "display/qt/fmt_label.h"
#include "display/qt/statlume_display.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QSocketNotifier>
#include <QTimer>

namespace statlume {
namespace {

// Linux input button codes, as wl_pointer.button carries them.
constexpr std::uint32_t ButtonLeft = 0x110;
constexpr std::uint32_t ButtonRight = 0x111;

constexpr const char* OutputSetting = "WaylandOutput";

void SendMouse(QWidget& target, QEvent::Type type, QPoint local, QPoint global,
               Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &event);
}

bool IsDialog(const QObject* object)
{
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget != nullptr && widget->isWindow() && widget->windowType() == Qt::Dialog;
}

bool DialogShown()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* window) {
        return IsDialog(window) && window->isVisible();
    });
}

} // namespace

TWaylandOutput::TWaylandOutput(TStatlumeDisplay& window,
                               std::unique_ptr<wayland::TLayerClient> client,
                               platform::TReportFunc report)
    : QObject(&window)
    , Window(window)
    , Client(std::move(client))
    , Report(std::move(report))
{
    // The widget keeps living for Qt (layout, events, render) without a window of its own.
    Window.setAttribute(Qt::WA_DontShowOnScreen, true);
    // Qt still keeps a backing store for the hidden window, which it clears before each paint
    // when it has alpha; without alpha its memory is never touched. The buffers we draw have
    // alpha whatever Qt's window has, and the window keeps painting no system background.
    Window.setAttribute(Qt::WA_TranslucentBackground, false);
    Window.setAttribute(Qt::WA_NoSystemBackground, true);
    Window.installEventFilter(this);
    // Qt would also paint the widget into a backing store nobody shows: only our render()
    // paints it.
    qApp->installEventFilter(this);
    ReadNotifier = new QSocketNotifier(Client->Fd(), QSocketNotifier::Read, this);
    connect(ReadNotifier, &QSocketNotifier::activated, this, [this] { ReadSocket(); });
    WriteNotifier = new QSocketNotifier(Client->Fd(), QSocketNotifier::Write, this);
    WriteNotifier->setEnabled(false);
    connect(WriteNotifier, &QSocketNotifier::activated, this, [this] { FlushRequests(); });
    SyncTimer.setSingleShot(true);
    SyncTimer.setInterval(0);
    connect(&SyncTimer, &QTimer::timeout, this, [this] { Sync(); });
    // A frame callback or a released buffer matters only with something to draw.
    Client->OnReady = [this] {
        if (FullDamage || !Damage.isEmpty() || Client->PictureLost()) {
            ScheduleSync();
        }
    };
    Client->OnClosed = [this] {
        FullDamage = true;
        ScheduleSync();
    };
    Client->OnPointer = [this](const wayland::TPointerEvent& event) { HandlePointer(event); };
    // The alpha prompt changes the opacity without any event; the tick looks at it.
    connect(&Window.UpdateTimer().Timer(), &QTimer::timeout, this, [this] {
        if (Window.windowOpacity() != DrawnOpacity) {
            ScheduleSync();
        }
    });
    connect(&Window, &TStatlumeDisplay::ClickThroughChanged, this, [this] { ScheduleSync(); });
}

TWaylandOutput::~TWaylandOutput()
{
    Window.removeEventFilter(this);
    qApp->removeEventFilter(this);
}

bool TWaylandOutput::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && !Rendering) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != &Window) {
            return false;
        }
        NoteDamage(*widget, static_cast<QPaintEvent*>(event)->region());
        return true;
    }
    if (watched != &Window) {
        if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && IsDialog(watched)) {
            ScheduleSync();
            return false;
        }
        // Qt may move an opaque child by copying pixels in its own backing store, without
        // a paint event: both places change.
        if (event->type() != QEvent::Move) {
            return false;
        }
        const auto* child = qobject_cast<QWidget*>(watched);
        if (child != nullptr && child->parentWidget() == &Window) {
            const auto* move = static_cast<QMoveEvent*>(event);
            NoteDamage(Window, QRegion(QRect(move->oldPos(), child->size())) +
                                   QRect(move->pos(), child->size()));
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
        FullDamage = true;
        ScheduleSync();
        break;
    case QEvent::UpdateRequest:
    case QEvent::Move:
    case QEvent::Hide:
        ScheduleSync();
        break;
    default:
        break;
    }
    return false;
}

void TWaylandOutput::ScheduleSync()
{
    // A flag change hides and shows the widget at once: the surface must not blink. An update
    // request is seen before Qt sends its paint events, which bring the damage.
    if (!SyncTimer.isActive()) {
        SyncTimer.start();
    }
}

void TWaylandOutput::NoteDamage(QWidget& widget, const QRegion& region)
{
    Damage += &widget == &Window ? region : region.translated(widget.mapTo(&Window, QPoint()));
    ScheduleSync();
}

void TWaylandOutput::ReadStoredChoices()
{
    TSettingsStore* store = Window.Settings();
    if (StoredRead || store == nullptr) {
        return;
    }
    StoredRead = true;
    try {
        platform::TRegistry& registry = store->Registry();
        if (registry.OpenKey(store->KeyPath(), false)) {
            StoredOutput = registry.ReadString(OutputSetting).value_or("");
        }
    } catch (const std::exception&) {
        // A value of the wrong type counts as none.
        StoredOutput.clear();
    }
}

void TWaylandOutput::RememberOutput()
{
    TSettingsStore* store = Window.Settings();
    const std::string name = Client->OutputName();
    if (store == nullptr || name.empty() || name == StoredOutput || Window.Exited()) {
        return;
    }
    try {
        platform::TRegistry& registry = store->Registry();
        if (registry.OpenKey(store->KeyPath(), true)) {
            registry.WriteString(OutputSetting, name);
            StoredOutput = name;
        }
    } catch (const std::exception& error) {
        Report(std::string("the output's name cannot be stored: ") + error.what());
        StoredOutput = name;
    }
}

wayland::TSurfacePlan TWaylandOutput::PlanNow()
{
    wayland::TSurfacePlan plan;
    plan.Shown = Window.isVisible() && !Window.Exited();
    plan.Margins = {Window.x(), Window.y()};
    plan.Size = {Window.width(), Window.height()};
    // The top layer lies over every ordinary window, our dialogs too: while one is open the
    // window steps down, so what the dialog asks about is not hidden under the window.
    plan.Layer = (Window.windowFlags() & Qt::WindowStaysOnTopHint) != 0 && !DialogShown()
                     ? wayland::TLayer::Top
                     : wayland::TLayer::Bottom;
    plan.ClickThrough = Window.ClickingThrough();
    plan.OutputName = StoredOutput;
    return plan;
}

void TWaylandOutput::Sync()
{
    if (!Client->Error().empty()) {
        return;
    }
    ReadStoredChoices();
    Client->Apply(PlanNow());
    RememberOutput();
    if (Window.windowOpacity() != DrawnOpacity || Client->PictureLost()) {
        FullDamage = true;
    }
    if ((FullDamage || !Damage.isEmpty()) && Client->CanDraw()) {
        Draw();
    }
    FlushRequests();
}

void TWaylandOutput::Draw()
{
    const std::optional<wayland::TFramePixels> frame = Client->BeginFrame();
    if (!frame) {
        return;
    }
    DrawnOpacity = Window.windowOpacity();
    Rendering = true;
    const std::vector<wayland::TPixelRect> damage = Painter.Paint(
        Window, Damage, FullDamage, DrawnOpacity, *frame,
        [this](std::span<const wayland::TPixelRect> rects) { Client->CopyFromFront(rects); });
    Rendering = false;
    Client->CommitFrame(damage);
    Damage = QRegion();
    FullDamage = false;
    ++Frames;
}

void TWaylandOutput::ReadSocket()
{
    if (!Client->ReadEvents()) {
        Fail(Client->Error());
        return;
    }
    FlushRequests();
}

void TWaylandOutput::FlushRequests()
{
    switch (Client->Flush()) {
    case wayland::TFlushState::Sent:
        WriteNotifier->setEnabled(false);
        break;
    case wayland::TFlushState::Waiting:
        // The compositor reads nothing now: wait for room instead of spinning.
        WriteNotifier->setEnabled(true);
        break;
    case wayland::TFlushState::Failed:
        Fail(Client->Error());
        break;
    }
}

void TWaylandOutput::Fail(const std::string& why)
{
    ReadNotifier->setEnabled(false);
    WriteNotifier->setEnabled(false);
    Report(why + "; the window is no longer shown.");
}

QPoint TWaylandOutput::GlobalOf(QPoint local) const
{
    const wayland::TLogicalPoint origin = Client->OutputOrigin();
    const wayland::TLogicalPoint margins = Client->AppliedMargins();
    return local + QPoint(origin.X + margins.X, origin.Y + margins.Y);
}

void TWaylandOutput::PressAt(QPoint local, std::uint32_t button)
{
    if (button == ButtonRight) {
        // Without a tray icon the window's own right click is the way to the menu.
        if (!Window.Tray().Shown()) {
            Window.Menu().PopupAt(GlobalOf(local));
        }
        return;
    }
    if (button != ButtonLeft) {
        return;
    }
    auto* label = qobject_cast<TFmtLabel*>(Window.childAt(local));
    if (label != nullptr && (!label->MayDrag || label->MayDrag())) {
        LabelGrab = label;
        SendMouse(*label, QEvent::MouseButtonPress, label->mapFrom(&Window, local), GlobalOf(local),
                  Qt::LeftButton, Qt::LeftButton);
        return;
    }
    if (!Window.Menu().LockPosition1->isChecked()) {
        const wayland::TLogicalPoint margins = Client->AppliedMargins();
        BodyGrab = wayland::TBodyDrag{static_cast<double>(margins.X + local.x()),
                                      static_cast<double>(margins.Y + local.y()),
                                      {local.x(), local.y()}};
    }
}

void TWaylandOutput::HandlePointer(const wayland::TPointerEvent& event)
{
    const QPoint local(static_cast<int>(event.X), static_cast<int>(event.Y));
    switch (event.Kind) {
    case wayland::TPointerEvent::TKind::Press:
        PressAt(local, event.Button);
        break;
    case wayland::TPointerEvent::TKind::Motion:
        if (LabelGrab) {
            SendMouse(*LabelGrab, QEvent::MouseMove, LabelGrab->mapFrom(&Window, local),
                      GlobalOf(local), Qt::NoButton, Qt::LeftButton);
        } else if (BodyGrab && !Client->PointerShifts()) {
            const wayland::TLogicalPoint to =
                wayland::DraggedMargins(Client->AppliedMargins(), event.X, event.Y, BodyGrab->Grab);
            Window.move(to.X, to.Y);
        }
        break;
    case wayland::TPointerEvent::TKind::Shift:
        if (BodyGrab) {
            const wayland::TLogicalPoint to =
                wayland::FollowPointer(*BodyGrab, event.X, event.Y, Client->OutputSize());
            Window.move(to.X, to.Y);
        }
        break;
    case wayland::TPointerEvent::TKind::Release:
        if (event.Button == ButtonLeft) {
            if (LabelGrab) {
                SendMouse(*LabelGrab, QEvent::MouseButtonRelease,
                          LabelGrab->mapFrom(&Window, local), GlobalOf(local), Qt::LeftButton,
                          Qt::NoButton);
            }
            LabelGrab.clear();
            BodyGrab.reset();
        }
        break;
    case wayland::TPointerEvent::TKind::Leave:
        // The compositor keeps sending motion to the surface while a button is held, so a
        // leave means the drag is over.
        BodyGrab.reset();
        LabelGrab.clear();
        break;
    case wayland::TPointerEvent::TKind::Enter:
        break;
    }
}

} // namespace statlume
