#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "platform/linux/file_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

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
    EXPECT_TRUE(ReadFile(Path).starts_with("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n"));
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

TEST_F(FileRegistryTest, FailedWriteIsATypedError)
{
    TFileRegistry registry((Folder / "missing" / "settings.reg").string(), {});
    EXPECT_FALSE(registry.OpenKey(Main, true));
    try {
        registry.WriteInteger("Alpha", 1);
        ADD_FAILURE() << "the write did not fail";
    } catch (const TRegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Alpha'");
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

} // namespace
} // namespace statlume::platform
