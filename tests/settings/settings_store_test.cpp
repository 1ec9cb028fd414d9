#include "platform/fake/memory_registry.h"
#include "settings/settings_store.h"
#include "settings/uptime_records.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using platform::TMemoryRegistry;
using platform::TRegistryTree;
using platform::TRegistryValue;
using platform::TRegistryValues;
using Bytes = std::vector<std::uint8_t>;

const std::string Main = "Software\\Quorvale\\Statlume";
const std::string Server = Main + "\\10.0.0.1:6130";
const std::string OtherServer = Main + "\\other:1";

TClientSwitches Local()
{
    return {};
}

TClientSwitches Client(std::string host, std::uint16_t port)
{
    TClientSwitches client;
    client.ClientMode = true;
    client.Host = std::move(host);
    client.Port = port;
    return client;
}

// Collects reports; a test that expects none checks Reports is empty.
class SettingsStoreTest : public ::testing::Test
{
protected:
    TSettingsStore Open(TMemoryRegistry& registry, const TClientSwitches& client = Local())
    {
        return TSettingsStore(registry, client,
                              [this](const std::string& m) { Reports.push_back(m); });
    }

    static const TRegistryValue* Value(const TMemoryRegistry& registry, const std::string& key,
                                       const std::string& name)
    {
        const auto k = registry.Tree().find(key);
        if (k == registry.Tree().end()) {
            return nullptr;
        }
        const auto v = k->second.find(name);
        return v == k->second.end() ? nullptr : &v->second;
    }

    std::vector<std::string> Reports;
};

