#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/qt/display_remote.h"
#include "display/qt/statlume_display.h"
#include "options/qt_test_app.h"
#include "platform/fake/fake_sensor.h"
#include "platform/fake/fake_system_status.h"
#include "platform/fake/memory_registry.h"
#include "platform/fake/perf_block_builder.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <gtest/gtest.h>

namespace statlume::testing {

/// One asked question and what the window's timer did meanwhile.
struct TAsked
{
    std::string Caption;
    std::string Prompt;
    std::string Initial;
    bool TimerActive = false;
};

/// Prompts that answer from a script and record what was asked.
class TScriptedPrompts final : public TPrompts
{
public:
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                       const std::string& initial) override
    {
        Asked.push_back({caption, prompt, initial, TimerActive && TimerActive()});
        if (TextAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = TextAnswers.front();
        TextAnswers.pop_front();
        return answer;
    }
    TAnswer AskYesNoCancel(const std::string& caption, const std::string& question) override
    {
        Asked.push_back({caption, question, "", TimerActive && TimerActive()});
        if (Answers.empty()) {
            return TAnswer::Cancel;
        }
        const TAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void ShowMessage(TMessageKind kind, const std::string& caption,
                     const std::string& text) override
    {
        Asked.push_back({caption, text, "", TimerActive && TimerActive()});
        Kinds.push_back(kind);
    }

    /// Answers for the text prompts in order; nullopt is Cancel; none left is Cancel.
    std::deque<std::optional<std::string>> TextAnswers;
    /// Answers for the yes/no/cancel questions in order; none left is Cancel.
    std::deque<TAnswer> Answers;
    std::vector<TAsked> Asked;
    std::vector<TMessageKind> Kinds;
    std::function<bool()> TimerActive;
};

/// A window over the fake platform and an in-memory registry.
class DisplayRig : public ::testing::Test
{
protected:
    DisplayRig()
    {
        Perf.Push("238", platform::ProcessorBlock(1000, {{"0", 100}, {"_Total", 100}}));
        Perf.Push("238", platform::ProcessorBlock(2000, {{"0", 150}, {"_Total", 150}}));
        Perf.Push("230", platform::ProcessBlock({{"init", 10}}));
        Perf.Push("638", platform::NetworkBlock({{"eth0", 1024, 2048}}));
        Perf.Push("2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 123, 4567));
        Status.Computer = "host";
    }

    /// Creates and starts the window with the stored values given.
    TStatlumeDisplay& Start(const platform::TRegistryValues& stored = {},
                            std::vector<std::string> args = {})
    {
        // The previous window goes before the services it uses, its roles before it.
        Remote.reset();
        Window.reset();
        platform::TRegistryValues values = stored;
        values.try_emplace("Version", std::int32_t{84});
        Registry = std::make_unique<platform::TMemoryRegistry>(
            platform::TRegistryTree{{"Software\\Quorvale\\Statlume", values}});
        Sensors = std::make_unique<TSensorStep>(
            std::make_unique<platform::TFakeSensorBlock>(),
            std::make_unique<platform::TFakeSensorStarter>(
                platform::TFakeLibraryKind::Missing, std::make_shared<platform::TFakeStarterLog>()),
            [](std::function<void()>) {}, false);
        TDisplayParts parts;
        parts.TrayArt.ApplicationIcon = [] {
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::blue);
            return QIcon(pixmap);
        };
        parts.TrayArt.FigureIcon = [this](const QString&, const QFont&) {
            ++FiguresDrawn;
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::white);
            return QIcon(pixmap);
        };
        parts.FontDialog = [this](QWidget*, TFontChoice& choice,
                                  const std::function<void(const TFontChoice&)>& onApply) {
            return FontDialog ? FontDialog(choice, onApply) : false;
        };
        parts.ActAsServer = [this](TStatlumeDisplay&) {
            if (Remote) {
                Remote->ActasServer1Click();
            }
        };
        parts.OptionsDialog = [this](TStatlumeDisplay& window) {
            OptionsTimerActive = Window->UpdateTimer().Timer().isActive();
            if (RealOptions) {
                TStatlumeDisplay::StandardParts().OptionsDialog(window);
            }
        };
        Window = std::make_unique<TStatlumeDisplay>(
            TDisplayServices{Perf, Status, *Sensors, *Registry, Prompts, Locale, parts,
                             [this](const std::string& message) { Reports.push_back(message); },
                             [this] { ++Quits; }});
        Prompts.TimerActive = [this] { return Window->UpdateTimer().Timer().isActive(); };
        Remote = std::make_unique<TDisplayRemote>(*Window, Prompts);
        Window->FormCreate(args);
        // The second sample a start takes shortly after the first, without the wait.
        if (auto* second = Window->findChild<QTimer*>(QStringLiteral("SecondSample"));
            second && second->isActive()) {
            second->start(0);
            while (second->isActive()) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
        }
        return *Window;
    }

    /// A value of the main key; nullopt when missing.
    std::optional<platform::TRegistryValue> Stored(const std::string& name) const
    {
        const auto& key = Registry->Tree().at("Software\\Quorvale\\Statlume");
        const auto found = key.find(name);
        if (found == key.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    /// The menu item of that object name.
    QAction* Item(const char* name) const
    {
        return Window->findChild<QAction*>(QString::fromUtf8(name));
    }

    platform::FakePerfDataSource Perf;
    platform::FakeSystemStatus Status;
    std::unique_ptr<TSensorStep> Sensors;
    std::unique_ptr<platform::TMemoryRegistry> Registry;
    TScriptedPrompts Prompts;
    LocaleInfo Locale;
    std::vector<std::string> Reports;
    int Quits = 0;
    int FiguresDrawn = 0;
    bool OptionsTimerActive = true;
    /// Display Items opens the real options dialog.
    bool RealOptions = false;
    std::function<bool(TFontChoice&, const std::function<void(const TFontChoice&)>&)> FontDialog;
    std::unique_ptr<TStatlumeDisplay> Window;
    /// The window's remote roles, made with the window.
    std::unique_ptr<TDisplayRemote> Remote;

    ~DisplayRig() override
    {
        Remote.reset();
        Window.reset();
    }
};

} // namespace statlume::testing
