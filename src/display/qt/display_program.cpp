#include "display/qt/display_program.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collect/sensor_step.h"
#include "display/platform_choice.h"
#include "display/program_entry.h"
#include "display/qt/display_remote.h"
#include "display/qt/prompts.h"
#include "display/qt/signal_bridge.h"
#include "display/qt/statlume_display.h"
#include "display/qt/wayland_output.h"
#include "display/wayland/layer_client.h"
#include "platform/linux/dl_sensor_starter.h"
#include "platform/linux/environment.h"
#include "platform/linux/file_registry.h"
#include "platform/linux/instance_lock.h"
#include "platform/linux/linux_figure_source.h"
#include "platform/linux/linux_system_status.h"
#include "platform/linux/locale_reader.h"
#include "platform/linux/proc_perf_data_source.h"
#include "platform/linux/shell_open.h"
#include "platform/linux/shm_sensor_block.h"
#include "platform/system_roots.h"
#include "settings/command_line.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QSessionManager>

namespace statlume {
namespace {

using platform::Environment;

// A folder for --procfs or --sysfs that cannot be used, as statlume-cli ends on bad usage.
constexpr int BadUsageStatus = 2;

void ReportLine(const std::string& message)
{
    std::cerr << "statlume: " << message << '\n' << std::flush;
}

// Qt looks for its platform plugins in its own folder and the folders QT_PLUGIN_PATH names;
// without the Wayland one it could only abort where no X display exists.
bool QtWaylandPluginInstalled()
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts);
    folders.prepend(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    for (QString& folder : folders) {
        folder += QStringLiteral("/platforms");
    }
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM_PLUGIN_PATH")) {
        folders.prepend(qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH"));
    }
    const QStringList pattern{QStringLiteral("libqwayland-*.so")};
    return std::any_of(folders.cbegin(), folders.cend(), [&pattern](const QString& folder) {
        return !QDir(folder).entryList(pattern, QDir::Files).isEmpty();
    });
}

TDisplayFacts ReadDisplayFacts(const std::vector<std::string>& args)
{
    TDisplayFacts facts;
    facts.QtPlatformGiven = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    facts.Wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    facts.X = !qEnvironmentVariableIsEmpty("DISPLAY");
    facts.ForceX11 = std::find(args.begin(), args.end(), "--x11") != args.end();
    facts.QtWaylandPlugin = facts.Wayland && !facts.X && QtWaylandPluginInstalled();
    return facts;
}

// The toolkit reads its platform from the environment once, as it connects; children (the
// browser of the help page, autostart) do not inherit our choice.
class TToolkitPlatform
{
public:
    explicit TToolkitPlatform(const std::string& platform)
        : Set(!platform.empty())
    {
        if (Set) {
            qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
        }
    }
    void Connected() const
    {
        if (Set) {
            qunsetenv("QT_QPA_PLATFORM");
        }
    }

private:
    bool Set;
};

// Over X11 the toolkit puts a window's changes through shared memory: a round trip to the
// server before each paint and a completion event to wake for after, every tick, for the few
// kilobytes a changed line is. Plain image requests cost less at this size. The user's own
// choice stands; children do not inherit ours.
class TPlainImagePuts
{
public:
    TPlainImagePuts()
        : Set(!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
    {
        if (Set) {
            qputenv("QT_XCB_NO_MITSHM", "1");
        }
    }
    // Once the toolkit has connected, the variable has done its part.
    void Connected() const
    {
        if (Set) {
            qunsetenv("QT_XCB_NO_MITSHM");
        }
    }

private:
    bool Set;
};

// On a Wayland compositor with layer-shell the window becomes a layer surface: there it can
// keep its place and its layer. The choice is said once, with the reason, whenever a
// compositor is there.
std::unique_ptr<wayland::TLayerClient> ChooseOutput(const TDisplayFacts& facts,
                                                    TPlatformChoice& choice)
{
    std::string reason;
    std::unique_ptr<wayland::TLayerClient> client;
    if (WantsLayerSurface(facts)) {
        client = wayland::TLayerClient::Connect(reason);
    }
    choice = ChooseDisplayPlatform(facts, reason);
    if (!choice.Message.empty()) {
        ReportLine(choice.Message);
    }
    if (choice.Output != TWindowOutput::LayerSurface) {
        client.reset();
    }
    return client;
}

// The password after "-d" would otherwise stay readable in /proc/PID/cmdline for the whole
// run; the parsed copy is all the program needs.
void ScrubPasswordArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        char* argument = argv[i];
        if (argument[0] != '-' || (argument[1] != 'd' && argument[1] != 'D')) {
            continue;
        }
        for (char* rest = argument + 2; *rest != '\0'; ++rest) {
            *rest = 'x';
        }
    }
}