TEST_F(SettingsStoreTest, VersionStep)
{
    struct Row
    {
        const char* name;
        TRegistryTree before;
        // Values of the main key afterwards, besides "Version" = 84.
        std::map<std::string, TRegistryValue> after;
        bool serverKeyKept;
    };
    const Bytes zero8(8, 0);
    const Row rows[] = {
        {"fresh key", {}, {{"LongestUptime", zero8}}, false},
        {"version 70 wipes everything, subkeys too",
         {{Main, {{"Version", 70}, {"Alpha", 100}, {"LongestUptime", 5}}}, {Server, {}}},
         {{"LongestUptime", zero8}},
         false},
        {"version 77 sign-extends the longest uptime and drops the size",
         {{Main, {{"Version", 77}, {"LongestUptime", -5}, {"W", 300}, {"H", 200}, {"X", 3}}},
          {Server, {}}},
         {{"LongestUptime", Bytes{0xfb, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}}, {"X", 3}},
         true},
        {"version 80 drops only the size",
         {{Main,
           {{"Version", 80},
            {"LongestUptime", Bytes{1, 0, 0, 0, 0, 0, 0, 0}},
            {"W", 3},
            {"H", 4},
            {"Alpha", 9}}}},
         {{"LongestUptime", Bytes{1, 0, 0, 0, 0, 0, 0, 0}}, {"Alpha", 9}},
         false},
        {"version 84 keeps everything",
         {{Main, {{"Version", 84}, {"W", 3}, {"H", 4}}}, {Server, {{"X", 1}}}},
         {{"W", 3}, {"H", 4}},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMemoryRegistry registry(row.before);
        Open(registry);
        auto expected = row.after;
        expected["Version"] = CurrentSettingsVersion;
        const auto& tree = registry.Tree();
        ASSERT_TRUE(tree.contains(Main));
        const std::map<std::string, TRegistryValue> actual(tree.at(Main).begin(),
                                                           tree.at(Main).end());
        EXPECT_EQ(actual, expected);
        EXPECT_EQ(tree.contains(Server), row.serverKeyKept);
    }
    EXPECT_TRUE(Reports.empty());
}

TEST_F(SettingsStoreTest, WrongTypedVersionIsReportedAndWipesNothing)
{
    TMemoryRegistry registry({{Main, {{"Version", std::string("84")}, {"Alpha", 7}}}});
    TSettingsStore store = Open(registry);
    EXPECT_EQ(Reports, std::vector<std::string>{"Invalid data type for 'Version'"});
    EXPECT_EQ(store.ReadStartup().Alpha, 7);
    EXPECT_EQ(*Value(registry, Main, "Version"), TRegistryValue(84));
}

TEST_F(SettingsStoreTest, FailedResetOfAnOldKeyIsReportedAndStartUpGoesOn)
{
    TMemoryRegistry registry({{Main, {{"Version", 70}, {"Alpha", 7}}}});
    registry.FailWrites = true;
    TSettingsStore store = Open(registry);
    ASSERT_FALSE(Reports.empty());
    EXPECT_EQ(store.ReadStartup().Alpha, 7);
}

TEST_F(SettingsStoreTest, UpToDateKeyIsOpenedWithoutWriting)
{
    TMemoryRegistry registry({{Main, {{"Version", 84}, {"LongestUptime", Bytes(8, 0)}}}});
    registry.FailWrites = true;
    Open(registry).ReadStartup();
    EXPECT_TRUE(Reports.empty());
}

TEST_F(SettingsStoreTest, FirstRunDefaults)
{
    TMemoryRegistry registry;
    const TStoredSettings s = Open(registry).ReadStartup();
    EXPECT_EQ(s.Alpha, 255);
    EXPECT_FALSE(s.AlwaysOnTop);
    EXPECT_FALSE(s.Transparent);
    EXPECT_FALSE(s.Font);
    EXPECT_EQ(s.X, 719);
    EXPECT_EQ(s.Y, 25);
    EXPECT_EQ(s.UptimeFormat, "*d* days, *H* hrs, *M* mins, *S* secs");
    EXPECT_EQ(s.ExcludeText, "");
    EXPECT_EQ(s.Align, 0);
    EXPECT_EQ(s.ServPort, 6130);
    EXPECT_FALSE(s.Server);
    EXPECT_FALSE(s.FormatString);
    EXPECT_FALSE(s.DisplayProcInTray);
    EXPECT_FALSE(s.PinToDesktop);
    EXPECT_FALSE(s.ClickThrough);
    EXPECT_FALSE(s.Width);
    EXPECT_FALSE(s.Height);
    EXPECT_EQ(s.Interval, 1000);
    EXPECT_FALSE(s.Password);
    EXPECT_EQ(s.DriveMap, "C=/");
    EXPECT_TRUE(Reports.empty());
}

TEST_F(SettingsStoreTest, StoredValuesAreRead)
{
    TMemoryRegistry registry({{Main,
                               {{"Version", 84},
                                {"Alpha", 128},
                                {"AOT", 5},
                                {"Trans", 0},
                                {"FontName", "Mono"},
                                {"FontColor", 0xffffff},
                                {"FontSize", 11},
                                {"FontStyle", Bytes{3}},
                                {"X", -10},
                                {"Y", 2000},
                                {"UTstr", "*d*d"},
                                {"Exclude", "a.exe,b"},
                                {"Align", 257},
                                {"ServPort", 7000},
                                {"Server", 1},
                                {"FormatString", "x\r\ny"},
                                {"DisplayProcInTray", 1},
                                {"PinToDesktop", 0},
                                {"ClickThrough", 1},
                                {"W", 300},
                                {"H", 100},
                                {"Interval", 0},
                                {"Password", "pw"},
                                {"DriveMap", "C=/;D=/home"}}}});
    const TStoredSettings s = Open(registry).ReadStartup();
    EXPECT_EQ(s.Alpha, 128);
    EXPECT_EQ(s.AlwaysOnTop, true);
    EXPECT_EQ(s.Transparent, false);
    ASSERT_TRUE(s.Font);
    EXPECT_EQ(s.Font->Name, "Mono");
    EXPECT_EQ(s.Font->Color, 0xffffff);
    EXPECT_EQ(s.Font->Size, 11);
    EXPECT_EQ(s.Font->Pitch, std::nullopt);
    EXPECT_EQ(s.Font->Style, 3);
    EXPECT_EQ(s.X, -10);
    EXPECT_EQ(s.Y, 2000);
    EXPECT_EQ(s.UptimeFormat, "*d*d");
    EXPECT_EQ(s.ExcludeText, "a.exe,b");
    EXPECT_EQ(s.Align, 257);
    EXPECT_EQ(s.ServPort, 7000);
    EXPECT_TRUE(s.Server);
    EXPECT_EQ(s.FormatString, "x\r\ny");
    EXPECT_EQ(s.DisplayProcInTray, true);
    EXPECT_EQ(s.PinToDesktop, false);
    EXPECT_EQ(s.ClickThrough, true);
    EXPECT_EQ(s.Width, 300);
    EXPECT_EQ(s.Height, 100);
    EXPECT_EQ(s.Interval, 0);
    EXPECT_EQ(s.Password, "pw");
    EXPECT_EQ(s.DriveMap, "C=/;D=/home");
    EXPECT_TRUE(Reports.empty());
}

TEST_F(SettingsStoreTest, FontPartsNeedTheFontName)
{
    TMemoryRegistry registry({{Main, {{"Version", 84}, {"FontColor", 5}, {"FontSize", 9}}}});
    EXPECT_FALSE(Open(registry).ReadStartup().Font);
}

TEST_F(SettingsStoreTest, WrongTypedValuesAreReportedInStartOrderAndDefaulted)
{
    const std::vector<std::string> integers = {"Alpha", "FontColor", "FontSize", "FontPitch",
                                               "X",     "Y",         "Align",    "ServPort",
                                               "W",     "H",         "Interval"};
    const std::vector<std::string> booleans = {
        "AOT", "Trans", "Server", "DisplayProcInTray", "PinToDesktop", "ClickThrough"};
    const std::vector<std::string> texts = {"UTstr", "Exclude", "FormatString", "Password",
                                            "DriveMap"};
    TRegistryTree tree{{Main, {{"Version", 84}, {"FontName", "Mono"}, {"FontStyle", 1}}}};
    for (const auto& name : integers) {
        tree[Main][name] = std::string("text");
    }
    for (const auto& name : booleans) {
        tree[Main][name] = Bytes{1};
    }
    for (const auto& name : texts) {
        tree[Main][name] = 1;
    }
    TMemoryRegistry registry(tree);
    const TStoredSettings s = Open(registry).ReadStartup();

    std::vector<std::string> expected;
    for (const char* name : {"Alpha",
                             "AOT",
                             "Trans",
                             "FontColor",
                             "FontSize",
                             "FontPitch",
                             "FontStyle",
                             "X",
                             "Y",
                             "UTstr",
                             "Exclude",
                             "Align",
                             "ServPort",
                             "Server",
                             "FormatString",
                             "DisplayProcInTray",
                             "PinToDesktop",
                             "ClickThrough",
                             "W",
                             "H",
                             "Interval",
                             "Password",
                             "DriveMap"}) {
        expected.push_back("Invalid data type for '" + std::string(name) + "'");
    }
    EXPECT_EQ(Reports, expected);
    const TStoredSettings defaults;
    EXPECT_EQ(s.Alpha, defaults.Alpha);
    EXPECT_EQ(s.X, defaults.X);
    EXPECT_EQ(s.UptimeFormat, defaults.UptimeFormat);
    EXPECT_EQ(s.Interval, 1000);
    EXPECT_EQ(s.DriveMap, "C=/");
    ASSERT_TRUE(s.Font);
    EXPECT_EQ(s.Font->Name, "Mono");
    EXPECT_FALSE(s.Font->Color);
    EXPECT_FALSE(s.Font->Style);
}

TEST_F(SettingsStoreTest, ClientModeUsesThePerServerKey)
{
    struct Row
    {
        const char* name;
        std::string host;
        std::uint16_t port;
        std::string key;
    };
    const Row rows[] = {
        {"address", "10.11.12.13", 6130, Main + "\\10.11.12.13:6130"},
        {"host typed in capitals", "MyHost.LAN", 7000, Main + "\\myhost.lan:7000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMemoryRegistry registry({{Main, {{"Version", 84}, {"Interval", 500}, {"Server", 1}}},
                                  {row.key, {{"Server", 1}}}});
        TSettingsStore store = Open(registry, Client(row.host, row.port));
        EXPECT_EQ(store.KeyPath(), row.key);
        const TStoredSettings s = store.ReadStartup();
        EXPECT_EQ(s.Interval, 2000) << "the main key's interval is not the client's";
        EXPECT_FALSE(s.Server) << "a client does not read Server";
        store.WriteAlpha(10);
        EXPECT_EQ(*Value(registry, row.key, "Alpha"), TRegistryValue(10));
        EXPECT_EQ(Value(registry, row.key, "Version"), nullptr);
        EXPECT_EQ(Value(registry, Main, "Alpha"), nullptr);
    }
}

