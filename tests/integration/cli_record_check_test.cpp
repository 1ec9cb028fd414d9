#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "record/raw_data.h"
#include "record/record_check.h"

#include "integration/cli_process.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;
using testing::FreeLoopbackPort;
using testing::PortAccepts;
using testing::ReadWholeFile;
using testing::TCliProcess;
using testing::TScratchDir;
using testing::WaitUntil;

class CliRecordCheckTest : public ::testing::Test
{
protected:
    std::string WriteRecord(const std::string& name, const TRawData& data) const
    {
        const auto bytes = EncodeRawData(data);
        const auto file = Scratch.Path() / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

    TScratchDir Scratch;
};

// Names in a saved record can never retitle or recolour the terminal; the template's own
// codes are the user's and stay.
TEST_F(CliRecordCheckTest, NamesFromARecordReachTheTerminalWithoutControls)
{
    TRawData data;
    data.Marker = 'T';
    data.ComputerName.Assign("\x1B]0;owned\x07");
    data.LogonName.Assign("\xC2\x9B"
                          "31mroot");
    const std::string file = WriteRecord("names.bin", data);
    TCliProcess render({"--record", file, "--template", "\x1B[1m<NAME=CompName>|<NAME=UserName>"},
                       Scratch.Path(), "names", Scratch.NewFolder("names-config"));
    ASSERT_EQ(render.Wait(5s), 0) << render.Err();
    EXPECT_EQ(render.Out(), "\x1B[1m?]0;owned?|?31mroot\n\n");
}

TEST_F(CliRecordCheckTest, RecordFileFailingTheChecksIsRefused)
{
    TRawData data;
    data.Marker = 'T';
    data.Drives[2].Letter = '1';
    const std::string file = WriteRecord("noise.bin", data);
    TCliProcess render({"--record", file}, Scratch.Path(), "noise",
                       Scratch.NewFolder("noise-config"));
    ASSERT_EQ(render.Wait(5s), 2);
    EXPECT_EQ(render.Out(), "");
    EXPECT_NE(render.Err().find("'" + file + "' fails the checks: a drive letter"),
              std::string::npos)
        << render.Err();
}

// A wrong password ends --once with one hint and exit 1 instead of printing noise; the
// server's own record, from a real collection, passes the checks.
TEST_F(CliRecordCheckTest, WrongPasswordEndsOnceWithAHint)
{
    const int port = FreeLoopbackPort();
    const auto served = Scratch.Path() / "served.bin";
    TCliProcess server({"--serve=" + std::to_string(port), "-dright", "--interval", "200",
                        "--dump-record", served.string()},
                       Scratch.Path(), "server", Scratch.NewFolder("server-config"));
    ASSERT_TRUE(WaitUntil([port] { return PortAccepts(port); }, 5s)) << server.Err();

    TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(port), "-dwrong", "--once",
                        "--interval", "100", "--template", "<NAME=CompName>"},
                       Scratch.Path(), "client", Scratch.NewFolder("client-config"));
    ASSERT_EQ(client.Wait(10s), 1) << client.Err();
    EXPECT_EQ(client.Out(), "");
    const std::string hint =
        "records from 127.0.0.1:" + std::to_string(port) + " fail the checks: wrong password?";
    EXPECT_NE(client.Err().find(hint), std::string::npos) << client.Err();

    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(served).size() == RawDataSize; }, 5s));
    const std::string bytes = ReadWholeFile(served);
    TRawBytes raw{};
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    EXPECT_EQ(RecordCheckFailure(DecodeRawData(raw)), std::nullopt);
}

} // namespace
} // namespace statlume
