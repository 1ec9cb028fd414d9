#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "collect/sensor_step.h"
#include "platform/fake/fake_sensor.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;
using platform::TFakeLibraryKind;
using platform::TFakeSensorBlock;
using platform::TFakeSensorStarter;
using platform::TFakeStarterLog;
using platform::TSensorWords;

// Stands in for the program's event loop: the starter thread posts, the test thread runs.
class TMainQueue
{
public:
    TPostToMain Poster()
    {
        return [this](std::function<void()> work) {
            {
                const std::lock_guard lock(Lock);
                Posted.push_back(std::move(work));
            }
            Arrived.notify_all();
        };
    }

    bool WaitForPost(std::chrono::milliseconds timeout = 5s)
    {
        std::unique_lock lock(Lock);
        return Arrived.wait_for(lock, timeout, [this] { return !Posted.empty(); });
    }

    std::size_t RunPosted()
    {
        std::vector<std::function<void()>> work;
        {
            const std::lock_guard lock(Lock);
            work.swap(Posted);
        }
        for (auto& item : work)
            item();
        return work.size();
    }

private:
    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<std::function<void()>> Posted;
};

TSensorWords Words(std::uint32_t t1, std::uint32_t t2, std::uint32_t t3, std::uint32_t f1,
                   std::uint32_t f2, std::uint32_t f3)
{
    TSensorWords words;
    words.Temps = {t1, t2, t3, 7, 7, 7, 7, 7, 7, 7};
    words.Fans = {f1, f2, f3, 9};
    return words;
}