TEST_F(SettingsStoreTest, ANewClientWindowLearnsTheLocalWindowsBox)
{
    struct Row
    {
        const char* name;
        TClientSwitches switches;
        TRegistryValues client;
        std::optional<std::int32_t> left;
        std::optional<std::int32_t> width;
    };
    const Row rows[] = {
        {"new client window", Client("10.0.0.1", 6130), {}, 100, 300},
        {"client window with a place of its own", Client("10.0.0.1", 6130), {{"X", 5}}, {}, {}},
        {"the local window itself", Local(), {}, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMemoryRegistry registry(
            {{Main, {{"Version", 84}, {"X", 100}, {"Y", 50}, {"W", 300}}}, {Server, row.client}});
        TSettingsStore store = Open(registry, row.switches);
        const TStoredSettings s = store.ReadStartup();
        ASSERT_EQ(s.LocalWindow.has_value(), row.left.has_value());
        if (s.LocalWindow) {
            EXPECT_EQ(s.LocalWindow->Left, *row.left);
            EXPECT_EQ(s.LocalWindow->Top, 50);
            EXPECT_EQ(s.LocalWindow->Width, row.width);
            EXPECT_EQ(s.LocalWindow->Height, std::nullopt);
        }
        store.WriteAlpha(10);
        EXPECT_NE(Value(registry, row.switches.ClientMode ? Server : Main, "Alpha"), nullptr)
            << "the key in use is the same after the look";
    }
}

TEST_F(SettingsStoreTest, LabelPositionNeedsBothValues)
{
    TMemoryRegistry registry({{Main,
                               {{"Version", 84},
                                {"XVal_FormatLabel0", 5},
                                {"YVal_FormatLabel0", 6},
                                {"XVal_FormatLabel1", 7}}}});
    TSettingsStore store = Open(registry);
    const auto placed = store.ReadLabelPosition("FormatLabel0");
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->Left, 5);
    EXPECT_EQ(placed->Top, 6);
    EXPECT_FALSE(store.ReadLabelPosition("FormatLabel1"));
    EXPECT_FALSE(store.ReadLabelPosition("FormatLabel2"));
}

