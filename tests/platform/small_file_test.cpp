#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/linux/small_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace statlume::platform {
namespace {

TEST(SmallFile, NumbersAreWholeTexts)
{
    struct TRow
    {
        const char* name;
        const char* text;
        std::optional<std::uint64_t> unsignedValue;
        std::optional<std::int64_t> signedValue;
    };
    const TRow rows[] = {
        {"with newline", "45000\n", 45000, 45000},
        {"negative", "-1500000", std::nullopt, -1500000},
        {"64-bit top", "18446744073709551615", ~0ull, std::nullopt},
        {"beyond 64 bits", "18446744073709551616", std::nullopt, std::nullopt},
        {"unit after it", "12 ns", std::nullopt, std::nullopt},
        {"empty", " ", std::nullopt, std::nullopt},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseUnsigned(row.text), row.unsignedValue);
        EXPECT_EQ(ParseSigned(row.text), row.signedValue);
    }
}

TEST(SmallFile, OnlyShortRegularFilesAreRead)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "statlume-small-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path folder = pattern;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    fs::create_directory(folder / "folder");
    std::ofstream(folder / "long") << std::string(SmallFileLimit + 1, '7');
    std::ofstream(folder / "fits") << std::string(SmallFileLimit - 1, '7') << '\n';
    fs::create_symlink("../drivers/amdgpu", folder / "driver");
    fs::create_symlink("..", folder / "up");
    // A FIFO without a writer would block a plain open; it is refused at once instead.
    EXPECT_EQ(ReadSmallFile((folder / "fifo").string()), std::nullopt);
    EXPECT_EQ(ReadSmallFile((folder / "folder").string()), std::nullopt);
    EXPECT_EQ(ReadSmallFile((folder / "long").string()), std::nullopt);
    EXPECT_EQ(ReadSmallFile((folder / "fits").string()).value_or("").size(), SmallFileLimit - 1);
    EXPECT_EQ(ReadLinkName((folder / "driver").string()), "amdgpu");
    EXPECT_EQ(ReadLinkName((folder / "up").string()), std::nullopt);
    fs::remove_all(folder);
}

} // namespace
} // namespace statlume::platform
