#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "record/raw_data.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume {
namespace {

const std::string CliPath = STATLUME_BINARY_DIR "/src/cli/statlume-cli";

struct TRun
{
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A scratch folder of this test, removed afterwards.
class CliOnceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "statlume-cli-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    // Runs the program with args, its output going to files of the scratch folder.
    TRun Run(const std::vector<std::string>& args) const
    {
        const std::string outPath = Dir / "stdout";
        const std::string errPath = Dir / "stderr";
        const pid_t child = fork();
        if (child == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            // Never the user's own settings: a folder of this test for each run.
            setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
            setenv("XDG_RUNTIME_DIR", Dir.c_str(), 1);
            // NVIDIA's library is the tests' stand-in, never the machine's.
            setenv("LD_LIBRARY_PATH", STATLUME_FAKE_NVML_DIR, 1);
            std::vector<char*> argv{const_cast<char*>(CliPath.c_str())};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(CliPath.c_str(), argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        TRun run;
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.Out = ReadFile(outPath);
        run.Err = ReadFile(errPath);
        return run;
    }

    std::filesystem::path Dir;
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

std::uint64_t MemTotalKB()
{
    std::ifstream file("/proc/meminfo");
    std::string key;
    std::uint64_t value = 0;
    while (file >> key >> value) {
        if (key == "MemTotal:")
            return value;
        file.ignore(1 << 10, '\n');
    }
    return 0;
}

double ProcUptime()
{
    std::ifstream file("/proc/uptime");
    double seconds = 0;
    file >> seconds;
    return seconds;
}

int ProcessCount()
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        count += name.find_first_not_of("0123456789") == std::string::npos ? 1 : 0;
    }
    return count;
}

TEST_F(CliOnceTest, OnceShowsWhatTheMachineSays)
{
    const std::string dump = Dir / "record.bin";
    const TRun run = Run({"--once", "--interval", "200", "--dump-record", dump, "--template",
                          "<NAME=RAMTotal>|<NAME=CompName>|<NAME=Uptime FORMAT=\"*d* *H* *M* "
                          "*S*\">|<NAME=Processes>|<NAME=ProcUsage FORMAT=\"1\">"});
    const double uptimeNow = ProcUptime();
    const int processesNow = ProcessCount();
    ASSERT_EQ(run.Status, 0) << run.Err;

    // One render: the line, then one empty line.
    const std::vector<std::string> lines = Split(run.Out, '\n');
    ASSERT_EQ(lines.size(), 2u) << run.Out;
    EXPECT_EQ(lines[1], "");
    const std::vector<std::string> fields = Split(lines[0], '|');
    ASSERT_EQ(fields.size(), 5u) << lines[0];

    EXPECT_EQ(fields[0], std::to_string(std::llround(static_cast<double>(MemTotalKB()) / 1024)));

    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(fields[1], std::string(host).substr(0, 15));

    const std::vector<std::string> parts = Split(fields[2], ' ');
    ASSERT_EQ(parts.size(), 4u) << fields[2];
    const long long uptime = std::stoll(parts[0]) * 86400 + std::stoll(parts[1]) * 3600 +
                             std::stoll(parts[2]) * 60 + std::stoll(parts[3]);
    EXPECT_NEAR(static_cast<double>(uptime), uptimeNow, 2.0);

    const int processes = std::stoi(fields[3]);
    EXPECT_NEAR(processes, processesNow, 10 + processesNow / 10);

    // The processor figures are checked in the record the program wrote: every processor
    // slot the machine has (up to four) holds a usage between 0 and 100.
    const std::string bytes = ReadFile(dump);
    ASSERT_EQ(bytes.size(), RawDataSize);
    TRawBytes raw{};
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    const TRawData data = DecodeRawData(raw);
    EXPECT_EQ(data.Marker, 'T');
    const long processors = std::min(4L, sysconf(_SC_NPROCESSORS_ONLN));
    for (long slot = 1; slot <= processors; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_GE(data.ProcUsage[slot], 0.0f);
        EXPECT_LE(data.ProcUsage[slot], 100.0f);
    }
    EXPECT_FALSE(std::filesystem::exists(dump + ".tmp"));
}

// Another machine's procfs and sysfs, as a container mounts the host's: every figure comes
// from the fixture files (meminfo, uptime, loadavg, three process folders, the GPUs and the
// stand-in NVIDIA library), none from here.
TEST_F(CliOnceTest, OnceReadsTheMachineAtTheGivenRoots)
{
    const std::string figures =
        "<NAME=RAMTotal>|<NAME=RAMFree>|<NAME=RAMUsed>|<NAME=PageTotal>|<NAME=PageFree>|"
        "<NAME=Uptime FORMAT=\"*d* *H* *M* *S*\">|<NAME=Processes>|<NAME=Threads>|"
        "<NAME=LoadAvg FORMAT=\"5\">|<NAME=DiskRead>|<NAME=DiskWrite FORMAT=\"sda\">|"
        "<NAME=BatteryCharge FORMAT=\"BAT0\">|<NAME=BatteryState>|<NAME=BatteryTime "
        "FORMAT=\"BAT1\">|<NAME=GPUName FORMAT=\"3\">|<NAME=GPUUsage FORMAT=\"3\">|"
        "<NAME=GPUMemUsed FORMAT=\"4 %\" DECIMAL>|<NAME=GPUTemp FORMAT=\"4\">|<NAME=GPUClock>|"
        "<NAME=GPUUsage FORMAT=\"6\">";
    const TRun run = Run({"--procfs", STATLUME_TEST_DATA "/procfs_host",
                          "--sysfs=" STATLUME_TEST_DATA "/sysfs_host", "--once", "--interval", "50",
                          "--template", figures});
    EXPECT_EQ(run.Status, 0) << run.Err;
    // The disk rates are over two samples of a tree that does not change.
    EXPECT_EQ(run.Out, "16384|4096|12288|2048|1536|1 02 03 04|3|812|1.25|0|0|60|Discharging|1:20|"
                       "Fake GeForce RTX 3060|42|12.50|45|1100|0\n\n");
}

TEST_F(CliOnceTest, BadRecordFilesAreRefused)
{
    const std::string shortFile = Dir / "short.bin";
    std::ofstream(shortFile, std::ios::binary) << std::string(271, 'x');
    const std::string longFile = Dir / "long.bin";
    std::ofstream(longFile, std::ios::binary) << std::string(273, 'x');
    struct TCase
    {
        const char* name;
        std::string file;
    };
    const TCase cases[] = {
        {"missing", (Dir / "missing.bin").string()},
        {"271 bytes", shortFile},
        {"273 bytes", longFile},
        {"a folder", Dir.string()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = Run({"--record", c.file, "--once"});
        EXPECT_EQ(run.Status, 2);
        EXPECT_NE(run.Err.find(c.file), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
    }
}

// Files the program reads must be regular: a FIFO with no writer must not hang it.
TEST_F(CliOnceTest, TemplateAndRecordFilesMustBeRegularFiles)
{
    const std::string fifo = Dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        const char* message;
    };
    const TCase cases[] = {
        {"template from a FIFO", {"--once", "--template-file", fifo}, "not a regular file"},
        {"template from a folder", {"--once", "--template-file", Dir}, "Is a directory"},
        {"record from a FIFO", {"--record", fifo}, "not a regular file"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = Run(c.args);
        EXPECT_EQ(run.Status, 2);
        EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
    }
}

TEST_F(CliOnceTest, BadUsageIsOneLineAndTheHint)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        const char* line;
    };
    const TCase cases[] = {
        {"unknown option", {"--onse"}, "unknown option '--onse'"},
        {"client without server", {"-c"}, "-c needs a server: -iHOST"},
        {"interval 0", {"--interval", "0"}, "--interval needs a whole number"},
        {"procfs folder missing", {"--procfs", Dir / "missing"}, "--procfs cannot use '"},
        {"sysfs a file", {"--sysfs", CliPath}, "--sysfs cannot use '"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = Run(c.args);
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err.rfind(std::string("statlume-cli: ") + c.line, 0), 0u) << run.Err;
        EXPECT_NE(run.Err.find("\nTry 'statlume-cli --help'.\n"), std::string::npos) << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 2) << run.Err;
    }
}

TEST_F(CliOnceTest, RecordFileThatCannotBeWrittenFailsTheRun)
{
    const TRun run = Run({"--once", "--interval", "50", "--template", "x", "--dump-record",
                          (Dir / "missing" / "record.bin").string()});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("missing"), std::string::npos) << run.Err;
}

