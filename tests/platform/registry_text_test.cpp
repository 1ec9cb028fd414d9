#include <climits>

#include "platform/linux/registry_text.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RegistryText, RoundTripOfEveryType)
{
    const TRegistryTree tree{
        {"Software", {}},
        {"Software\\Quorvale", {}},
        {"Software\\Quorvale\\Statlume",
         {{"Zero", 0},
          {"Minus", -1},
          {"Alpha", 255},
          {"Lowest", INT_MIN},
          {"Empty", std::string()},
          {"Escapes", std::string("a\\b\"c\r\nd")},
          {"Utf8", std::string("*d* Tage \xC2\xBA")},
          {"Binary", Bytes{0x00, 0x7f, 0x80, 0xff}},
          {"NoBytes", Bytes{}},
          {"Name \"quoted\" \\", 1}}},
        {"Software\\Quorvale\\Statlume\\10.0.0.1:6130", {{"X", 3}}},
    };
    const auto parsed = ParseRegistryText(FormatRegistryText(tree));
    ASSERT_TRUE(parsed.Tree) << parsed.Line << ": " << parsed.Reason;
    EXPECT_EQ(*parsed.Tree, tree);
}

TEST(RegistryText, WritesTheExportFormat)
{
    const TRegistryTree tree{
        {"Software", {}},
        {"Software\\Q", {{"A", 255}, {"B", std::string("x\"y")}, {"C", Bytes{0, 1}}}}};
    EXPECT_EQ(FormatRegistryText(tree), "REGEDIT4\n"
                                        "\n"
                                        "[HKEY_CURRENT_USER\\Software]\n"
                                        "\n"
                                        "[HKEY_CURRENT_USER\\Software\\Q]\n"
                                        "\"A\"=dword:000000ff\n"
                                        "\"B\"=\"x\\\"y\"\n"
                                        "\"C\"=hex:00,01\n"
                                        "\n");
}

TEST(RegistryText, ReadsWhatOtherWritersProduce)
{
    const std::string text = "\xEF\xBB\xBFREGEDIT4\r\n"
                             "\r\n"
                             "; a comment\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Q]\r\n"
                             "\"Dword\"=dword:FF\r\n"
                             "\"Hex\"=hex:0A,0b,\\\r\n"
                             "  0c\r\n"
                             "  \"Spaced\" = \"v\"\r\n";
    const auto parsed = ParseRegistryText(text);
    ASSERT_TRUE(parsed.Tree) << parsed.Line << ": " << parsed.Reason;
    const TRegistryValues& values = parsed.Tree->at("software\\q");
    EXPECT_EQ(values.at("dword"), TRegistryValue(255));
    EXPECT_EQ(values.at("Hex"), TRegistryValue(Bytes{10, 11, 12}));
    EXPECT_EQ(values.at("Spaced"), TRegistryValue(std::string("v")));
    EXPECT_FALSE(parsed.Tree->contains("Software")) << "parents are not stored";
    EXPECT_TRUE(KeyExists(*parsed.Tree, "Software")) << "but implied";
}

TEST(RegistryText, ErrorsNameTheLine)
{
    struct Row
    {
        const char* name;
        std::string text;
        std::size_t line;
    };
    const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\S]\n";
    const Row rows[] = {
        {"empty text", "", 1},
        {"wrong header", "Windows Registry Editor Version 5.00\n", 1},
        {"value before a section", "REGEDIT4\n\"A\"=dword:1\n", 2},
        {"other root", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\S]\n", 2},
        {"section not closed", "REGEDIT4\n[HKEY_CURRENT_USER\\S\n", 2},
        {"section without key", "REGEDIT4\n[HKEY_CURRENT_USER\\]\n", 2},
        {"name not closed", head + "\"A=dword:1\n", 4},
        {"no equals sign", head + "\"A\" dword:1\n", 4},
        {"unknown escape", head + "\"A\"=\"\\t\"\n", 4},
        {"text not closed", head + "\"A\"=\"abc\n", 4},
        {"text followed by more", head + "\"A\"=\"abc\" x\n", 4},
        {"dword too long", head + "\"A\"=dword:123456789\n", 4},
        {"dword not hex", head + "\"A\"=dword:12g4\n", 4},
        {"dword empty", head + "\"A\"=dword:\n", 4},
        {"hex odd digit", head + "\"A\"=hex:0\n", 4},
        {"hex missing comma", head + "\"A\"=hex:00 01\n", 4},
        {"hex continued past the end", head + "\"A\"=hex:00,\\", 4},
        {"unknown type", head + "\"A\"=hex(2):00\n", 4},
        {"error after a good value", head + "\"A\"=dword:1\n\n\"B\"=dword:x\n", 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto parsed = ParseRegistryText(row.text);
        EXPECT_FALSE(parsed.Tree);
        EXPECT_EQ(parsed.Line, row.line);
        EXPECT_FALSE(parsed.Reason.empty());
    }
}

