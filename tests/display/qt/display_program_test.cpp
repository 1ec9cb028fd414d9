#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace statlume {
namespace {

// Two plain starts of the real program: the second finds the first, signals it and ends;
// the first keeps running and saves its state when SIGTERM ends it.
TEST(DisplayProgram, SecondPlainStartSignalsTheFirstAndEnds)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString runtime = home.filePath("run");
    ASSERT_TRUE(QDir().mkdir(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString program = QStringLiteral(STATLUME_BINARY_DIR "/src/cli/statlume");
    const QString settings = home.filePath("config/statlume/settings.reg");

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    for (int i = 0; i < 100 && !QFile::exists(settings); ++i) {
        QThread::msleep(50);
    }
    ASSERT_TRUE(QFile::exists(settings)) << "the first copy did not start";

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(5000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    QFile stored(settings);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray text = stored.readAll();
    // The design place 719, 25 may be moved so the whole window is on a small test screen.
    EXPECT_TRUE(text.contains("\"X\"=dword:")) << text.toStdString();
    EXPECT_TRUE(text.contains("\"UptimeCount\"=dword:00000001"));
}

// The two console words answer on stdout and never open a window or touch the settings.
TEST(DisplayProgram, HelpAndVersionAnswerOnStdoutAndEnd)
{
    struct Row
    {
        const char* argument;
        const char* expected;
    };
    const Row rows[] = {{"--help", "Usage: statlume"}, {"--version", "statlume "}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.argument);
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(STATLUME_BINARY_DIR "/src/cli/statlume"),
                      {QString::fromLatin1(row.argument)});
        ASSERT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(program.readAllStandardOutput().startsWith(row.expected));
        EXPECT_FALSE(QDir(home.filePath("config")).exists());
    }
}

// Without any display the toolkit could only abort: the program says why and ends.
TEST(DisplayProgram, NoDisplayEndsWithAReasonInsteadOfAnAbort)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_RUNTIME_DIR", home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(STATLUME_BINARY_DIR "/src/cli/statlume"), {});
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(program.readAllStandardError().contains("no platform to show the window on"));
}

} // namespace
} // namespace statlume
