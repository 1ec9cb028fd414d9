#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/record_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace statlume {
namespace {

// A fresh folder per test, removed afterwards.
class RecordFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "record-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    std::filesystem::path Folder;
};

TEST_F(RecordFileTest, WrittenRecordReadsBackWithNoTemporaryLeft)
{
    const std::string path = (Folder / "dump.rec").string();
    TRawBytes bytes{};
    bytes[0] = 0x5A;
    bytes[RawDataSize - 1] = 0xA5;
    // A file planted at a predictable temporary name is neither used nor in the way.
    std::ofstream(path + ".tmp") << "planted";
    ASSERT_EQ(WriteRecordFile(path, bytes), std::nullopt);

    const auto read = ReadRecordFile(path);
    ASSERT_TRUE(std::holds_alternative<TRawBytes>(read));
    EXPECT_EQ(std::get<TRawBytes>(read), bytes);
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Folder))
        ++entries;
    EXPECT_EQ(entries, 2u);
}

TEST_F(RecordFileTest, WriteIntoMissingFolderReportsTheName)
{
    const std::string path = (Folder / "missing" / "dump.rec").string();
    const auto error = WriteRecordFile(path, TRawBytes{});
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("missing"), std::string::npos);
}

TEST_F(RecordFileTest, DumpSaysWhenAWriteFailed)
{
    std::ostringstream err;
    const auto sub = Folder / "sub";
    TRecordDump dump((sub / "dump.rec").string(), err);
    EXPECT_FALSE(dump.Write(TRawBytes{}));
    EXPECT_NE(err.str().find("sub"), std::string::npos) << err.str();
    std::filesystem::create_directory(sub);
    EXPECT_TRUE(dump.Write(TRawBytes{}));
    EXPECT_TRUE(std::filesystem::exists(sub / "dump.rec"));
}

TEST_F(RecordFileTest, RecordOfWrongLengthIsRefused)
{
    const struct
    {
        const char* name;
        std::size_t length;
    } rows[] = {{"empty", 0}, {"short", RawDataSize - 1}, {"long", RawDataSize + 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = (Folder / row.name).string();
        std::ofstream(path, std::ios::binary) << std::string(row.length, 'x');
        EXPECT_TRUE(std::holds_alternative<std::string>(ReadRecordFile(path)));
    }
}

TEST_F(RecordFileTest, TextFileReadsWhole)
{
    const std::string path = (Folder / "template.txt").string();
    const std::string text(10000, 'a');
    std::ofstream(path, std::ios::binary) << text;
    std::string reason;
    EXPECT_EQ(ReadTextFile(path, reason), text);
}

// Files that are not regular are refused at once with the system's reason, never waited on
// (a FIFO with no writer would block an ordinary open for ever) nor read without end.
TEST_F(RecordFileTest, OnlyRegularFilesAreRead)
{
    const std::string fifo = (Folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = (Folder / "locked").string();
    std::ofstream(locked) << "x";
    ::chmod(locked.c_str(), 0);
    struct TCase
    {
        const char* name;
        std::string path;
        const char* reason;
    };
    std::vector<TCase> cases = {
        {"missing", (Folder / "none").string(), "No such file or directory"},
        {"folder", Folder.string(), "Is a directory"},
        {"fifo", fifo, "not a regular file"},
        {"endless device", "/dev/zero", "not a regular file"},
    };
    // The owner's permissions do not hold root back.
    if (::geteuid() != 0)
        cases.push_back({"unreadable", locked, "Permission denied"});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_EQ(ReadTextFile(c.path, reason), std::nullopt);
        EXPECT_EQ(reason, c.reason);
        const auto record = ReadRecordFile(c.path);
        ASSERT_TRUE(std::holds_alternative<std::string>(record));
        EXPECT_NE(std::get<std::string>(record).find(c.reason), std::string::npos);
    }
}

TEST_F(RecordFileTest, PasswordFileMustBePrivate)
{
    struct TCase
    {
        const char* name;
        std::string text;
        mode_t mode;
        std::optional<std::string> expected;
    };
    const TCase cases[] = {
        {"first line", "Secret\nsecond line\n", 0600, "Secret"},
        {"CR LF line end", "pw\r\n", 0400, "pw"},
        {"no line end", "pw", 0600, "pw"},
        {"readable by group", "pw\n", 0640, std::nullopt},
        {"readable by others", "pw\n", 0604, std::nullopt},
        {"writable by group", "pw\n", 0620, std::nullopt},
        {"too long", std::string(MaxPasswordFileSize + 1, 'x'), 0600, std::nullopt},
        {"empty first line", "\nsecond\n", 0600, std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (Folder / "password").string();
        std::filesystem::remove(path);
        std::ofstream(path, std::ios::binary) << c.text;
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        std::string message;
        EXPECT_EQ(ReadPasswordFile(path, message), c.expected);
        EXPECT_EQ(message.empty(), c.expected.has_value()) << message;
        if (!c.expected) {
            EXPECT_NE(message.find(path), std::string::npos);
        }
    }
}

} // namespace
} // namespace statlume
