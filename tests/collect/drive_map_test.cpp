#include <string>

#include "collect/drive_map.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(DriveMap, ReadsEntries)
{
    struct TCase
    {
        const char* name;
        const char* text;
        TDriveMap expected;
    };
    const TCase cases[] = {
        {"default", "C=/", {{'C', "/"}}},
        {"two entries", "C=/;D=/home", {{'C', "/"}, {'D', "/home"}}},
        {"lower-case letter", "d=/srv", {{'D', "/srv"}}},
        {"blanks around entries", " C = / ; E=/mnt/usb ", {{'C', "/"}, {'E', "/mnt/usb"}}},
        {"path kept as written", "X=/Media/My Disk/", {{'X', "/Media/My Disk/"}}},
        {"path with equals sign", "Y=/a=b", {{'Y', "/a=b"}}},
        {"last entry for a letter wins", "C=/;c=/home", {{'C', "/home"}}},
        {"empty text", "", {}},
        {"empty entries", ";;C=/;", {{'C', "/"}}},
        {"no equals sign", "C/;D=/d", {{'D', "/d"}}},
        {"two-letter name", "CD=/;E=/e", {{'E', "/e"}}},
        {"digit instead of letter", "1=/;E=/e", {{'E', "/e"}}},
        {"empty letter", "=/;E=/e", {{'E', "/e"}}},
        {"empty path", "C=;E=/e", {{'E', "/e"}}},
        {"non-ASCII letter", "\xC3\x84=/;E=/e", {{'E', "/e"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseDriveMap(c.text), c.expected);
    }
}

TEST(DriveMap, LooksUpLettersInEitherCase)
{
    const TDriveMap map = ParseDriveMap("C=/;D=/home");
    EXPECT_EQ(MountPointOf(map, 'C'), "/");
    EXPECT_EQ(MountPointOf(map, 'd'), "/home");
    EXPECT_EQ(MountPointOf(map, 'E'), "");
    EXPECT_EQ(MountPointOf(map, '\0'), "");
}

// The text reads back as the same map; a path the text cannot hold is left out.
TEST(DriveMap, TextReadsBackTheSameMap)
{
    struct TCase
    {
        const char* name;
        TDriveMap map;
        const char* text;
    };
    const TCase cases[] = {
        {"none", {}, ""},
        {"letters in order", {{'D', "/home"}, {'C', "/"}}, "C=/;D=/home"},
        {"a blank inside is kept", {{'E', "/media/my disk"}}, "E=/media/my disk"},
        {"a semicolon cannot be held", {{'C', "/"}, {'F', "/a;b"}}, "C=/"},
        {"nor blanks at an end", {{'G', " /x"}, {'H', "/y "}}, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DriveMapText(c.map), c.text);
        TDriveMap kept = c.map;
        std::erase_if(kept, [](const auto& entry) { return DriveMapText({entry}).empty(); });
        EXPECT_EQ(ParseDriveMap(DriveMapText(c.map)), kept);
    }
}

} // namespace
} // namespace statlume