constexpr const char* HelpText =
    "Usage: statlume [-c -iHOST [-pPORT] [-dPASSWORD]] [-h] [--x11] [--procfs DIR]\n"
    "                [--sysfs DIR] [-?]\n"
    "Shows live system figures through a template in a small window on the desktop; the\n"
    "tray icon's menu (or a right click on the window without a tray) holds every command.\n"
    "\n"
    "  -c -iHOST -pPORT -dPASSWORD\n"
    "              show the figures of the statlume server at HOST:PORT (default port\n"
    "              6130), decrypted with PASSWORD; local users can see -d in the process\n"
    "              list while the program starts\n"
    "  -h          start without the tray icon\n"
    "  --x11       on Wayland, show the window through XWayland instead of a layer surface\n"
    "  --procfs DIR, --sysfs DIR\n"
    "              read the figures from the procfs and sysfs at DIR instead of /proc and\n"
    "              /sys: a host's, mounted elsewhere in a container, or a copy\n"
    "  -?          write the network help page and open it\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Other arguments are ignored. A second start brings back the tray icon of the running\n"
    "window. Settings: $XDG_CONFIG_HOME/statlume/settings.reg. See statlume(1) and\n"
    "statlume-cli(1) for the console program.\n";

// Only the exact words, so that every other argument keeps the window's rule of being ignored.
bool HasArgument(const std::vector<std::string>& args, std::string_view word)
{
    return std::find(args.begin(), args.end(), word) != args.end();
}

// A message box before or without the window; nothing without a display, where Qt could
// only abort and the line on stderr is all there is.
void ShowStandaloneMessage(int argc, char** argv, const std::string& caption,
                           const std::string& text)
{
    const TPlatformChoice choice =
        ChooseDisplayPlatform(ReadDisplayFacts(ArgumentsOf(argc, argv)), "a message box only");
    if (choice.Output == TWindowOutput::None) {
        return;
    }
    const TToolkitPlatform platform(choice.QtPlatform);
    QApplication app(argc, argv);
    platform.Connected();
    TQtPrompts prompts;
    prompts.ShowMessage(TMessageKind::Information, caption, text);
}

// Collects what start-up says about the settings, for one message box once the window runs.
class TStartNotes
{
public:
    void Add(const std::string& message)
    {
        if (Collecting) {
            Notes.push_back(message);
        }
    }
    // Stops collecting; the collected notes as one text, empty when there are none.
    std::string Finish()
    {
        Collecting = false;
        std::string text;
        for (const std::string& note : Notes) {
            text += (text.empty() ? "" : "\n\n") + note;
        }
        Notes.clear();
        return text;
    }

private:
    bool Collecting = true;
    std::vector<std::string> Notes;
};

} // namespace

