#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

TEST_F(RecordFileTest, DumpReportsOncePerRunOfFailures)
{
    std::ostringstream err;
    const auto sub = Folder / "sub";
    TRecordDump dump((sub / "dump.rec").string(), err);
    const auto messages = [&] {
        const std::string text = err.str();
        return std::count(text.begin(), text.end(), '\n');
    };
    dump.Write(TRawBytes{});
    dump.Write(TRawBytes{});
    EXPECT_EQ(messages(), 1);
    std::filesystem::create_directory(sub);
    dump.Write(TRawBytes{});
    EXPECT_EQ(messages(), 1);
    EXPECT_TRUE(std::filesystem::exists(sub / "dump.rec"));
    std::filesystem::remove_all(sub);
    dump.Write(TRawBytes{});
    EXPECT_EQ(messages(), 2);
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
    EXPECT_EQ(ReadTextFile(path), text);
    EXPECT_EQ(ReadTextFile((Folder / "none").string()), std::nullopt);
}

TEST_F(RecordFileTest, EndlessTextFileIsRefusedNotReadForever)
{
    EXPECT_EQ(ReadTextFile("/dev/zero"), std::nullopt);
}

} // namespace
} // namespace statlume
