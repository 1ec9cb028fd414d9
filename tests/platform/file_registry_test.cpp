#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/linux/file_registry.h"
#include "platform/linux/registry_text.h"
#include "settings/settings_store.h"
#include "settings/uptime_records.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The value name "V<i>"; appended rather than built with operator+, which GCC 12 at -O3
// misreads as an overlapping copy (-Wrestrict).
std::string ValueName(int i)
{
    std::string name = "V";
    name += std::to_string(i);
    return name;
}
using Bytes = std::vector<std::uint8_t>;

const std::string Main = "Software\\Quorvale\\Statlume";

class FileRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/statlume-reg-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Folder = pattern;
        Path = (Folder / "settings.reg").string();
    }
    void TearDown() override { fs::remove_all(Folder); }

    TFileRegistry Open()
    {
        return TFileRegistry(Path, [this](const std::string& m) { Reports.push_back(m); });
    }

    static std::string ReadFile(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::vector<fs::path> BadFiles() const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(Folder)) {
            if (entry.path().filename().string().starts_with("settings.reg.bad-")) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    fs::path Folder;
    std::string Path;
    std::vector<std::string> Reports;
};

TEST_F(FileRegistryTest, ValuesSurviveAReopen)
{
    {
        TFileRegistry registry = Open();
        ASSERT_TRUE(registry.OpenKey(Main, true));
        registry.WriteInteger("Alpha", -7);
        registry.WriteBool("AOT", true);
        registry.WriteString("FormatString", "a \"b\" \\c\r\nº");
        registry.WriteBinary("LongestUptime", Bytes{1, 2, 3, 4, 5, 6, 7, 0xff});
        ASSERT_TRUE(registry.OpenKey(Main + "\\host:1", true));
        registry.WriteInteger("X", 5);
    }
    TFileRegistry registry = Open();
    ASSERT_TRUE(registry.OpenKey(Main, false));
    EXPECT_EQ(registry.ReadInteger("Alpha"), -7);
    EXPECT_EQ(registry.ReadBool("AOT"), true);
    EXPECT_EQ(registry.ReadString("FormatString"), "a \"b\" \\c\r\nº");
    EXPECT_EQ(registry.ReadBinary("LongestUptime"), (Bytes{1, 2, 3, 4, 5, 6, 7, 0xff}));
    EXPECT_EQ(registry.SubkeyNames(), std::vector<std::string>{"host:1"});
    EXPECT_THROW(registry.ReadString("Alpha"), TRegistryError);
    EXPECT_TRUE(Reports.empty());
    // Parents are implied, not written as sections of their own.
    EXPECT_TRUE(ReadFile(Path).starts_with(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n"));
}

TEST_F(FileRegistryTest, FilesArePrivate)
{
    ::umask(0);
    TFileRegistry registry = Open();
    registry.OpenKey(Main, true);
    registry.WriteString("Password", "secret");
    ::umask(022);
    for (const std::string& path : {Path, Path + ".lock"}) {
        SCOPED_TRACE(path);
        struct stat info
        {
        };
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
}

TEST_F(FileRegistryTest, DeleteKeyTakesItsSubkeys)
{
    TFileRegistry registry = Open();
    registry.OpenKey(Main + "\\a:1", true);
    registry.WriteInteger("X", 1);
    registry.OpenKey(Main + "\\a:1\\deeper", true);
    registry.OpenKey(Main + "\\b:2", true);
    EXPECT_TRUE(registry.DeleteKey(Main + "\\A:1"));
    EXPECT_FALSE(registry.DeleteKey(Main + "\\a:1"));
    TFileRegistry reopened = Open();
    EXPECT_FALSE(reopened.OpenKey(Main + "\\a:1", false));
    EXPECT_FALSE(reopened.OpenKey(Main + "\\a:1\\deeper", false));
    EXPECT_TRUE(reopened.OpenKey(Main + "\\b:2", false));
}

TEST_F(FileRegistryTest, WritersKeepEachOthersValues)
{
    TFileRegistry first = Open();
    TFileRegistry second = Open();
    first.OpenKey(Main, true);
    second.OpenKey(Main, true);
    first.WriteInteger("A", 1);
    second.WriteInteger("B", 2);
    first.WriteInteger("C", 3);
    TFileRegistry third = Open();
    third.OpenKey(Main, false);
    EXPECT_EQ(third.ValueNames(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(FileRegistryTest, CorruptFileIsKeptAsideAndReported)
{
    const std::string corrupt = "REGEDIT4\n\n\"Alpha\"=dword:1\n";
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        std::ofstream(Path, std::ios::binary) << corrupt;
        Reports.clear();
        TFileRegistry registry = Open();
        ASSERT_EQ(Reports.size(), 1u);
        EXPECT_NE(Reports[0].find(Path), std::string::npos) << Reports[0];
        EXPECT_NE(Reports[0].find("line 3"), std::string::npos) << Reports[0];
        EXPECT_FALSE(registry.OpenKey(Main, false)) << "starts from defaults";
        EXPECT_FALSE(fs::exists(Path));
        // Each corrupt file gets its own name; none is overwritten.
        const auto bad = BadFiles();
        ASSERT_EQ(bad.size(), static_cast<std::size_t>(round));
        for (const auto& path : bad) {
            EXPECT_EQ(ReadFile(path), corrupt);
        }
        registry.OpenKey(Main, true);
        registry.WriteInteger("Alpha", 9);
        EXPECT_TRUE(Open().OpenKey(Main, false));
    }
}

TEST_F(FileRegistryTest, DamagedFileKeepsEveryWellFormedValue)
{
    {
        TFileRegistry registry = Open();
        ASSERT_TRUE(registry.OpenKey(Main, true));
        registry.WriteString("FormatString", std::string(150, 't'));
        for (int i = 0; i < 30; ++i) {
            registry.WriteInteger(ValueName(i), i);
        }
    }
    const std::string full = ReadFile(Path);
    ASSERT_GT(full.size(), 600u);
    struct TCase
    {
        const char* name;
        std::string text;
    };
    std::string middle = full;
    middle.insert(middle.find("\"V2\"="), "\x01garbage\n");
    for (const TCase& c : {TCase{"cut at 500 bytes", full.substr(0, 500)},
                           TCase{"garbage line in the middle", middle}}) {
        SCOPED_TRACE(c.name);
        std::ofstream(Path, std::ios::binary | std::ios::trunc) << c.text;
        Reports.clear();
        TFileRegistry registry = Open();
        // What a reader of only the whole, good lines finds.
        std::string good;
        std::istringstream lines(c.text);
        for (std::string line; std::getline(lines, line) && !lines.eof();) {
            if (!line.starts_with("\x01")) {
                good += line + "\n";
            }
        }
        const auto expected = ParseRegistryText(good);
        ASSERT_TRUE(expected.Tree);
        ASSERT_TRUE(registry.OpenKey(Main, false));
        std::vector<std::string> expectedNames;
        for (const auto& [name, value] : expected.Tree->at(Main)) {
            expectedNames.push_back(name);
        }
        EXPECT_EQ(registry.ValueNames(), expectedNames);
        EXPECT_GT(expectedNames.size(), 5u);

        ASSERT_EQ(Reports.size(), 1u);
        const auto bad = BadFiles();
        ASSERT_EQ(bad.size(), 1u);
        EXPECT_EQ(ReadFile(bad[0]), c.text);
        EXPECT_NE(Reports[0].find(bad[0].string()), std::string::npos) << Reports[0];
        EXPECT_NE(Reports[0].find("lost: "), std::string::npos) << Reports[0];
        // The values taken over are stored at once, in a file a strict reader accepts.
        const auto stored = ParseRegistryText(ReadFile(Path));
        ASSERT_TRUE(stored.Tree);
        EXPECT_EQ(stored.Tree->at(Main).size(), expectedNames.size());
        fs::remove(bad[0]);
    }
}

TEST_F(FileRegistryTest, FileCorruptedBetweenWritesIsKeptAside)
{
    TFileRegistry registry = Open();
    registry.OpenKey(Main, true);
    registry.WriteInteger("A", 1);
    std::ofstream(Path, std::ios::binary) << "garbage";
    registry.WriteInteger("B", 2);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_NE(Reports[0].find("line 1"), std::string::npos);
    EXPECT_EQ(BadFiles().size(), 1u);
    TFileRegistry reopened = Open();
    reopened.OpenKey(Main, false);
    EXPECT_EQ(reopened.ValueNames(), std::vector<std::string>{"B"});
}

TEST_F(FileRegistryTest, SalvageThatLostTheVersionKeepsEverySavedValue)
{
    const std::string section = "[HKEY_CURRENT_USER\\" + Main + "]\n";
    std::ofstream(Path, std::ios::binary)
        << "REGEDIT4\n\n" + section + "\"Version\"=dword:0000005x\n\"Password\"=\"Secret\"\n"
        << "\"W\"=dword:00000003\n\n[HKEY_CURRENT_USER\\" + Main +
               "\\host:1]\n\"X\"=dword:00000001\n";
    TFileRegistry registry = Open();
    ASSERT_TRUE(registry.Salvaged());
    TSettingsStore store(registry, {}, {});
    TFileRegistry reopened = Open();
    ASSERT_TRUE(reopened.OpenKey(Main, false));
    EXPECT_EQ(reopened.ReadString("Password"), "Secret");
    EXPECT_EQ(reopened.ReadInteger("W"), 3);
    EXPECT_EQ(reopened.ReadInteger("Version"), CurrentSettingsVersion);
    EXPECT_TRUE(reopened.OpenKey(Main + "\\host:1", false));
}

TEST_F(FileRegistryTest, SalvageReportStaysShortAndPrintable)
{
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + Main + "]\n\"A\"=dword:00000001\n";
    for (int i = 0; i < 40; ++i) {
        text += "\"" + std::string(16000, 'n') + "\x1b[2J\"=broken\n";
    }
    std::ofstream(Path, std::ios::binary) << text;
    Open();
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_LT(Reports[0].size(), 2000u);
    EXPECT_EQ(Reports[0].find('\x1b'), std::string::npos);
    EXPECT_NE(Reports[0].find("more lines"), std::string::npos) << Reports[0];
}

TEST_F(FileRegistryTest, FailedWriteIsATypedError)
{
    TFileRegistry registry((Folder / "missing" / "settings.reg").string(), {});
    EXPECT_FALSE(registry.OpenKey(Main, true));
    try {
        registry.WriteInteger("Alpha", 1);
        ADD_FAILURE() << "the write did not fail";
    } catch (const TRegistryError& error) {
        EXPECT_TRUE(std::string(error.what()).starts_with("Failed to set data for 'Alpha' ("))
            << error.what();
        EXPECT_EQ(error.ValueName, "Alpha");
    }
}

// Runs body in a child process that ends with _exit; returns the child's pid.
template <typename F> pid_t Spawn(F body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 1;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    return pid;
}

int ExitCodeOf(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileRegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    // The lock is what is under test, not the disk: on tmpfs the fsyncs cost nothing and the
    // thousand writes take a moment instead of half a minute.
    if (fs::is_directory("/dev/shm")) {
        fs::remove_all(Folder);
        char pattern[] = "/dev/shm/statlume-reg-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Folder = pattern;
        Path = (Folder / "settings.reg").string();
    }
    constexpr int PerWriter = 500;
    std::vector<pid_t> children;
    for (const char* prefix : {"first", "second"}) {
        children.push_back(Spawn([&] {
            TFileRegistry registry(Path, {});
            registry.OpenKey(Main, true);
            for (int i = 0; i < PerWriter; ++i) {
                registry.WriteInteger(std::string(prefix) + std::to_string(i), i);
            }
            return 0;
        }));
    }
    for (const pid_t child : children) {
        EXPECT_EQ(ExitCodeOf(child), 0);
    }
    TFileRegistry registry = Open();
    ASSERT_TRUE(registry.OpenKey(Main, false));
    EXPECT_EQ(registry.ValueNames().size(), 2u * PerWriter);
    EXPECT_EQ(registry.ReadInteger("first499"), 499);
    EXPECT_EQ(registry.ReadInteger("second0"), 0);
    EXPECT_TRUE(Reports.empty());
}

TEST_F(FileRegistryTest, ExitsOfTwoCopiesAtOnceCountEveryOne)
{
    // Each exit reads the records and writes their sums: under one lock, so none is lost.
    constexpr int PerCopy = 100;
    std::vector<pid_t> children;
    for (int copy = 0; copy < 2; ++copy) {
        children.push_back(Spawn([&] {
            for (int i = 0; i < PerCopy; ++i) {
                TFileRegistry registry(Path, {});
                TSettingsStore store(registry, {}, {});
                store.SaveOnExit({false, std::nullopt, 10});
            }
            return 0;
        }));
    }
    for (const pid_t child : children) {
        EXPECT_EQ(ExitCodeOf(child), 0);
    }
    TFileRegistry registry = Open();
    ASSERT_TRUE(registry.OpenKey(Main, false));
    const TUptimeRecords records = ReadUptimeRecords(registry, {});
    EXPECT_EQ(records.Count, 2 * PerCopy);
    EXPECT_EQ(records.Total, 2 * PerCopy * 10);
}

TEST_F(FileRegistryTest, KilledWriterNeverTearsTheFile)
{
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> delayMicros(0, 3000);
    std::set<int> completed;
    int next = 0;
    for (int round = 0; round < 200; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const int start = next;
        const pid_t child = Spawn([&] {
            ::close(fds[0]);
            TFileRegistry registry(Path, {});
            registry.OpenKey(Main, true);
            for (int i = start;; ++i) {
                registry.WriteInteger(ValueName(i), i);
                if (::write(fds[1], &i, sizeof i) != sizeof i) {
                    return 1;
                }
            }
        });
        ::close(fds[1]);
        // Half of the rounds wait for a first completed write, so that a loaded machine
        // still kills writers in the middle of later writes and not only at start-up.
        int done = 0;
        if (round % 2 == 1 && ::read(fds[0], &done, sizeof done) == sizeof done) {
            completed.insert(done);
            next = std::max(next, done + 1);
        }
        ::usleep(static_cast<useconds_t>(delayMicros(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        while (::read(fds[0], &done, sizeof done) == sizeof done) {
            completed.insert(done);
            next = std::max(next, done + 1);
        }
        ::close(fds[0]);
        next += 1;
    }
    TFileRegistry registry = Open();
    EXPECT_TRUE(Reports.empty()) << Reports.front();
    ASSERT_TRUE(registry.OpenKey(Main, false));
    for (const int value : completed) {
        ASSERT_EQ(registry.ReadInteger(ValueName(value)), value);
    }
    EXPECT_GT(completed.size(), 0u);
    // The first write under the lock clears the temporary files the killed writers left.
    registry.WriteInteger("After", 1);
    for (const auto& entry : fs::directory_iterator(Folder)) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("settings.reg.tmp-"))
            << entry.path();
    }
}

// Child exit codes of the fault test, so a failure says which check broke.
enum TFaultCheck
{
    FaultPassed = 0,
    WriteNotRefused = 10,
    CacheLost = 11,
    KeptAside = 12,
    FaultNotMade = 13,
};

TEST_F(FileRegistryTest, ReadErrorsFailTheWriteAndKeepFileAndCache)
{
    const bool root = ::geteuid() == 0;
    struct Row
    {
        const char* name;
        // Run in the child after the file was read: makes the next re-read fail.
        std::function<bool(const std::string& path)> fault;
        bool asNobody;
    };
    const Row rows[] = {
        {"descriptor limit reached",
         [](const std::string&) {
             // The lowest free descriptor is the next one open() would return.
             const int next = ::dup(0);
             ::close(next);
             const rlimit limit{static_cast<rlim_t>(next), static_cast<rlim_t>(next)};
             return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 && ::dup(0) < 0 && errno == EMFILE;
         },
         false},
        // Root reads any file, so the child becomes another user who owns the folder.
        {"file without read permission",
         [](const std::string& path) {
             return ::chmod(path.c_str(), 0) == 0 && ::open(path.c_str(), O_RDONLY) < 0;
         },
         root},
        {"a FIFO put at the name",
         [](const std::string& path) {
             return ::unlink(path.c_str()) == 0 && ::mkfifo(path.c_str(), 0600) == 0;
         },
         false},
    };
    const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n"
                             "\"Password\"=\"secret\"\n";
    constexpr uid_t nobody = 65534;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer runtimes open descriptors of their own to check memory, and misreport
        // once none are left.
        if (std::string_view(row.name) == "descriptor limit reached")
            continue;
#endif
        std::ofstream(Path, std::ios::binary | std::ios::trunc) << text;
        if (row.asNobody) {
            ASSERT_EQ(::chown(Folder.c_str(), nobody, nobody), 0);
            ASSERT_EQ(::chown(Path.c_str(), nobody, nobody), 0);
        }
        const pid_t child = Spawn([&] {
            if (row.asNobody && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
                return static_cast<int>(FaultNotMade);
            }
            std::vector<std::string> reports;
            TFileRegistry registry(Path, [&](const std::string& m) { reports.push_back(m); });
            registry.OpenKey(Main, false);
            if (!row.fault(Path)) {
                return static_cast<int>(FaultNotMade);
            }
            try {
                registry.WriteInteger("UptimeCount", 1);
                return static_cast<int>(WriteNotRefused);
            } catch (const TRegistryError&) {
            }
            if (registry.ReadString("Password") != "secret") {
                return static_cast<int>(CacheLost);
            }
            for (const std::string& report : reports) {
                if (report.find("kept as") != std::string::npos) {
                    return static_cast<int>(KeptAside);
                }
            }
            return static_cast<int>(FaultPassed);
        });
        EXPECT_EQ(ExitCodeOf(child), FaultPassed);
        ::chmod(Path.c_str(), 0600);
        EXPECT_TRUE(BadFiles().empty());
        if (fs::is_fifo(Path)) {
            fs::remove(Path);
        } else {
            EXPECT_EQ(ReadFile(Path), text);
        }
        ::chown(Folder.c_str(), ::geteuid(), ::getegid());
    }
}

TEST_F(FileRegistryTest, FifoAtTheNameNeitherHangsStartNorIsWrittenOver)
{
    ASSERT_EQ(::mkfifo(Path.c_str(), 0600), 0);
    TFileRegistry registry = Open();
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_NE(Reports[0].find("not a regular file"), std::string::npos) << Reports[0];
    EXPECT_FALSE(registry.OpenKey(Main, true));
    EXPECT_TRUE(fs::is_fifo(Path));
    EXPECT_TRUE(BadFiles().empty());
}

TEST_F(FileRegistryTest, NothingBeyondTheReadersBoundsIsWritten)
{
    TFileRegistry registry = Open();
    ASSERT_TRUE(registry.OpenKey(Main, true));
    registry.WriteString("Password", "secret");
    const std::string before = ReadFile(Path);
    EXPECT_THROW(registry.WriteString("Huge", std::string(MaxRegistryTextSize, 'x')),
                 TRegistryError);
    EXPECT_EQ(ReadFile(Path), before);
    EXPECT_EQ(registry.ReadString("Huge"), std::nullopt);

    std::string deep = Main;
    for (std::size_t level = 3; level < MaxKeyDepth; ++level) {
        deep += "\\k";
    }
    EXPECT_TRUE(registry.OpenKey(deep, true)) << "512 levels";
    EXPECT_FALSE(registry.OpenKey(deep + "\\k", true)) << "513 levels";
    EXPECT_TRUE(registry.OpenKey(Main + "\\" + std::string(MaxKeyNameLength, 'n'), true));
    EXPECT_FALSE(registry.OpenKey(Main + "\\" + std::string(MaxKeyNameLength + 1, 'n'), true));
    // The deepest key costs its path once in the file, not once per level.
    EXPECT_LT(ReadFile(Path).size(), before.size() + 3 * deep.size());
    EXPECT_TRUE(Open().OpenKey(deep, false));
}

TEST_F(FileRegistryTest, DeepKeyFileIsRefusedQuicklyInBoundedMemory)
{
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software";
    for (int level = 0; level < 8000; ++level) {
        text += "\\a";
    }
    text += "]\n\"V\"=dword:00000001\n";
    std::ofstream(Path, std::ios::binary) << text;
    const pid_t child = Spawn([&] {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::string> reports;
        TFileRegistry registry(Path, [&](const std::string& m) { reports.push_back(m); });
        const auto took = std::chrono::steady_clock::now() - start;
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const long grownKiB = after.ru_maxrss - before.ru_maxrss;
        if (reports.size() != 1 || registry.OpenKey("Software", false)) {
            return 2;
        }
        return took < std::chrono::milliseconds(500) && grownKiB < 8 * 1024 ? 0 : 3;
    });
    EXPECT_EQ(ExitCodeOf(child), 0);
    EXPECT_EQ(BadFiles().size(), 1u);
}

// Counts the times settings.reg was replaced by a rename, through inotify on the folder.
class TRenameCounter
{
public:
    explicit TRenameCounter(const fs::path& folder)
        : Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(Fd, folder.c_str(), IN_MOVED_TO);
    }
    ~TRenameCounter() { ::close(Fd); }
    TRenameCounter(const TRenameCounter&) = delete;
    TRenameCounter& operator=(const TRenameCounter&) = delete;

    int Count()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(Fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::string(event->name) == "settings.reg") {
                    ++Renames;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return Renames;
    }

private:
    int Fd;
    int Renames = 0;
};

TEST_F(FileRegistryTest, StartAndExitReplaceTheFileOnceEach)
{
    TClientSwitches client;
    client.ClientMode = true;
    client.Host = "Server.Example";
    client.Port = 6130;
    TExitState exit;
    exit.Window = TWindowPlacement{{{"FormatLabel0", 1, 2}, {"FormatLabel1", 3, 4}}, false, 5, 6};
    exit.LastUptimeSecs = 300;
    struct Row
    {
        const char* name;
        TClientSwitches switches;
        int startRenames;
    };
    const Row rows[] = {
        {"first start: keys and version step", {}, 1},
        {"later start of an up-to-date key", {}, 0},
        {"first start as a client of a server", client, 1},
        {"later start as that client", client, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRenameCounter renames(Folder);
        TFileRegistry registry = Open();
        TSettingsStore store(registry, row.switches, {});
        EXPECT_EQ(renames.Count(), row.startRenames);
        store.SaveOnExit(exit);
        EXPECT_EQ(renames.Count(), row.startRenames + 1);
    }
    TFileRegistry registry = Open();
    TSettingsStore store(registry, client, {});
    EXPECT_EQ(ReadUptimeRecords(registry, {}).Count, 2);
    EXPECT_EQ(store.ReadLabelPosition("FormatLabel1")->Top, 4);
    EXPECT_EQ(store.ReadStartup().Width, 5);
    EXPECT_TRUE(Reports.empty());
    // The fresh key's reset left its parent implied again, so it gets no empty section.
    EXPECT_EQ(ReadFile(Path).find("[HKEY_CURRENT_USER\\Software\\Quorvale]"), std::string::npos);
}

TEST_F(FileRegistryTest, UnsafeSettingsFolderIsRefused)
{
    const bool root = ::geteuid() == 0;
    struct Row
    {
        const char* name;
        mode_t mode;
        bool otherOwner;
        std::string expected;
    };
    const Row rows[] = {
        {"private folder", 0700, false, ""},
        {"readable by others, writable only by us", 0755, false, ""},
        {"writable by everyone", 0777, false, "chmod 700"},
        {"owned by another user", 0700, true, "another user"},
    };
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldConfig != nullptr ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
    const fs::path settings = Folder / "statlume";
    const std::string planted = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\n"
                                "\"Version\"=dword:00000054\n\"Password\"=\"planted\"\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.otherOwner && !root) {
            continue; // only root can give a folder away
        }
        fs::remove_all(settings);
        fs::create_directory(settings);
        std::ofstream(settings / "settings.reg", std::ios::binary) << planted;
        ASSERT_EQ(::chmod(settings.c_str(), row.mode), 0);
        if (row.otherOwner) {
            ASSERT_EQ(::chown(settings.c_str(), 65534, 65534), 0);
        }
        Reports.clear();
        {
            TFileRegistry registry = TFileRegistry::OpenUserSettings(
                [this](const std::string& m) { Reports.push_back(m); });
            TSettingsStore store(registry, {}, {});
            const bool refused = !row.expected.empty();
            EXPECT_EQ(store.ReadPassword(), refused ? std::nullopt : std::optional("planted"s));
            store.SaveOnExit({false, std::nullopt, 10});
            EXPECT_EQ(registry.Writable(), !refused);
        }
        if (row.expected.empty()) {
            EXPECT_TRUE(Reports.empty());
            EXPECT_NE(ReadFile(settings / "settings.reg"), planted);
            continue;
        }
        ASSERT_EQ(Reports.size(), 1u);
        EXPECT_NE(Reports[0].find("'" + settings.string() + "'"), std::string::npos) << Reports[0];
        EXPECT_NE(Reports[0].find(row.expected), std::string::npos) << Reports[0];
        EXPECT_EQ(ReadFile(settings / "settings.reg"), planted);
        EXPECT_FALSE(fs::exists(settings / "settings.reg.lock"));
    }
    if (oldConfig != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

} // namespace
} // namespace statlume::platform