int RunDisplayProgram(int argc, char** argv, std::string_view version)
{
    const std::vector<std::string> args = ArgumentsOf(argc, argv);
    if (HasArgument(args, "--help")) {
        std::cout << HelpText << std::flush;
        return 0;
    }
    if (HasArgument(args, "--version")) {
        std::cout << "statlume " << version << '\n' << std::flush;
        return 0;
    }
    const TClientSwitches switches = ParseClientSwitches(args);
    if (const std::string problem = switches.Error.empty()
                                        ? platform::GivenRootsProblem(switches.GivenRoots)
                                        : switches.Error;
        !problem.empty()) {
        ReportLine(problem);
        return BadUsageStatus;
    }
    ScrubPasswordArguments(argc, argv);
    platform::TInstanceLock instance;
    const TEntryServices entryServices{instance, Environment("TEMP"),
                                       [](const std::string& path, std::string& error) {
                                           return platform::ShellOpenWatched(path, error);
                                       },
                                       ReportLine};
    TEntryResult entry = ProgramEntry(args, entryServices);
    if (entry.Action != TEntryAction::RunDisplay) {
        if (!entry.Message.empty()) {
            ReportLine(entry.Message);
        }
        if (entry.Action == TEntryAction::HelpShown && !entry.Message.empty()) {
            // A menu launch shows no stderr: say where the page is.
            ShowStandaloneMessage(argc, argv, "Statlume Network Configuration", entry.Message);
        }
        return entry.ExitCode();
    }

    TPlatformChoice choice;
    std::unique_ptr<wayland::TLayerClient> layerClient =
        ChooseOutput(ReadDisplayFacts(args), choice);
    if (choice.Output == TWindowOutput::None) {
        return 1;
    }
    const TToolkitPlatform platform(choice.QtPlatform);
    const TPlainImagePuts plainImagePuts;
    QApplication app(argc, argv);
    platform.Connected();
    plainImagePuts.Connected();
    // The empty title is also the caption of the error boxes.
    QApplication::setApplicationName(QString());
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationVersion(
        QString::fromUtf8(version.data(), static_cast<qsizetype>(version.size())));
    QApplication::setQuitOnLastWindowClosed(false);

    const LocaleInfo locale = platform::ReadProcessLocale();
    const platform::TSystemRoots roots = platform::RootsOf(switches.GivenRoots);
    platform::TProcPerfDataSource perf(roots.Procfs);
    platform::TLinuxSystemStatus status(roots);
    platform::TLinuxFigureSource figures(roots);
    TSensorStep sensors(
        std::make_unique<platform::TShmSensorBlock>(),
        std::make_unique<platform::TDlSensorStarter>(),
        [&app](std::function<void()> report) {
            QMetaObject::invokeMethod(&app, std::move(report), Qt::QueuedConnection);
        },
        switches.ClientMode);
    TStartNotes startNotes;
    const auto report = [&startNotes](const std::string& message) {
        ReportLine(message);
        startNotes.Add(message);
    };
    platform::TFileRegistry registry = platform::TFileRegistry::OpenUserSettings(report);
    TQtPrompts prompts;
    std::unique_ptr<TDisplayRemote> remote;
    TDisplayParts parts = TStatlumeDisplay::StandardParts();
    parts.ActAsServer = [&remote](TStatlumeDisplay&) {
        if (remote) {
            remote->ActasServer1Click();
        }
    };
    TStatlumeDisplay window(TDisplayServices{perf, status, sensors, registry, prompts, locale,
                                             std::move(parts), report,
                                             [] { QCoreApplication::exit(0); }});
    prompts.Owner = &window;
    window.Collector().SetFigureSource(figures);
    remote = std::make_unique<TDisplayRemote>(window, prompts);
    if (layerClient) {
        // Owned by the window, as a child object.
        new TWaylandOutput(window, std::move(layerClient), ReportLine);
    } else {
        // Qt on Wayland reports a made-up position for a window the compositor placed.
        window.SetCompositorPlaces(
            QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
    }

    const auto exitCommand = [&window] { window.Exit1Click(); };
    TSignalBridge signalBridge(exitCommand);
    if (!signalBridge.Ok()) {
        ReportLine("signals cannot end the window cleanly: " + signalBridge.Error.toStdString());
    }
    // A logout asks to save the session; the settings and uptime records go with it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [exitCommand](QSessionManager&) { exitCommand(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, exitCommand);

    window.FormCreate(args);
    if (const std::string notes = startNotes.Finish(); !notes.empty() && !window.Exited()) {
        // Shown once the loop runs, so the window is up and ticking behind the box.
        QMetaObject::invokeMethod(
            &window,
            [&prompts, notes] {
                prompts.ShowMessage(TMessageKind::Warning, "Statlume settings", notes);
            },
            Qt::QueuedConnection);
    }
    if (entry.Hold) {
        entry.Hold->ListenForRestore([&window] {
            QMetaObject::invokeMethod(
                &window, [&window] { window.RestoreTrayIcon(); }, Qt::QueuedConnection);
        });
    }
    const int code = window.Exited() ? 0 : QApplication::exec();
    window.Exit1Click();
    remote.reset();
    // The restore listener posts to the window: stop it before the window goes.
    entry.Hold.reset();
    return code;
}

} // namespace statlume
