#pragma once

#include <functional>

#include "platform/linux/unique_fd.h"

#include <QObject>

class QSocketNotifier;

namespace statlume {

/// Brings SIGTERM, SIGINT and SIGHUP to the UI thread: the handler writes one byte to a
/// socket pair whose other end a QSocketNotifier watches. One bridge per process.
class TSignalBridge : public QObject
{
    Q_OBJECT
public:
    /// Installs the handlers; onSignal runs on the UI thread for each delivered signal.
    TSignalBridge(std::function<void()> onSignal, QObject* parent = nullptr);
    /// Restores the default handlers.
    ~TSignalBridge() override;

    /// False when the socket pair or a handler could not be set up (the reason in Error).
    bool Ok() const { return Error.isEmpty(); }
    /// Why the bridge is not working; empty when it is.
    QString Error;

private:
    void Drain();

    platform::TUniqueFd ReadEnd;
    platform::TUniqueFd WriteEnd;
    QSocketNotifier* Notifier = nullptr;
    std::function<void()> OnSignal;
};

} // namespace statlume