TEST(RegistryText, SalvageKeepsEveryWellFormedValueAroundTheBadSpots)
{
    struct Row
    {
        const char* name;
        std::string text;
        TRegistryValues kept;
        std::vector<std::pair<std::size_t, std::string>> lost; // line, value name
    };
    const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\S]\n";
    const Row rows[] = {
        {"bad line between good ones",
         head + "\"A\"=dword:1\n\"B\"=dword:x\n\"C\"=\"c\"\n",
         {{"A", 1}, {"C", std::string("c")}},
         {{5, "B"}}},
        {"cut inside a text", head + "\"A\"=dword:1\n\"T\"=\"abc", {{"A", 1}}, {{5, "T"}}},
        {"cut inside a dword that still reads",
         head + "\"A\"=dword:1\n\"I\"=dword:0003",
         {{"A", 1}},
         {{5, "I"}}},
        {"cut inside a continued hex list", head + "\"H\"=hex:00,\\\n  01", {}, {{4, "H"}}},
        {"garbage line without a name",
         head + "\x01\x02junk\n\"A\"=dword:2\n",
         {{"A", 2}},
         {{4, ""}}},
        {"damaged section loses its values only",
         head + "\"A\"=dword:1\n[HKEY_CURRENT_USER\\T\n\"B\"=dword:2\n[HKEY_CURRENT_USER\\S]\n"
                "\"C\"=dword:3\n",
         {{"A", 1}, {"C", 3}},
         {{5, ""}, {6, "B"}}},
        {"missing header", "[HKEY_CURRENT_USER\\S]\n\"A\"=dword:1\n", {{"A", 1}}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(ParseRegistryText(row.text).Tree);
        const auto salvaged = SalvageRegistryText(row.text);
        ASSERT_TRUE(salvaged.Tree);
        const auto key = salvaged.Tree->find("S");
        EXPECT_EQ(key == salvaged.Tree->end() ? TRegistryValues() : key->second, row.kept);
        EXPECT_GT(salvaged.Line, 0u);
        EXPECT_FALSE(salvaged.Reason.empty());
        std::vector<std::pair<std::size_t, std::string>> lost;
        for (const TRegistryLostLine& line : salvaged.Lost) {
            lost.emplace_back(line.Line, line.Name);
        }
        EXPECT_EQ(lost, row.lost);
        EXPECT_EQ(salvaged.LostCount, row.lost.size());
    }
}

TEST(RegistryText, SalvageListsTheFirstLostLinesAndCountsTheRest)
{
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\S]\n";
    for (int i = 0; i < 30; ++i) {
        text += "\"V";
        text += std::to_string(i);
        text += "\"=bad\n";
    }
    const auto salvaged = SalvageRegistryText(text);
    EXPECT_EQ(salvaged.Lost.size(), MaxListedLostLines);
    EXPECT_EQ(salvaged.LostCount, 30u);
}

TEST(RegistryText, RefusesOversizedText)
{
    std::string text = "REGEDIT4\n";
    text.resize(MaxRegistryTextSize + 1, ';');
    const auto parsed = ParseRegistryText(text);
    EXPECT_FALSE(parsed.Tree);
    EXPECT_EQ(parsed.Line, 0u);
}

TEST(RegistryText, KeysWithinTheFormatsBounds)
{
    const auto keyOf = [](std::size_t levels, std::size_t nameLength) {
        std::string key = "S";
        for (std::size_t level = 1; level < levels; ++level) {
            key += '\\';
            key.append(nameLength, 'k');
        }
        return key;
    };
    struct Row
    {
        const char* name;
        std::string key;
        std::string valueName;
        bool accepted;
    };
    const Row rows[] = {
        {"512 levels", keyOf(512, 1), "V", true},
        {"513 levels", keyOf(513, 1), "V", false},
        {"8,000 levels", keyOf(8000, 1), "V", false},
        {"255-character name", keyOf(2, 255), "V", true},
        {"256-character name", keyOf(2, 256), "V", false},
        {"255 two-byte characters",
         "S\\" +
             [] {
                 std::string name;
                 for (int i = 0; i < 255; ++i) {
                     name += "\xC3\xA9";
                 }
                 return name;
             }(),
         "V", true},
        {"longest value name", "S", std::string(MaxValueNameLength, 'v'), true},
        {"value name too long", "S", std::string(MaxValueNameLength + 1, 'v'), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + row.key + "]\n\"" +
                                 row.valueName + "\"=dword:00000001\n";
        const auto parsed = ParseRegistryText(text);
        EXPECT_EQ(parsed.Tree.has_value(), row.accepted) << parsed.Reason;
        if (parsed.Tree) {
            EXPECT_EQ(parsed.Tree->size(), 1u) << "parents are implied, not stored";
        } else {
            EXPECT_EQ(parsed.Line, row.valueName.size() > 1 ? 4u : 3u);
        }
    }
}

TEST(RegistryText, LinesCostNoMemoryOfTheirOwn)
{
    std::string text = "REGEDIT4\n";
    text.resize(MaxRegistryTextSize, '\n');
    // Measured in a child, whose peak starts from the memory it shares with this process.
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const auto parsed = ParseRegistryText(text);
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        ::_exit(parsed.Tree && after.ru_maxrss - before.ru_maxrss < 32 * 1024 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

} // namespace
} // namespace statlume::platform