template <typename TCondition> bool Eventually(TCondition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct TRig
{
    explicit TRig(TFakeLibraryKind kind, bool clientMode = false,
                  std::chrono::milliseconds wait = SensorShutdownWait)
        : Log(std::make_shared<TFakeStarterLog>())
    {
        auto block = std::make_unique<TFakeSensorBlock>();
        Block = block.get();
        Step.emplace(std::move(block), std::make_unique<TFakeSensorStarter>(kind, Log),
                     Queue.Poster(), clientMode, wait);
    }

    TMainQueue Queue;
    std::shared_ptr<TFakeStarterLog> Log;
    TFakeSensorBlock* Block = nullptr;
    std::optional<TSensorStep> Step;
    TRawData Data;
};

TEST(SensorStep, FirstRunStartsTheStarterAndReadsNothing)
{
    TRig rig(TFakeLibraryKind::WithStart);
    rig.Block->Words = Words(45, 46, 47, 1000, 2000, 3000);

    rig.Step->Run(rig.Data);

    EXPECT_EQ(rig.Block->Reads, 0);
    EXPECT_EQ(rig.Data.Temps[0], 0);
    EXPECT_TRUE(rig.Step->StartPending());
    ASSERT_TRUE(rig.Queue.WaitForPost());
    EXPECT_EQ(rig.Log->Loads, 1);
    EXPECT_EQ(rig.Log->Starts, 1);
}

TEST(SensorStep, ReadsWhileStartingAndAfterTheReport)
{
    TRig rig(TFakeLibraryKind::WithStart);
    rig.Log->Hold();
    rig.Block->Words = Words(45, 46, 47, 1000, 2000, 3000);
    rig.Step->Run(rig.Data);
    ASSERT_TRUE(Eventually([&] { return rig.Log->Starts == 1; }));

    // Start is still blocked: the step reads meanwhile.
    rig.Step->Run(rig.Data);
    EXPECT_EQ(rig.Data.Temps[2], 47);
    EXPECT_EQ(rig.Data.Fans[1], 2000);

    rig.Log->Release();
    ASSERT_TRUE(rig.Queue.WaitForPost());
    EXPECT_EQ(rig.Queue.RunPosted(), 1u);
    EXPECT_FALSE(rig.Step->StartPending());
    EXPECT_TRUE(rig.Step->LibraryLoaded());

    rig.Block->Words = Words(50, 51, 52, 10, 20, 30);
    rig.Step->Run(rig.Data);
    rig.Step->Run(rig.Data);
    EXPECT_EQ(rig.Data.Temps[0], 50);
    EXPECT_EQ(rig.Data.Fans[2], 30);
    EXPECT_EQ(rig.Log->Loads, 1);
}

TEST(SensorStep, DecodesWords)
{
    struct TCase
    {
        const char* name;
        std::uint32_t temp;
        std::int16_t wantTemp;
        std::uint32_t fan;
        std::int32_t wantFan;
    };
    const TCase cases[] = {
        {"upper half dropped", 0x0001002Du, 45, 4500, 4500},
        {"negative temperature", 0xFFFFFFF6u, -10, 0xFFFFFFFFu, -1},
        {"low half alone is negative", 0x0000FFF6u, -10, 255, 255},
        {"16-bit extremes", 0x00008000u, -32768, 0x80000000u, -2147483647 - 1},
        {"largest positive", 0xFFFF7FFFu, 32767, 0x7FFFFFFFu, 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRig rig(TFakeLibraryKind::Missing, true);
        rig.Block->Words = Words(c.temp, c.temp, c.temp, c.fan, c.fan, c.fan);
        rig.Step->Run(rig.Data);
        rig.Step->Run(rig.Data);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(rig.Data.Temps[i], c.wantTemp);
            EXPECT_EQ(rig.Data.Fans[i], c.wantFan);
        }
    }
}

TEST(SensorStep, FieldsKeepTheirValuesWhenTheBlockCannotBeRead)
{
    TRig rig(TFakeLibraryKind::Missing, true);
    rig.Step->Run(rig.Data);
    rig.Step->Run(rig.Data);
    EXPECT_EQ(rig.Data.Temps[0], 0) << "never read: zero";
    EXPECT_EQ(rig.Data.Fans[0], 0);

    rig.Block->Words = Words(40, 41, 42, 800, 900, 1000);
    rig.Step->Run(rig.Data);
    rig.Block->Words.reset();
    rig.Step->Run(rig.Data);
    EXPECT_EQ(rig.Data.Temps[1], 41);
    EXPECT_EQ(rig.Data.Fans[2], 1000);
    EXPECT_EQ(rig.Block->Reads, 3);
}

TEST(SensorStep, ClientNeverLoadsTheLibraryAndOnlyReads)
{
    TRig rig(TFakeLibraryKind::WithStart, true);
    rig.Block->Words = Words(30, 31, 32, 1, 2, 3);
    rig.Step->Run(rig.Data);
    EXPECT_EQ(rig.Block->Reads, 0);
    rig.Step->Run(rig.Data);
    rig.Step->Run(rig.Data);
    rig.Step->Shutdown();

    EXPECT_EQ(rig.Data.Temps[0], 30);
    EXPECT_EQ(rig.Log->Loads, 0);
    EXPECT_TRUE(rig.Step->StartPending());
    EXPECT_EQ(rig.Queue.RunPosted(), 0u);
}

TEST(SensorStep, MissingLibraryEndsWithoutReportAndTheStepReadsEveryTime)
{
    TRig rig(TFakeLibraryKind::Missing);
    rig.Block->Words = Words(20, 21, 22, 5, 6, 7);
    rig.Step->Run(rig.Data);
    ASSERT_TRUE(Eventually([&] { return rig.Log->Loads == 1; }));
    for (int i = 0; i < 3; ++i)
        rig.Step->Run(rig.Data);
    rig.Step->Shutdown();

    EXPECT_EQ(rig.Queue.RunPosted(), 0u);
    EXPECT_TRUE(rig.Step->StartPending());
    EXPECT_FALSE(rig.Step->LibraryLoaded());
    EXPECT_EQ(rig.Block->Reads, 3);
    EXPECT_EQ(rig.Data.Temps[2], 22);
    EXPECT_EQ(rig.Log->Loads, 1) << "the starter runs once per program run";
}

TEST(SensorStep, LibraryWithoutStartStillReportsAndIsUnloadedAtShutdown)
{
    TRig rig(TFakeLibraryKind::WithoutStart);
    rig.Step->Run(rig.Data);
    ASSERT_TRUE(rig.Queue.WaitForPost());
    rig.Queue.RunPosted();
    EXPECT_FALSE(rig.Step->StartPending());
    EXPECT_TRUE(rig.Step->LibraryLoaded());

    rig.Step->Shutdown();
    EXPECT_EQ(rig.Log->Starts, 0);
    EXPECT_EQ(rig.Log->Unloads, 1);
}

TEST(SensorStep, ShutdownCallsStartOnceMoreAndUnloadsOnce)
{
    TRig rig(TFakeLibraryKind::WithStart);
    rig.Step->Run(rig.Data);
    ASSERT_TRUE(rig.Queue.WaitForPost());
    rig.Queue.RunPosted();

    rig.Step->Shutdown();
    rig.Step->Shutdown();
    rig.Step.reset();
    EXPECT_EQ(rig.Log->Starts, 2);
    EXPECT_EQ(rig.Log->Unloads, 1);
}

TEST(SensorStep, ShutdownBeforeTheReportIsHandledIgnoresTheLateReport)
{
    TRig rig(TFakeLibraryKind::WithStart);
    rig.Step->Run(rig.Data);
    ASSERT_TRUE(rig.Queue.WaitForPost());

    rig.Step->Shutdown();
    EXPECT_EQ(rig.Log->Starts, 2);
    EXPECT_EQ(rig.Log->Unloads, 1);
    rig.Queue.RunPosted();
    EXPECT_TRUE(rig.Step->StartPending());

    // The report may even outlive the step.
    TRig gone(TFakeLibraryKind::WithStart);
    gone.Step->Run(gone.Data);
    ASSERT_TRUE(gone.Queue.WaitForPost());
    gone.Step.reset();
    gone.Queue.RunPosted();
}

TEST(SensorStep, DestroyingWhileStartBlocksReturnsAndKeepsTheLibraryUntilStartEnds)
{
    TRig rig(TFakeLibraryKind::WithStart, false, 100ms);
    rig.Log->Hold();
    rig.Step->Run(rig.Data);
    ASSERT_TRUE(Eventually([&] { return rig.Log->Starts == 1; }));

    const auto before = std::chrono::steady_clock::now();
    rig.Step.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(rig.Log->Unloads, 0) << "Start is still running inside the library";

    rig.Log->Release();
    EXPECT_TRUE(Eventually([&] { return rig.Log->Unloads == 1; }));
    EXPECT_EQ(rig.Log->Starts, 1);
    EXPECT_EQ(rig.Queue.RunPosted(), 0u) << "nothing is posted after shutdown";
}

} // namespace
} // namespace statlume