TEST_F(SettingsStoreTest, ExitSavesWindowAndRecords)
{
    struct Row
    {
        const char* name;
        bool autoSize;
        std::optional<std::int32_t> w;
        std::optional<std::int32_t> h;
        bool placeKnown;
        std::int32_t x;
        std::int32_t y;
    };
    const Row rows[] = {
        {"manual size is written", false, 320, 240, true, 40, 50},
        {"automatic size deletes W and H", true, std::nullopt, std::nullopt, true, 40, 50},
        {"a place the compositor chose keeps the stored one", false, 320, 240, false, 7, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMemoryRegistry registry(
            {{Main, {{"Version", 84}, {"W", 1}, {"H", 2}, {"X", 7}, {"Y", 8}}}});
        TSettingsStore store = Open(registry);
        TExitState state;
        state.Window = TWindowPlacement{
            {{"FormatLabel2", 11, 12}}, row.autoSize, 320, 240, 40, 50, row.placeKnown};
        state.LastUptimeSecs = 1234;
        store.SaveOnExit(state);
        const auto& values = registry.Tree().at(Main);
        const auto integer = [&](const char* name) -> std::optional<std::int32_t> {
            const auto it = values.find(name);
            return it == values.end() ? std::nullopt
                                      : std::optional(std::get<std::int32_t>(it->second));
        };
        EXPECT_EQ(integer("XVal_FormatLabel2"), 11);
        EXPECT_EQ(integer("YVal_FormatLabel2"), 12);
        EXPECT_EQ(integer("W"), row.w);
        EXPECT_EQ(integer("H"), row.h);
        EXPECT_EQ(integer("X"), row.x);
        EXPECT_EQ(integer("Y"), row.y);
        EXPECT_EQ(integer("UptimeCount"), 1);
        EXPECT_EQ(std::get<Bytes>(values.at("TotalUptime")), EncodeInt64(1234));
        EXPECT_EQ(std::get<Bytes>(values.at("LongestUptime")), EncodeInt64(1234));
        EXPECT_TRUE(store.Registry().CurrentPath().empty()) << "the key is closed at exit";
    }
}

TEST_F(SettingsStoreTest, ConsoleExitSavesOnlyTheRecords)
{
    TMemoryRegistry registry({{Main, {{"Version", 84}, {"X", 1}, {"W", 2}}}});
    TSettingsStore store = Open(registry);
    store.SaveOnExit({false, std::nullopt, 60});
    EXPECT_EQ(*Value(registry, Main, "X"), TRegistryValue(1));
    EXPECT_EQ(*Value(registry, Main, "W"), TRegistryValue(2));
    EXPECT_EQ(*Value(registry, Main, "UptimeCount"), TRegistryValue(1));
}

TEST_F(SettingsStoreTest, WipeDeletesOnlyTheKeyInUse)
{
    struct Row
    {
        const char* name;
        TClientSwitches client;
        bool mainKept;
        bool otherServerKept;
    };
    const Row rows[] = {
        {"local copy wipes the main key with its subkeys", Local(), false, false},
        {"client wipes only its server's key", Client("10.0.0.1", 6130), true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMemoryRegistry registry(
            {{Main, {{"Version", 84}, {"Alpha", 9}}}, {Server, {{"X", 1}}}, {OtherServer, {}}});
        TSettingsStore store = Open(registry, row.client);
        TExitState state;
        state.WipeSettings = true;
        state.Window = TWindowPlacement{};
        state.LastUptimeSecs = 99;
        store.SaveOnExit(state);
        const auto& tree = registry.Tree();
        EXPECT_FALSE(tree.contains(Server));
        EXPECT_EQ(tree.contains(Main), row.mainKept);
        EXPECT_EQ(tree.contains(OtherServer), row.otherServerKept);
        if (row.mainKept) {
            EXPECT_EQ(Value(registry, Main, "UptimeCount"), nullptr) << "nothing is saved";
            EXPECT_EQ(*Value(registry, Main, "Alpha"), TRegistryValue(9));
        }
    }
}

TEST_F(SettingsStoreTest, FailedWritesAreReportedAndExitGoesOn)
{
    TMemoryRegistry registry({{Main, {{"Version", 84}}}});
    TSettingsStore store = Open(registry);
    registry.FailWrites = true;
    EXPECT_THROW(store.WriteAlpha(3), platform::TRegistryError);
    TExitState state;
    state.Window = TWindowPlacement{{}, false, 1, 2, 3, 4};
    store.SaveOnExit(state);
    EXPECT_EQ(Reports, std::vector<std::string>{"Failed to save the settings (writes refused)"});
    EXPECT_TRUE(store.Registry().CurrentPath().empty());
}

TEST_F(SettingsStoreTest, SettersWriteAtOnce)
{
    TMemoryRegistry registry;
    TSettingsStore store = Open(registry);
    store.WriteFont({"Mono", 1, 2, std::nullopt, std::uint8_t{5}});
    store.WriteServer(7000, true);
    store.WriteFormatString("a\r\nb");
    store.WriteInterval(250);
    store.WriteExclude("x,y");
    TSettingsStore reopened = Open(registry);
    const TStoredSettings s = reopened.ReadStartup();
    ASSERT_TRUE(s.Font);
    EXPECT_EQ(s.Font->Color, 1);
    EXPECT_EQ(s.Font->Size, 2);
    EXPECT_EQ(s.Font->Pitch, std::nullopt);
    EXPECT_EQ(s.Font->Style, 5);
    EXPECT_EQ(s.ServPort, 7000);
    EXPECT_TRUE(s.Server);
    EXPECT_EQ(s.FormatString, "a\r\nb");
    EXPECT_EQ(s.Interval, 250);
    EXPECT_EQ(reopened.ReadExclude(), "x,y");
}

TEST_F(SettingsStoreTest, TextOutlineOutOfRangeReadsAsNone)
{
    struct TCase
    {
        const char* name;
        std::optional<TRegistryValue> stored;
        std::int32_t read;
        std::size_t reports;
    };
    const TCase cases[] = {
        {"missing", std::nullopt, 0, 0},
        {"outline", TRegistryValue(std::int32_t{1}), 1, 0},
        {"shadow", TRegistryValue(std::int32_t{2}), 2, 0},
        {"too large", TRegistryValue(std::int32_t{3}), 0, 0},
        {"negative", TRegistryValue(std::int32_t{-1}), 0, 0},
        {"text", TRegistryValue(std::string("1")), 0, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reports.clear();
        // No "FontName": the outline is read on its own.
        TRegistryTree tree{{Main, {{"Version", 84}}}};
        if (c.stored) {
            tree[Main]["TextOutline"] = *c.stored;
        }
        TMemoryRegistry registry(tree);
        EXPECT_EQ(Open(registry).ReadStartup().TextOutline, c.read);
        EXPECT_EQ(Reports.size(), c.reports);
    }
    TMemoryRegistry registry;
    TFontSettings font;
    font.Name = "Mono";
    font.Outline = 2;
    Open(registry).WriteFont(font);
    EXPECT_EQ(Open(registry).ReadStartup().TextOutline, 2);
}

TEST(SettingsStore, TemplateIsTheStoredOne)
{
    TStoredSettings settings;
    settings.FormatString = "mine";
    EXPECT_EQ(TemplateTextOf(settings, TFormatterList{}), "mine");
}

TEST_F(SettingsStoreTest, ServerHostMustNameOneKey)
{
    struct Row
    {
        const char* name;
        std::string host;
        bool valid;
    };
    const Row rows[] = {
        {"address", "10.0.0.1", true},
        {"IPv6 literal", "::1", true},
        {"longest that fits a key name with its port", std::string(249, 'h'), true},
        {"one character more", std::string(250, 'h'), false},
        {"empty", "", false},
        {"backslash would nest keys", "a\\b", false},
        {"terminal escape", "a\x1b]0;x", false},
        {"line break", "a\nb", false},
        {"DEL", "a\x7f", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsValidServerHost(row.host), row.valid);
        EXPECT_EQ(PerServerKeyPath(row.host, 6130).has_value(), row.valid);
        if (row.valid) {
            continue;
        }
        const TRegistryTree before{{Main, {{"Version", 84}, {"Alpha", 9}}}};
        TMemoryRegistry registry(before);
        Reports.clear();
        TSettingsStore store = Open(registry, Client(row.host, 6130));
        EXPECT_EQ(Reports.size(), 1u);
        EXPECT_THROW(store.WriteAlpha(1), platform::TRegistryError);
        store.SaveOnExit({true, std::nullopt, 5});
        EXPECT_EQ(registry.Tree(), before) << "no key made, and the wipe spares the main key";
    }
}

} // namespace
} // namespace statlume
