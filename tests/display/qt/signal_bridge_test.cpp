#include <csignal>

#include "display/qt/signal_bridge.h"
#include "options/qt_test_app.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(SignalBridge, EachEndingSignalReachesTheUiThread)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        int calls = 0;
        TSignalBridge bridge([&calls] { ++calls; });
        ASSERT_TRUE(bridge.Ok()) << bridge.Error.toStdString();
        std::raise(signal);
        EXPECT_EQ(calls, 0) << "never inside the handler";
        QElapsedTimer waited;
        waited.start();
        while (calls == 0 && waited.elapsed() < 2000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(calls, 1);
    }
}

} // namespace
} // namespace statlume
