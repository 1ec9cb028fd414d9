#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

#include "display/label_layout.h"
#include "display/qt/display_remote.h"
#include "record/raw_data.h"

#include <QAbstractButton>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include "display_rig.h"
#include "remote_rig.h"

namespace statlume::testing {
namespace {

using namespace std::chrono_literals;

const std::string MainKey = "Software\\Quorvale\\Statlume";

std::string Text(const std::optional<platform::TRegistryValue>& value)
{
    return value ? std::get<std::string>(*value) : "<missing>";
}

std::vector<std::uint8_t> FileBytes(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::uint8_t> RecordOf(const TRawDataShell& shell)
{
    const TRawBytes bytes = EncodeRawData(shell.Data);
    return {bytes.begin(), bytes.end()};
}

// A first record fetched by a helper thread while the window serves on this one; from
// another loopback address when one is given.
std::vector<std::uint8_t> FetchRecord(int port, const char* from = nullptr)
{
    std::vector<std::uint8_t> record;
    std::atomic<bool> done = false;
    std::thread client([&] {
        const auto fd = ConnectLoopback(port, 0, from);
        if (fd) {
            record = RequestRecord(fd.Get(), 3s);
        }
        done = true;
    });
    PumpUntil([&] { return done.load(); }, 5s);
    client.join();
    return record;
}

class DisplayRemoteTest : public DisplayRig
{
protected:
    /// Restarts the window on the main key as the last run left it.
    TStatlumeDisplay& Restart(std::vector<std::string> args = {})
    {
        const platform::TRegistryValues values = Registry->Tree().at(MainKey);
        return Start(values, std::move(args));
    }

    QAction* ServerItem() const { return Item("ActasServer1"); }
};

TEST_F(DisplayRemoteTest, FirstUseOffers6130StoresThePortAndListensAgainAtTheNextStart)
{
    Start();
    const int port = FreeLoopbackPort();
    Prompts.TextAnswers = {std::to_string(port), ""};
    ServerItem()->trigger();

    ASSERT_EQ(Prompts.Asked.size(), 2u) << "a blank password asks no save question";
    EXPECT_EQ(Prompts.Asked[0].Caption, "Server Port");
    EXPECT_EQ(Prompts.Asked[0].Prompt, "Only display items extant at both sides will appear");
    EXPECT_EQ(Prompts.Asked[0].Initial, "6130");
    EXPECT_EQ(Prompts.Asked[1].Caption, "Server Password");
    EXPECT_EQ(Prompts.Asked[1].Prompt, "Enter a string to encrypt the data, or blank for none");
    EXPECT_FALSE(Prompts.Asked[0].TimerActive || Prompts.Asked[1].TimerActive);
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
    EXPECT_TRUE(ServerItem()->isChecked());
    EXPECT_EQ(Stored("ServPort"), platform::TRegistryValue(std::int32_t{port}));
    EXPECT_EQ(Stored("Server"), platform::TRegistryValue(std::int32_t{1}));

    Restart();
    EXPECT_TRUE(Remote->Server().Listening());
    EXPECT_TRUE(ServerItem()->isChecked());
    EXPECT_EQ(FetchRecord(port), RecordOf(Window->Shell()));
}

TEST_F(DisplayRemoteTest, PromptAnswersDecideWhatIsStoredAndWhetherTheServerRuns)
{
    struct Row
    {
        const char* name;
        std::vector<std::optional<std::string>> texts; // "PORT" and "TAKEN" are filled in
        std::vector<TAnswer> answers;
        bool listening;
        std::string storedPassword;
        std::size_t messages;
    };
    const Row rows[] = {
        {"cancel at the port prompt", {std::nullopt}, {}, false, "old", 0},
        {"cancel at the save question", {"PORT", "Secret"}, {TAnswer::Cancel}, false, "old", 0},
        {"no at the save question", {"PORT", "Secret"}, {TAnswer::No}, true, "<missing>", 0},
        {"yes at the save question", {"PORT", "Secret"}, {TAnswer::Yes}, true, "Secret", 0},
        {"cancel at the password prompt", {"PORT", std::nullopt}, {}, true, "<missing>", 0},
        {"port out of range, then mended", {"70000", "PORT", ""}, {}, true, "<missing>", 1},
        {"port in use", {"TAKEN", ""}, {}, false, "<missing>", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({{"Password", std::string("old")}});
        int takenPort = 0;
        const auto taken = BoundLoopback(true, takenPort);
        const std::string port = std::to_string(FreeLoopbackPort());
        for (const auto& text : row.texts) {
            Prompts.TextAnswers.push_back(!text              ? text
                                          : *text == "PORT"  ? port
                                          : *text == "TAKEN" ? std::to_string(takenPort)
                                                             : *text);
        }
        Prompts.Answers.assign(row.answers.begin(), row.answers.end());
        Prompts.Kinds.clear();
        Prompts.Asked.clear();
        ServerItem()->trigger();

        EXPECT_EQ(Remote->Server().Listening(), row.listening);
        EXPECT_EQ(ServerItem()->isChecked(), row.listening);
        EXPECT_EQ(Text(Stored("Password")), row.storedPassword);
        // Every way the item ends unchecked is remembered for the next start.
        EXPECT_EQ(Stored("Server"), platform::TRegistryValue(std::int32_t{row.listening}));
        EXPECT_EQ(Stored("ServPort").has_value(), row.listening);
        EXPECT_EQ(Prompts.Kinds.size(), row.messages);
        EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
        if (row.listening) {
            EXPECT_EQ(Remote->Server().Port(), std::stoi(port));
        }
        if (std::string(row.name) == "port in use") {
            EXPECT_NE(Prompts.Asked.back().Prompt.find("in use"), std::string::npos);
        }
        if (std::string(row.name) == "port out of range, then mended") {
            EXPECT_EQ(Prompts.Asked[2].Initial, "70000");
        }
    }
}

TEST_F(DisplayRemoteTest, NoAtTheSaveQuestionEncryptsNowAndServesClearAfterARestart)
{
    Start({{"Password", std::string("old")}});
    const int port = FreeLoopbackPort();
    Prompts.TextAnswers = {std::to_string(port), "Secret"};
    Prompts.Answers = {TAnswer::No};
    ServerItem()->trigger();
    ASSERT_TRUE(Remote->Server().Listening());
    const auto sealed = FetchRecord(port);
    ASSERT_EQ(sealed.size(), 272u);
    EXPECT_NE(sealed, RecordOf(Window->Shell()));

    Restart();
    ASSERT_TRUE(Remote->Server().Listening());
    EXPECT_EQ(FetchRecord(port), RecordOf(Window->Shell()));
}

TEST_F(DisplayRemoteTest, UncheckingDropsConnectedClientsWhichReconnectWhenTheServerReturns)
{
    Start();
    const std::string port = std::to_string(FreeLoopbackPort());
    Prompts.TextAnswers = {port, ""};
    ServerItem()->trigger();
    ASSERT_TRUE(Remote->Server().Listening());
    TRawDataShell shell;
    TRemoteSecret secret;
    TQtClientSocket socket;
    TClientRole client(socket, shell, secret);
    client.SetHost("127.0.0.1");
    client.SetPort(std::stoi(port));
    client.Start();
    ASSERT_TRUE(PumpUntil([&] { return client.Connected(); }, 3s));

    ServerItem()->trigger();
    EXPECT_FALSE(Remote->Server().Listening());
    EXPECT_EQ(Stored("Server"), platform::TRegistryValue(std::int32_t{0}));
    ASSERT_TRUE(PumpUntil([&] { return client.Alert(); }, 3s));

    Prompts.TextAnswers = {port, ""};
    ServerItem()->trigger();
    client.Tick();
    ASSERT_TRUE(PumpUntil([&] { return client.Connected() && !client.Alert(); }, 3s));
    client.Tick();
    EXPECT_TRUE(PumpUntil([&] { return shell.Data.Marker == 0x54; }, 3s));
}

TEST_F(DisplayRemoteTest, AStoredServerThatCannotListenLeavesTheServerOffAndStartUpCompletes)
{
    int port = 0;
    const auto taken = BoundLoopback(true, port);
    Start({{"ServPort", std::int32_t{port}}, {"Server", std::int32_t{1}}});
    EXPECT_FALSE(Remote->Server().Listening());
    EXPECT_FALSE(ServerItem()->isChecked());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
    EXPECT_TRUE(std::ranges::any_of(
        Reports, [](const std::string& r) { return r.find("in use") != std::string::npos; }));
}

TEST_F(DisplayRemoteTest, StoredBindAndAllowDecideWhoIsServedAndABadRangeKeepsTheServerOff)
{
    const int port = FreeLoopbackPort();
    Start({{"ServPort", std::int32_t{port}},
           {"Server", std::int32_t{1}},
           {"ServBind", std::string("127.0.0.1")},
           {"ServAllow", std::string("127.0.0.2/32")}});
    ASSERT_TRUE(Remote->Server().Listening());
    EXPECT_EQ(FetchRecord(port, "127.0.0.2").size(), 272u);
    EXPECT_TRUE(FetchRecord(port, "127.0.0.3").empty());
    EXPECT_EQ(Remote->ServerSocket().Stats().Refused, 1u);

    Start({{"ServPort", std::int32_t{port}},
           {"Server", std::int32_t{1}},
           {"ServAllow", std::string("127.0.0.2/33")}});
    EXPECT_FALSE(Remote->Server().Listening());
    EXPECT_TRUE(std::ranges::any_of(
        Reports, [](const std::string& r) { return r.find("ServAllow") != std::string::npos; }));
}

TEST_F(DisplayRemoteTest, AClientWindowTurnsToAlertWhileTheServerIsGoneAndReconnects)
{
    // The server: the roles of a second program over their own record.
    TRawDataShell serverShell;
    serverShell.Data.Marker = 0x54;
    serverShell.Data.ComputerName.Assign("peer");
    TRemoteSecret serverSecret;
    TQtServerSocket serverSocket;
    TServerRole server(serverSocket, serverShell, serverSecret);
    const int port = FreeLoopbackPort();
    ASSERT_TRUE(server.SetPort(port));
    ASSERT_TRUE(server.Start());

    // The default template's last line is the computer name.
    Start({}, {"-c", "-i127.0.0.1", "-p" + std::to_string(port)});
    EXPECT_EQ(Window->Labels().back()->Caption(), std::string(BlankCaption));
    EXPECT_EQ(Window->UpdateTimer().Interval(), 2000);
    const auto name = [this] { return Window->Labels().back()->Caption(); };
    ASSERT_TRUE(PumpUntil([&] { return name() == "peer"; }, 3s));
    EXPECT_EQ(Window->Tray().IconMode(), 0);
    // A label rebuild asks at once, not a whole interval later.
    Window->UpdateTimer().SetInterval(60'000);
    const auto beforeRebuild = server.Replies();
    Window->BuildLabels(Window->TemplateText());
    ASSERT_TRUE(PumpUntil([&] { return server.Replies() > beforeRebuild; }, 1s));
    Window->UpdateTimer().SetInterval(50);

    server.Stop();
    ASSERT_TRUE(PumpUntil([&] { return Window->Tray().IconMode() == 1; }, 3s));
    const auto served = server.Replies();
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(PumpUntil(
        [&] { return Window->Tray().IconMode() == 0 && server.Replies() > served + 1; }, 3s));
    // The settings of a client live under its server's own key.
    EXPECT_EQ(Window->Settings()->KeyPath(), MainKey + "\\127.0.0.1:" + std::to_string(port));

    // Acting as a server too, the client window passes on the record it received.
    ASSERT_TRUE(Remote->Server().SetPort(FreeLoopbackPort()));
    ASSERT_TRUE(Remote->Server().Start());
    EXPECT_EQ(FetchRecord(Remote->Server().Port()), RecordOf(serverShell));
}

TEST_F(DisplayRemoteTest, AClientWindowTellsOfAForeignPasswordAndOfOldFigures)
{
    struct Row
    {
        const char* name;
        std::string serverPassword;
        bool readable;
    };
    // "-dSecret" reaches the client as "secret"; the server keys from the lower case too.
    const Row rows[] = {{"capitals at the server's prompt", "Secret", true},
                        {"another password", "Other", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRawDataShell serverShell;
        serverShell.Data.Marker = 0x54;
        serverShell.Data.ComputerName.Assign("peer");
        TRemoteSecret serverSecret;
        serverSecret.Password = row.serverPassword;
        TQtServerSocket serverSocket;
        TServerRole server(serverSocket, serverShell, serverSecret);
        const int port = FreeLoopbackPort();
        ASSERT_TRUE(server.SetPort(port));
        ASSERT_TRUE(server.Start());
        Start({}, {"-c", "-i127.0.0.1", "-p" + std::to_string(port), "-dSecret"});
        Window->UpdateTimer().SetInterval(50);
        const auto tip = [this] { return Window->Tray().StatusToolTip().toStdString(); };
        const auto name = [this] { return Window->Labels().back()->Caption(); };
        if (!row.readable) {
            ASSERT_TRUE(PumpUntil([&] { return Window->Tray().IconMode() == 1; }, 3s));
            EXPECT_NE(tip().find("password does not match"), std::string::npos) << tip();
            EXPECT_EQ(Window->toolTip().toStdString(), tip());
            EXPECT_EQ(name(), std::string(BlankCaption));
            continue;
        }
        ASSERT_TRUE(PumpUntil([&] { return name() == "peer"; }, 3s));
        EXPECT_EQ(tip(), "Statlume: client of 127.0.0.1:" + std::to_string(port));
        EXPECT_EQ(Window->toolTip().toStdString(), tip()) << "the window names its peer too";
        EXPECT_EQ(Window->Tray().IconMode(), 0);

        // A server gone quiet: after three intervals (here at least 200 ms) the figures dim.
        Remote->OldAfterAtLeast = 200ms;
        const QColor current = Window->Labels().back()->palette().color(QPalette::WindowText);
        server.Stop();
        ASSERT_TRUE(PumpUntil([&] { return Window->FiguresOld(); }, 3s));
        EXPECT_NE(Window->Labels().back()->palette().color(QPalette::WindowText), current);
        EXPECT_NE(tip().find("the figures are from "), std::string::npos) << tip();
        EXPECT_EQ(Window->toolTip().toStdString(), tip());
        // Serving again without the password: the next record brings the window back.
        serverSecret.Password.clear();
        Remote->Secret().Password.clear();
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(PumpUntil([&] { return !Window->FiguresOld(); }, 3s));
        EXPECT_EQ(Window->Labels().back()->palette().color(QPalette::WindowText), current);
        EXPECT_EQ(Window->toolTip().toStdString(), tip());
    }
}

TEST_F(DisplayRemoteTest, TheTrayNamesTheServerRoleAndItsConnections)
{
    Start();
    const int port = FreeLoopbackPort();
    Prompts.TextAnswers = {std::to_string(port), ""};
    ServerItem()->trigger();
    const auto tip = [this] { return Window->Tray().StatusToolTip().toStdString(); };
    EXPECT_EQ(tip(), "Statlume: serving on " + std::to_string(port) + ", no connections");
    const auto client = ConnectLoopback(port);
    Window->UpdateTimer().SetInterval(20);
    EXPECT_TRUE(PumpUntil([&] { return tip().find(", 1 connection") != std::string::npos; }, 3s))
        << tip();
    ServerItem()->trigger();
    EXPECT_EQ(tip(), "Statlume");
}

TEST_F(DisplayRemoteTest, RecordsCrossBetweenTheWindowAndTheConsoleProgramByteForByte)
{
    const QString cli = QStringLiteral(STATLUME_BINARY_DIR "/src/cli/statlume-cli");
    for (const std::string password : {"", "secret"}) {
        SCOPED_TRACE("password '" + password + "'");
        QTemporaryDir folder;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", folder.path());
        const QString dump = folder.filePath("record.bin");
        const std::string port = std::to_string(FreeLoopbackPort());
        QStringList passwordArgs;
        if (!password.empty()) {
            passwordArgs << QString::fromStdString("-d" + password);
        }

        // The window serves, the console program asks once.
        Start();
        Window->UpdateTimer().SetEnabled(false);
        Remote->Secret().Password = password;
        ASSERT_TRUE(Remote->Server().SetPort(std::stoi(port)));
        ASSERT_TRUE(Remote->Server().Start());
        QProcess client;
        client.setProcessEnvironment(environment);
        client.start(cli, QStringList{"-c", "-i127.0.0.1", "-p", QString::fromStdString(port),
                                      "--once", "--dump-record", dump}
                              << passwordArgs);
        ASSERT_TRUE(PumpUntil([&] { return client.state() == QProcess::NotRunning; }, 10s));
        EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
        EXPECT_EQ(FileBytes(dump), RecordOf(Window->Shell()));

        // The console program serves, the window is its client.
        QFile::remove(dump);
        Remote->Server().Stop();
        QProcess server;
        server.setProcessEnvironment(environment);
        server.start(cli, QStringList{"--serve", QString::fromStdString(port), "--interval",
                                      "600000", "--dump-record", dump}
                              << passwordArgs);
        ASSERT_TRUE(PumpUntil([&] { return FileBytes(dump).size() == 272; }, 10s));
        std::vector<std::string> args = {"-c", "-i127.0.0.1", "-p" + port};
        if (!password.empty()) {
            args.push_back("-d" + password);
        }
        Start({}, args);
        ASSERT_TRUE(PumpUntil(
            [&] { return Window->Labels()[0]->Caption() != std::string(BlankCaption); }, 5s));
        EXPECT_EQ(RecordOf(Window->Shell()), FileBytes(dump));
        server.terminate();
        PumpUntil([&] { return server.state() == QProcess::NotRunning; }, 5s);
    }
}

// Encrypted clients polled in turn: each reads every record, whichever side the window takes.
TEST_F(DisplayRemoteTest, TheWindowAndConsoleClientsOfOneEncryptedServerAllReadEveryRecord)
{
    const QString cli = QStringLiteral(STATLUME_BINARY_DIR "/src/cli/statlume-cli");
    struct Row
    {
        const char* name;
        bool windowServes;
    };
    const Row rows[] = {{"the window serves two console clients", true},
                        {"the window and a console client of a console server", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", folder.path());
        const QString port = QString::number(FreeLoopbackPort());
        const QStringList polling{"-c",  "-i127.0.0.1", "-p",
                                  port,  "-dabc",       "--interval",
                                  "100", "--template",  "<NAME=CompName>"};
        QProcess server;
        std::vector<std::unique_ptr<QProcess>> clients;
        const auto startClient = [&] {
            auto& client = clients.emplace_back(std::make_unique<QProcess>());
            client->setProcessEnvironment(environment);
            client->start(cli, polling);
        };
        if (row.windowServes) {
            Start();
            Remote->Secret().Password = "abc";
            ASSERT_TRUE(Remote->Server().SetPort(port.toInt()));
            ASSERT_TRUE(Remote->Server().Start());
            startClient();
        } else {
            server.setProcessEnvironment(environment);
            server.start(cli, QStringList{"--serve", port, "-dabc", "--interval", "100"});
            ASSERT_TRUE(
                PumpUntil([&] { return static_cast<bool>(ConnectLoopback(port.toInt())); }, 10s))
                << server.readAllStandardError().toStdString();
            Start({}, {"-c", "-i127.0.0.1", "-p" + port.toStdString(), "-dabc"});
            Window->UpdateTimer().SetInterval(50);
        }
        startClient();
        PumpUntil([] { return false; }, 1500ms);
        for (auto& client : clients) {
            client->terminate();
            ASSERT_TRUE(PumpUntil([&] { return client->state() == QProcess::NotRunning; }, 5s));
            const std::string out = client->readAllStandardOutput().toStdString();
            const std::string err = client->readAllStandardError().toStdString();
            EXPECT_GE(std::count(out.begin(), out.end(), '\n'), 10) << err;
            EXPECT_EQ(err.find("fail the checks"), std::string::npos) << err;
        }
        if (!row.windowServes) {
            EXPECT_NE(Window->Labels()[0]->Caption(), std::string(BlankCaption));
            EXPECT_EQ(Window->Tray().IconMode(), 0);
            server.terminate();
            PumpUntil([&] { return server.state() == QProcess::NotRunning; }, 5s);
        }
    }
}

TEST_F(DisplayRemoteTest, RealDialogsDriveActAsServer)
{
    Start();
    TQtPrompts realPrompts;
    Remote = std::make_unique<TDisplayRemote>(*Window, realPrompts);
    const std::string port = std::to_string(FreeLoopbackPort());
    std::vector<std::string> titles;
    QTimer answerer;
    answerer.setInterval(20);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible()) {
                continue;
            }
            if (auto* input = qobject_cast<QInputDialog*>(widget)) {
                titles.push_back(input->windowTitle().toStdString());
                input->setTextValue(titles.size() == 1 ? QString::fromStdString(port) : "Pass");
                input->accept();
                return;
            }
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                titles.push_back(box->text().toStdString());
                box->button(QMessageBox::No)->click();
                return;
            }
        }
    });
    answerer.start();
    ServerItem()->trigger();
    answerer.stop();
    EXPECT_EQ(titles,
              (std::vector<std::string>{"Server Port", "Server Password",
                                        "Would you like to save this password for future use?"}));
    EXPECT_TRUE(Remote->Server().Listening());
    EXPECT_EQ(Remote->Secret().Password, "Pass");
    EXPECT_FALSE(Stored("Password").has_value());
}

TEST_F(DisplayRemoteTest, ThePasswordArgumentIsNotLeftInTheProcessList)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess window;
    window.setProcessEnvironment(environment);
    window.start(QStringLiteral(STATLUME_BINARY_DIR "/src/cli/statlume"),
                 {"-c", "-i127.0.0.1", "-p1", "-dhunter2"});
    ASSERT_TRUE(window.waitForStarted(5000));
    const std::string cmdline = "/proc/" + std::to_string(window.processId()) + "/cmdline";
    // The program runs its event loop once the window shows; by then the scrub is long done.
    std::string arguments;
    PumpUntil(
        [&] {
            std::ifstream in(cmdline);
            arguments.assign(std::istreambuf_iterator<char>(in), {});
            return arguments.find("-dxxxxxxx") != std::string::npos;
        },
        5s);
    EXPECT_EQ(arguments.find("hunter2"), std::string::npos);
    EXPECT_NE(arguments.find("-dxxxxxxx"), std::string::npos);
    window.terminate();
    window.waitForFinished(5000);
}

// A window serving from its stored settings, started under an open-file limit of 80.
class TCrowdedWindow
{
public:
    TCrowdedWindow()
        : Port(FreeLoopbackPort())
    {
        QDir().mkpath(Home.filePath("config/statlume"));
        QFile settings(Home.filePath("config/statlume/settings.reg"));
        settings.open(QIODevice::WriteOnly);
        settings.write(
            QStringLiteral("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n"
                           "\"Version\"=dword:00000054\n\"Server\"=dword:00000001\n"
                           "\"ServPort\"=dword:%1\n")
                .arg(Port, 8, 16, QChar('0'))
                .toUtf8());
        settings.close();
        settings.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", Home.filePath("config"));
        // Its own single-instance lock, so several run side by side.
        environment.insert("XDG_RUNTIME_DIR", Home.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        Window.setProcessEnvironment(environment);
        Window.start("prlimit", {"--nofile=80", STATLUME_BINARY_DIR "/src/cli/statlume", "-h"});
    }

    ~TCrowdedWindow()
    {
        Window.terminate();
        Window.waitForFinished(5000);
    }

    /// Waits until the window listens, then opens far more silent peers than it has
    /// descriptors, spread over ten loopback addresses as a crowd of hosts would be.
    bool Crowd()
    {
        if (!PumpUntil(
                [&] {
                    Silent.push_back(ConnectLoopback(Port));
                    return static_cast<bool>(Silent.back());
                },
                10s)) {
            return false;
        }
        for (int i = 0; i < 150; ++i) {
            const std::string from = "127.0.1." + std::to_string(1 + i % 10);
            Silent.push_back(ConnectLoopback(Port, 0, from.c_str()));
        }
        return true;
    }

    /// User and system time the window has used.
    std::chrono::milliseconds CpuTime() const
    {
        std::ifstream in("/proc/" + std::to_string(Window.processId()) + "/stat");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string skip;
        for (int i = 0; i < 11; ++i) {
            fields >> skip;
        }
        long user = 0;
        long system = 0;
        fields >> user >> system;
        return std::chrono::milliseconds((user + system) * 1000 / ::sysconf(_SC_CLK_TCK));
    }

    QTemporaryDir Home;
    const int Port;
    QProcess Window;
    std::vector<platform::TUniqueFd> Silent;
};

TEST_F(DisplayRemoteTest, AServerOutOfDescriptorsStaysQuietAndServesANewcomerEveryTime)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtimes open descriptors of their own to check memory, and misreport
    // once none are left.
    GTEST_SKIP() << "needs every descriptor used up, which the sanitizer runtimes cannot bear";
#endif
    // Running out of descriptors went wrong in some runs only: many runs, a few at a time.
    constexpr int Rounds = 5;
    constexpr int Together = 4;
    constexpr auto Watch = 1000ms;
    for (int round = 0; round < Rounds; ++round) {
        std::vector<std::unique_ptr<TCrowdedWindow>> windows;
        for (int i = 0; i < Together; ++i) {
            windows.push_back(std::make_unique<TCrowdedWindow>());
        }
        for (auto& window : windows) {
            ASSERT_TRUE(window->Crowd()) << "the window never listened";
        }
        std::this_thread::sleep_for(500ms);
        std::vector<std::chrono::milliseconds> before;
        for (const auto& window : windows) {
            before.push_back(window->CpuTime());
        }
        std::this_thread::sleep_for(Watch);
        for (int i = 0; i < Together; ++i) {
            SCOPED_TRACE("run " + std::to_string(round * Together + i));
            // A window that waits uses a few milliseconds a second; one that spins uses
            // what the machine gives it.
            EXPECT_LT(windows[i]->CpuTime() - before[i], Watch / 10);
            const auto newcomer = ConnectLoopback(windows[i]->Port, 0, "127.0.2.1");
            EXPECT_EQ(RequestRecord(newcomer.Get(), 3s).size(), 272u);
        }
    }
}

long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

TEST_F(DisplayRemoteTest, ClientsThatNeverReadCostNoMemoryAndDelayNoOne)
{
    const char* soak = std::getenv("STATLUME_SOAK_SECONDS");
    const auto seconds = std::chrono::seconds(soak != nullptr ? std::atoi(soak) : 5);
    Start();
    const int port = FreeLoopbackPort();
    ASSERT_TRUE(Remote->Server().SetPort(port));
    ASSERT_TRUE(Remote->Server().Start());

    std::atomic<bool> stop = false;
    std::atomic<int> connected = 0;
    std::atomic<long> asked = 0;
    std::atomic<long> answered = 0;
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        std::vector<platform::TUniqueFd> silent;
        for (int i = 0; i < 50; ++i) {
            // A small window fills within the run, as a stalled reader's does in time; from
            // five hosts, within the cap per address.
            const std::string from = "127.0.1." + std::to_string(1 + i % 5);
            silent.push_back(ConnectLoopback(port, 16384, from.c_str()));
        }
        connected += 50;
        const char request = 'T';
        while (!stop) {
            for (const auto& fd : silent) {
                ::send(fd.Get(), &request, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(5ms);
        }
    });
    for (int i = 0; i < 5; ++i) {
        threads.emplace_back([&] {
            const auto fd = ConnectLoopback(port);
            ++connected;
            while (!stop) {
                ++asked;
                const auto reply = RequestRecord(fd.Get(), 2s);
                if (reply.size() == 272 && reply[0] == 0x54) {
                    ++answered;
                }
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    PumpUntil([&] { return connected == 55; }, 5s);
    PumpUntil([] { return false; }, 1s);
    const long before = ResidentBytes();
    PumpUntil([] { return false; }, seconds);
    const long after = ResidentBytes();
    stop = true;
    PumpUntil([] { return false; }, 300ms);
    for (auto& thread : threads) {
        thread.join();
    }
    std::cout << "[ soak ] " << seconds.count() << " s: " << answered << " of " << asked
              << " requests answered, " << Remote->Server().SkippedReplies() << " replies skipped, "
              << Remote->ServerSocket().Stats().SentBytes << " bytes sent, "
              << Remote->ServerSocket().Stats().DroppedBytes << " dropped, "
              << Remote->Server().Replies() << " replies, RSS " << before / 1024 << " -> "
              << after / 1024 << " KiB\n";
    EXPECT_GT(asked, 100);
    EXPECT_GE(answered + 5, asked) << "a normal client missed replies";
    EXPECT_GT(Remote->Server().SkippedReplies(), 0u) << "the silent clients were never held back";
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer keeps freed memory aside for a while, so every tick's garbage shows in the
    // resident size; a leak of the silent clients' replies would still grow far past this.
    constexpr long Allowed = 8L << 20;
#else
    constexpr long Allowed = 1L << 20;
#endif
    EXPECT_LT(after - before, Allowed);
}

} // namespace
} // namespace statlume::testing
