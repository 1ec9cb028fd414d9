#include "display/qt/sni_item.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

namespace statlume {
namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString ItemPath = QStringLiteral("/StatusNotifierItem");
// A watcher that does not answer must not leave the registration pending for long.
constexpr int RegisterTimeoutMs = 5000;

} // namespace

TSniItem* TSniItem::Create(QObject* parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return nullptr;
    }
    return new TSniItem(bus, parent);
}

TSniItem::TSniItem(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , Bus(std::move(bus))
    , ServiceName(
          QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
{
    RegisterSniTypes();
    Adaptor = new TSniAdaptor(this);
    Bus.registerObject(ItemPath, this, QDBusConnection::ExportAdaptors);
    Watcher = new QDBusServiceWatcher(WatcherService, Bus, QDBusServiceWatcher::WatchForOwnerChange,
                                      this);
    connect(Watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                SetRegistered(false);
                // A new panel, or the same one started again: it knows nothing of us.
                if (!newOwner.isEmpty()) {
                    Register();
                }
            });
}

void TSniItem::SetWanted(bool wanted)
{
    Wanted = wanted;
    if (!wanted) {
        if (OwnsName) {
            Bus.unregisterService(ServiceName);
            OwnsName = false;
        }
        SetRegistered(false);
        return;
    }
    Register();
}

void TSniItem::Register()
{
    if (!Wanted) {
        return;
    }
    if (!OwnsName) {
        OwnsName = Bus.registerService(ServiceName);
        if (!OwnsName) {
            return;
        }
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, WatcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << ServiceName;
    auto* pending = new QDBusPendingCallWatcher(Bus.asyncCall(call, RegisterTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                SetRegistered(Wanted && !done->isError());
            });
}

void TSniItem::SetRegistered(bool registered)
{
    if (registered != IsRegistered) {
        IsRegistered = registered;
        if (registered) {
            // A change made while the registration was on its way reached no host.
            emit Adaptor->NewIcon();
            emit Adaptor->NewStatus(Status());
            emit Adaptor->NewToolTip();
        }
        emit RegisteredChanged(registered);
    }
}

void TSniItem::SetIcon(const QIcon& icon, bool attention)
{
    Pixmaps = SniPixmapsOf(icon);
    const bool statusChanged = attention != Attention;
    Attention = attention;
    // Signals nobody hosts would still cross the bus on every figure.
    if (!IsRegistered) {
        return;
    }
    emit Adaptor->NewIcon();
    if (statusChanged) {
        emit Adaptor->NewAttentionIcon();
        emit Adaptor->NewStatus(Status());
    }
}

void TSniItem::SetAttentionIcon(const QIcon& icon)
{
    AttentionPixmaps = SniPixmapsOf(icon);
    emit Adaptor->NewAttentionIcon();
}

QString TSniItem::Status() const
{
    return Attention ? QStringLiteral("NeedsAttention") : QStringLiteral("Active");
}

void TSniItem::SetToolTip(const QString& text, const QString& figure)
{
    TSniToolTip tip = SniToolTipOf(text, figure);
    if (tip.Title != Tip.Title || tip.Text != Tip.Text) {
        Tip = std::move(tip);
        if (IsRegistered) {
            emit Adaptor->NewToolTip();
        }
    }
}

TSniAdaptor::TSniAdaptor(TSniItem* item)
    : QDBusAbstractAdaptor(item)
    , Item(item)
{
}

void TSniAdaptor::ContextMenu(int x, int y)
{
    // The host knows where its icon is; the pointer as the toolkit last saw it may be far
    // off (XWayland sees none over a Wayland panel).
    emit Item->ContextRequested(QPoint(x, y));
}

void TSniAdaptor::Activate(int, int)
{
    emit Item->Activated();
}

void TSniAdaptor::SecondaryActivate(int, int) {}

void TSniAdaptor::Scroll(int, const QString&) {}

} // namespace statlume