TEST_F(CliOnceTest, RendersARecordAsItStands)
{
    TRawData data;
    data.Marker = 'T';
    data.ComputerName.Assign("recorded-host");
    data.ProcessCount = 42;
    SetMemoryBytes(data, 0, 0, 0, 6ull << 30);
    data.Drives[0].Letter = 'C';
    data.Drives[0].TotalMB = 512;
    data.IPAddrs[0][0] = 10;
    data.IPAddrs[0][3] = 3;
    const TRawBytes bytes = EncodeRawData(data);
    const std::string file = Dir / "record.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));

    const TRun run =
        Run({"--record=" + file, "--template",
             "<NAME=CompName>|<NAME=RAMTotal>|<NAME=Processes>\r\n<NAME=DriveSpace FORMAT=\"C "
             "TOTAL\">|<NAME=IPAddr>"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "recorded-host|6144|42\n512|10.0.0.3\n\n");
}

TEST_F(CliOnceTest, ClosedOutputPipeEndsTheMonitorCleanly)
{
    const std::string command = "bash -c 'XDG_CONFIG_HOME=" + (Dir / "config").string() +
                                " XDG_RUNTIME_DIR=" + Dir.string() + " timeout 20 " + CliPath +
                                " --print --interval 20 --template x | head -n 1 >/dev/null; "
                                "echo ${PIPESTATUS[0]}'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char status[16] = {};
    ASSERT_NE(fgets(status, sizeof status, pipe), nullptr);
    pclose(pipe);
    EXPECT_STREQ(status, "0\n");
}

TEST_F(CliOnceTest, HelpAndVersion)
{
    const TRun help = Run({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("--dump-record"), std::string::npos);
    const TRun version = Run({"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out.rfind("statlume-cli ", 0), 0u);
}

} // namespace
} // namespace statlume
