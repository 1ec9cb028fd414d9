#include <algorithm>
#include <map>

#include "format/template_cap.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>

#include "display_rig.h"

namespace statlume::testing {
namespace {

using Values = platform::TRegistryValues;

TEST_F(DisplayRig, CheckStatesComeFromTheSettings)
{
    struct TCase
    {
        const char* name;
        Values stored;
        bool on;
    };
    const TCase cases[] = {
        {"first run", {}, false},
        {"all stored on",
         {{"AOT", std::int32_t{1}},
          {"Trans", std::int32_t{1}},
          {"PinToDesktop", std::int32_t{1}},
          {"DisplayProcInTray", std::int32_t{1}},
          {"Align", std::int32_t{1}}},
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Start(c.stored);
        for (const char* name : {"AlwaysOnTop1", "Transparent1", "PinToDesktop",
                                 "DisplayProcessorUsageinIcon1", "Right1"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(Item(name)->isChecked(), c.on);
        }
        EXPECT_EQ(Item("Left1")->isChecked(), !c.on);
        EXPECT_FALSE(Item("LockPosition1")->isChecked());
        EXPECT_FALSE(Item("WipeRegistrySettings1")->isChecked());
        EXPECT_EQ(Window->Tray().IconMode(), c.on ? 2 : 0);
        EXPECT_EQ(bool(Window->windowFlags() & Qt::WindowStaysOnTopHint), c.on);
    }
}

TEST_F(DisplayRig, PromptsAcceptCancelAndIgnoreBadInput)
{
    struct TCase
    {
        const char* name;
        const char* item;
        std::deque<std::optional<std::string>> answers;
        const char* firstCaption;
        const char* initial;
        const char* value;
        std::optional<platform::TRegistryValue> stored;
        bool errorShown;
    };
    const TCase cases[] = {
        {"interval trimmed",
         "UpdateInterval1",
         {" 250\t"},
         "Update Interval",
         "1000",
         "Interval",
         std::int32_t{250},
         false},
        {"interval cancel",
         "UpdateInterval1",
         {std::nullopt},
         "Update Interval",
         "1000",
         "Interval",
         std::nullopt,
         false},
        {"interval decimal point",
         "UpdateInterval1",
         {"2.5"},
         "Update Interval",
         "1000",
         "Interval",
         std::nullopt,
         false},
        {"interval minus",
         "UpdateInterval1",
         {"-5"},
         "Update Interval",
         "1000",
         "Interval",
         std::nullopt,
         false},
        {"interval too large",
         "UpdateInterval1",
         {"99999999999"},
         "Update Interval",
         "1000",
         "Interval",
         std::nullopt,
         true},
        {"alpha",
         "DegreeofTransparency1",
         {"128"},
         "Alpha Transparency",
         "255",
         "Alpha",
         std::int32_t{128},
         false},
        {"alpha above 255 is opaque",
         "DegreeofTransparency1",
         {"300"},
         "Alpha Transparency",
         "255",
         "Alpha",
         std::int32_t{255},
         false},
        {"alpha empty",
         "DegreeofTransparency1",
         {""},
         "Alpha Transparency",
         "255",
         "Alpha",
         std::nullopt,
         false},
        {"exclude as typed",
         "ExcludeProcessfromPercentage1",
         {" foo, bar"},
         "Comma-separated processes to exclude from percentage counter",
         "",
         "Exclude",
         std::string(" foo, bar"),
         false},
        {"exclude cancel",
         "ExcludeProcessfromPercentage1",
         {std::nullopt},
         "Comma-separated processes to exclude from percentage counter",
         "",
         "Exclude",
         std::nullopt,
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Start();
        Prompts.Asked.clear();
        Prompts.Kinds.clear();
        Prompts.TextAnswers = c.answers;
        Item(c.item)->trigger();
        ASSERT_FALSE(Prompts.Asked.empty());
        EXPECT_EQ(Prompts.Asked[0].Caption, c.firstCaption);
        EXPECT_EQ(Prompts.Asked[0].Initial, c.initial);
        for (const TAsked& asked : Prompts.Asked) {
            EXPECT_FALSE(asked.TimerActive) << asked.Caption;
        }
        EXPECT_EQ(Stored(c.value), c.stored);
        EXPECT_EQ(Prompts.Kinds.size(), c.errorShown ? 1u : 0u);
        EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
    }
    EXPECT_EQ(Window->Collector().ExcludeText(), "");
}

TEST_F(DisplayRig, SizePromptsAndExitSaveTheRealWindowState)
{
    Start({{"FormatString", std::string("one\r\ntwo\r\nthree")},
           {"XVal_FormatLabel2", std::int32_t{40}},
           {"YVal_FormatLabel2", std::int32_t{50}},
           {"XVal_FormatLabel0", std::int32_t{9}}});
    ASSERT_EQ(Window->Labels().size(), 3u);
    TFmtLabel& first = *Window->Labels()[0];
    EXPECT_EQ(first.Tag, 0) << "XVal_ without YVal_ flows";
    EXPECT_EQ(first.pos(), QPoint(1, 2));
    EXPECT_EQ(Window->Labels()[2]->pos(), QPoint(40, 50));

    // Width cancelled, height confirmed: the height changes and the size is manual.
    Prompts.TextAnswers = {std::nullopt, "77"};
    Item("SetFormWidth1")->trigger();
    EXPECT_EQ(Window->height(), 77);
    EXPECT_FALSE(Window->AutoSizeWindow);
    EXPECT_EQ(Prompts.Asked.at(1).Caption, "Form Height");

    // A label dragged with the left button becomes placed, keeping the point it was grabbed by.
    TFmtLabel& second = *Window->Labels()[1];
    const QPointF inside(5, 3);
    QMouseEvent press(QEvent::MouseButtonPress, inside, second.mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&second, &press);
    const QPointF target = second.mapFromParent(QPointF(30, 33));
    QMouseEvent move(QEvent::MouseMove, target, second.mapToGlobal(target), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&second, &move);
    EXPECT_EQ(second.Tag, 1);
    EXPECT_EQ(second.pos(), QPoint(25, 30));

    Window->move(300, 200);
    Item("Exit1")->trigger();
    EXPECT_EQ(Stored("XVal_FormatLabel1"), platform::TRegistryValue(std::int32_t{25}));
    EXPECT_EQ(Stored("YVal_FormatLabel1"), platform::TRegistryValue(std::int32_t{30}));
    EXPECT_EQ(Stored("XVal_FormatLabel2"), platform::TRegistryValue(std::int32_t{40}));
    EXPECT_EQ(Stored("YVal_FormatLabel0"), std::nullopt);
    EXPECT_EQ(Stored("X"), platform::TRegistryValue(std::int32_t{300}));
    EXPECT_EQ(Stored("Y"), platform::TRegistryValue(std::int32_t{200}));
    EXPECT_EQ(Stored("W"), platform::TRegistryValue(std::int32_t{Window->width()}));
    EXPECT_EQ(Stored("H"), platform::TRegistryValue(std::int32_t{77}));
    EXPECT_EQ(Stored("UptimeCount"), platform::TRegistryValue(std::int32_t{1}));
    EXPECT_FALSE(Window->UpdateTimer().Timer().isActive());
    Window->close();
    EXPECT_EQ(Quits, 1) << "the Exit command runs once";
}

TEST_F(DisplayRig, ExitThenStartKeepsTheLayoutExactly)
{
    struct Row
    {
        const char* name;
        std::int32_t align;
        std::optional<std::int32_t> size; // W = H * 3 when set
        std::int32_t left;
        std::int32_t top;
        /// The stored place is kept from the first start on; else it is mended once.
        bool keptAsStored;
    };
    const Row rows[] = {
        {"left, automatic size", 0, std::nullopt, 21, 40, true},
        {"right, automatic size", 1, std::nullopt, 21, 40, true},
        {"left, manual size", 0, 100, 21, 40, true},
        {"right, manual size", 1, 100, 21, 40, true},
        {"right, manual size, stored outside", 1, 100, -514, 400, false},
        {"left, automatic size, stored above", 0, std::nullopt, 30, -7, false},
    };
    const std::vector<std::string> layoutValues = {
        "XVal_FormatLabel1", "YVal_FormatLabel1", "W", "H", "X", "Y"};
    const auto layoutOf = [&](const platform::TRegistryValues& values) {
        std::vector<std::optional<platform::TRegistryValue>> out;
        for (const std::string& name : layoutValues) {
            const auto found = values.find(name);
            out.push_back(found == values.end() ? std::nullopt : std::optional(found->second));
        }
        return out;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform::TRegistryValues values{
            {"FormatString",
             std::string("Procs 145 Threads 223\r\nProcs 145 Threads 223 more\r\nx")},
            {"Align", row.align},
            {"X", std::int32_t{100}},
            {"Y", std::int32_t{80}},
            {"XVal_FormatLabel1", row.left},
            {"YVal_FormatLabel1", row.top}};
        if (row.size) {
            values["W"] = *row.size * 3;
            values["H"] = *row.size;
        }
        const auto stored = layoutOf(values);
        std::optional<std::vector<std::optional<platform::TRegistryValue>>> previous;
        for (int run = 0; run < 5; ++run) {
            SCOPED_TRACE("start " + std::to_string(run + 1));
            Start(values);
            const QRect inside = Window->rect();
            for (const TFmtLabel* label : Window->Labels()) {
                EXPECT_TRUE(inside.contains(label->geometry()))
                    << label->objectName().toStdString() << " at " << label->x() << ","
                    << label->y() << " in " << inside.width() << "x" << inside.height();
                if (label->Tag == 0 && row.align == 1) {
                    EXPECT_EQ(label->x() + label->width(), Window->width() - 2);
                }
            }
            Item("Exit1")->trigger();
            values = Registry->Tree().at("Software\\Quorvale\\Statlume");
            const auto now = layoutOf(values);
            if (row.keptAsStored) {
                EXPECT_EQ(now, stored);
            }
            if (previous) {
                EXPECT_EQ(now, *previous);
            }
            previous = now;
        }
    }
}

TEST_F(DisplayRig, ResetLabelPositionsLetsEveryLabelFlowAgain)
{
    Start({{"FormatString", std::string("one\r\ntwo")},
           {"XVal_FormatLabel1", std::int32_t{40}},
           {"YVal_FormatLabel1", std::int32_t{50}},
           {"XVal_FormatLabel7", std::int32_t{1}},
           {"YVal_FormatLabel7", std::int32_t{1}}});
    TFmtLabel& second = *Window->Labels()[1];
    ASSERT_EQ(second.Tag, 1);
    Window->ResetLabelPositions();
    EXPECT_EQ(second.Tag, 0);
    EXPECT_EQ(second.pos(), QPoint(1, Window->Labels()[0]->height() + 4));
    for (const char* name :
         {"XVal_FormatLabel1", "YVal_FormatLabel1", "XVal_FormatLabel7", "YVal_FormatLabel7"}) {
        EXPECT_EQ(Stored(name), std::nullopt) << name;
    }
    Item("Exit1")->trigger();
    EXPECT_EQ(Stored("XVal_FormatLabel1"), std::nullopt);
}

TEST_F(DisplayRig, WipeOnExitRemovesTheKeyAndSavesNothing)
{
    Start({{"Alpha", std::int32_t{100}}});
    Item("WipeRegistrySettings1")->trigger();
    Item("Exit1")->trigger();
    EXPECT_FALSE(Registry->Tree().contains("Software\\Quorvale\\Statlume"));
    EXPECT_EQ(Quits, 1);
}

TEST_F(DisplayRig, LabelsShowPlainTextAndAmpersandsAsWritten)
{
    Start({{"FormatString", std::string("<b>x</b>&amp;\r\n&x\r\nA&&B")}});
    const auto* markup = Window->findChild<TFmtLabel*>("FormatLabel0");
    const auto* prefix = Window->findChild<TFmtLabel*>("FormatLabel1");
    const auto* doubled = Window->findChild<TFmtLabel*>("FormatLabel2");
    ASSERT_TRUE(markup && prefix && doubled);
    EXPECT_EQ(markup->text(), "<b>x</b>&amp;");
    EXPECT_EQ(markup->textFormat(), Qt::PlainText);
    const QFontMetrics metrics(prefix->font());
    // Room for every "&": none is taken as an accelerator prefix.
    EXPECT_GE(prefix->width(), metrics.horizontalAdvance("&x"));
    EXPECT_GE(doubled->width(), metrics.horizontalAdvance("A&&B"));
    // Labels are laid out after their first render, and the window follows them.
    EXPECT_EQ(Window->width(), markup->width() + 4 + 2);
}

TEST_F(DisplayRig, RightAlignedLabelKeepsItsRightEdge)
{
    Start({{"FormatString", std::string("<NAME=Processes>")}, {"Align", std::int32_t{1}}});
    TFmtLabel& label = *Window->Labels()[0];
    const int right = label.x() + label.width();
    EXPECT_EQ(right, Window->width() - 2);
    Perf.Push("2", platform::SystemBlock(60'000'000, 10'000'000, 10'000'000, 12345, 4567));
    Window->Timer1Timer();
    EXPECT_EQ(label.text(), "12345");
    EXPECT_EQ(label.x() + label.width(), right);
}

TEST_F(DisplayRig, TrayModesAndProcessorFigure)
{
    Start({{"FormatString", std::string("no processor tag")}});
    Window->Shell().Data.ProcUsage[0] = 5;
    Item("DisplayProcessorUsageinIcon1")->trigger();
    EXPECT_EQ(Window->Tray().IconMode(), 2);
    EXPECT_EQ(Window->Tray().FigureText(), "05");
    EXPECT_TRUE(FamilyOf(Window->FormatterList(), TFamily::Proc).Active);
    EXPECT_EQ(Stored("DisplayProcInTray"), platform::TRegistryValue(std::int32_t{1}));
    const qint64 fivePercent = Window->Tray().Icon().icon().cacheKey();
    Window->Shell().Data.ProcUsage[0] = 100;
    Window->RenderLabels();
    EXPECT_EQ(Window->Tray().FigureText(), "100");
    // A figure seen before is not drawn again: icons do not pile up over hours of ticks.
    Window->Shell().Data.ProcUsage[0] = 5;
    Window->RenderLabels();
    Window->RenderLabels();
    EXPECT_EQ(Window->Tray().Icon().icon().cacheKey(), fivePercent);
    EXPECT_EQ(FiguresDrawn, 2);
    Item("DisplayProcessorUsageinIcon1")->trigger();
    EXPECT_EQ(Window->Tray().IconMode(), 0);
}

TEST_F(DisplayRig, CommandsRunWithTheTimerOffAndRestoreIt)
{
    Start();
    FontDialog = [](TFontChoice& choice, const auto& onApply) {
        TFontChoice white = choice;
        white.Color = 0xFFFFFF;
        onApply(white);
        return false;
    };
    Item("Font1")->trigger();
    EXPECT_EQ(Stored("FontName"), platform::TRegistryValue(std::string("MS Sans Serif")));
    EXPECT_NE(Window->palette().color(QPalette::Window), QColor(Qt::black)) << "cancel restores";
    const int plainHeight = Window->Labels()[0]->height();
    FontDialog = [](TFontChoice& choice, const auto&) {
        choice.Color = 0xFFFFFF;
        choice.Outline = 1;
        return true;
    };
    Item("Font1")->trigger();
    EXPECT_EQ(Stored("FontColor"), platform::TRegistryValue(std::int32_t{0xFFFFFF}));
    EXPECT_EQ(Stored("TextOutline"), platform::TRegistryValue(std::int32_t{1}));
    EXPECT_EQ(Window->Labels()[0]->height(), plainHeight + 2) << "the outline has room";
    EXPECT_EQ(Window->palette().color(QPalette::Window), QColor(Qt::black));

    Item("DisplayItems1")->trigger();
    EXPECT_FALSE(OptionsTimerActive);
    Prompts.Asked.clear();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.3"));
    Item("About1")->trigger();
    QCoreApplication::setApplicationVersion(QString());
    Item("AverageUptime1")->trigger();
    Item("LongestUptime1")->trigger();
    ASSERT_EQ(Prompts.Asked.size(), 3u);
    EXPECT_EQ(Prompts.Asked[0].Caption, "Statlume internal version 84");
    EXPECT_EQ(Prompts.Asked[0].Prompt.rfind("Statlume 1.2.3\n\n", 0), 0u) << "the release too";
    EXPECT_EQ(Prompts.Asked[1].Prompt.rfind("Average Uptime:\r\n", 0), 0u);
    EXPECT_EQ(Prompts.Asked[2].Prompt.rfind("Longest Uptime for this system is:\r\n", 0), 0u);
    for (const TAsked& asked : Prompts.Asked) {
        EXPECT_FALSE(asked.TimerActive) << asked.Caption;
    }
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
}

TEST_F(DisplayRig, AlignChoicesStoreTheTagOfTheCheckedOne)
{
    struct TChoice
    {
        const char* name;
        std::int32_t align;
    };
    // The second Left1 chooses the choice already checked.
    const TChoice choices[] = {{"Right1", 1}, {"Left1", 0}, {"Left1", 0}};
    Start();
    for (const TChoice& c : choices) {
        SCOPED_TRACE(c.name);
        Item(c.name)->trigger();
        EXPECT_TRUE(Item(c.name)->isChecked());
        EXPECT_EQ(Window->TextAlign, c.align);
        EXPECT_EQ(Stored("Align"), platform::TRegistryValue(c.align));
    }
}

TEST_F(DisplayRig, OptionsDialogRebuildsAndStoresTheTemplate)
{
    Start({{"FormatString", std::string("one")}});
    RealOptions = true;
    QTimer::singleShot(0, [this] {
        auto* form = Window->findChild<QDialog*>("OptionForm");
        ASSERT_NE(form, nullptr);
        form->findChild<QPlainTextEdit*>("Memo1")->setPlainText("first\nsecond");
        form->findChild<QPushButton*>("btnPreview")->click();
        EXPECT_EQ(Window->Labels().size(), 2u);
        EXPECT_EQ(Stored("FormatString"), platform::TRegistryValue(std::string("one")));
        form->findChild<QPushButton*>("btnApply")->click();
        form->findChild<QPlainTextEdit*>("Memo1")->setPlainText("third");
        form->findChild<QPushButton*>("btnCancel")->click();
    });
    Item("DisplayItems1")->trigger();
    EXPECT_EQ(Stored("FormatString"), platform::TRegistryValue(std::string("first\r\nsecond")));
    ASSERT_EQ(Window->Labels().size(), 2u);
    EXPECT_EQ(Window->Labels()[1]->text(), "second");
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
}

TEST_F(DisplayRig, IntervalZeroIsIgnoredAndTheClockKeepsRunning)
{
    Start();
    Prompts.TextAnswers = {"000"};
    Item("UpdateInterval1")->trigger();
    EXPECT_EQ(Stored("Interval"), std::nullopt);
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
    EXPECT_EQ(Window->UpdateTimer().Timer().interval(), 1000);
    Item("DisplayItems1")->trigger();
    EXPECT_FALSE(OptionsTimerActive);
    Prompts.TextAnswers = {"500"};
    Item("UpdateInterval1")->trigger();
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
    EXPECT_EQ(Window->UpdateTimer().Timer().interval(), 500);
}

TEST_F(DisplayRig, FailingCollectionWarnsOnceAndTheWindowGoesOn)
{
    Start({{"FormatString", std::string("<NAME=ProcUsage>|<NAME=Threads>")}});
    EXPECT_EQ(Window->Labels()[0]->Caption(), "95|4567")
        << "the usage of the second sample, never the one since boot (90)";
    Perf.FailWith(5);
    Window->Timer1Timer();
    Window->Timer1Timer();
    ASSERT_EQ(Prompts.Kinds.size(), 1u) << "each problem is told once";
    EXPECT_EQ(Prompts.Kinds[0], TMessageKind::Warning);
    EXPECT_EQ(Window->Labels()[0]->Caption(), "|") << "figures that cannot be read show none";
    EXPECT_FALSE(Window->Exited());
    EXPECT_EQ(Quits, 0);
    EXPECT_TRUE(Window->UpdateTimer().Timer().isActive());
}

TEST_F(DisplayRig, BadStoredValuesGiveAUsableWindow)
{
    Start({{"Interval", std::int32_t{0}},
           {"W", std::int32_t{-40}},
           {"X", std::int32_t{-100000}},
           {"Alpha", std::int32_t{999}}});
    EXPECT_EQ(Window->UpdateTimer().Interval(), 1000);
    EXPECT_TRUE(Window->AutoSizeWindow);
    EXPECT_EQ(Window->Alpha, 255);
    EXPECT_NE(QGuiApplication::screenAt(Window->pos()), nullptr);
    EXPECT_EQ(Reports.size(), 4u);
    // Replaced in the store too, so the next start has nothing to report.
    EXPECT_EQ(Stored("Interval"), platform::TRegistryValue(1000));
    EXPECT_EQ(Stored("Alpha"), platform::TRegistryValue(255));
}

TEST_F(DisplayRig, StoredPlaceAndSizeKeepTheWholeWindowOnTheDesktop)
{
    struct TCase
    {
        const char* name;
        Values stored;
    };
    const TCase cases[] = {
        {"far off", {{"X", std::int32_t{3000}}, {"Y", std::int32_t{2000}}}},
        {"huge", {{"W", std::int32_t{16384}}, {"H", std::int32_t{16384}}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reports.clear();
        Start(c.stored);
        const QRect area = Window->screen()->availableGeometry();
        EXPECT_TRUE(area.contains(Window->geometry())) << Window->geometry().x();
        // The message names the place the window really got.
        const std::string used =
            "placed at " + std::to_string(Window->x()) + ", " + std::to_string(Window->y());
        ASSERT_FALSE(Reports.empty());
        EXPECT_NE(Reports.back().find(used), std::string::npos) << Reports.back();
    }
}

TEST_F(DisplayRig, TransparentOffIsTheFreshWindowWithoutANewNativeWindow)
{
    struct TCase
    {
        const char* name;
        Values stored;
        QColor background;
    };
    const TCase cases[] = {
        {"black text", {}, Qt::white},
        {"white text",
         {{"FontName", std::string("Sans")}, {"FontColor", std::int32_t{0xFFFFFF}}},
         Qt::black},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Values stored = c.stored;
        stored.emplace("FormatString", std::string("Statlume 123\r\nsecond line"));
        Start(stored);
        const QImage fresh = Window->grab().toImage();
        const WId native = Window->winId();
        const QPoint corner(Window->width() - 1, Window->height() - 1);
        EXPECT_EQ(fresh.pixelColor(corner), c.background);

        Item("Transparent1")->trigger();
        EXPECT_EQ(Window->grab().toImage().pixelColor(corner).alpha(), 0) << "see-through";
        Window->Timer1Timer();
        Item("Transparent1")->trigger();
        EXPECT_EQ(Window->grab().toImage(), fresh);
        EXPECT_EQ(Window->winId(), native);
    }
}

TEST_F(DisplayRig, HugeTemplateIsCutWithOneMessage)
{
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    Start({{"FormatString", text}});
    EXPECT_EQ(Window->Labels().size(), MaxTemplateLines);
    EXPECT_EQ(Window->Labels().back()->text(), "line 999");
    // One message about the cut (another may say the tall window was moved to fit).
    EXPECT_EQ(std::ranges::count_if(Reports,
                                    [](const std::string& r) {
                                        return r.find("has 3000 lines") != std::string::npos;
                                    }),
              1);
    EXPECT_TRUE(Window->screen()->availableGeometry().contains(Window->geometry()));
}

TEST_F(DisplayRig, HiddenIconComesBackOnASecondStart)
{
    Start({}, {"-hide"});
    EXPECT_FALSE(Window->Tray().Icon().isVisible()) << "-h keeps the icon away at start";
    Window->RestoreTrayIcon();
    EXPECT_TRUE(Window->Tray().Icon().isVisible());
    Item("HideIcon1")->trigger();
    EXPECT_FALSE(Window->Tray().Icon().isVisible());
    Window->RestoreTrayIcon();
    EXPECT_TRUE(Window->Tray().Icon().isVisible());
    Item("Exit1")->trigger();
    EXPECT_FALSE(Window->Tray().Icon().isVisible());
}

// The check mark is the autostart file itself: read at start, written and removed by the item.
TEST_F(DisplayRig, StartAtLoginWritesAndRemovesTheAutostartEntry)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString entry = config.filePath("autostart/statlume.desktop");
    Start();
    EXPECT_FALSE(Item("StartatLogin1")->isChecked());
    Item("StartatLogin1")->trigger();
    EXPECT_TRUE(Item("StartatLogin1")->isChecked());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(QCoreApplication::applicationFilePath().toUtf8()));
    Item("StartatLogin1")->trigger();
    EXPECT_FALSE(Item("StartatLogin1")->isChecked());
    EXPECT_FALSE(QFile::exists(entry));
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(DisplayRig, RightClickOpensTheMenuWithoutATray)
{
    Start();
    ASSERT_FALSE(Window->Tray().Shown());
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Window->mapToGlobal(QPointF(1, 1)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(Window.get(), &press);
    auto* menu = Window->findChild<QMenu*>("PopupMenu1");
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

TEST_F(DisplayRig, ClickThroughWaitsForATrayAndSaysSoOnce)
{
    struct TCase
    {
        const char* name;
        Values stored;
        /// Checked from the menu (an information box) instead of stored (stderr).
        bool fromMenu;
    };
    const TCase cases[] = {
        {"stored", {{"ClickThrough", std::int32_t{1}}}, false},
        {"checked in the menu", {}, true},
    };
    const auto notes = [this] {
        return std::count_if(Reports.begin(), Reports.end(), [](const std::string& r) {
            return r.find("Click Through waits for a tray icon") != std::string::npos;
        });
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reports.clear();
        Prompts.Kinds.clear();
        Start(c.stored);
        ASSERT_FALSE(Window->Tray().Shown());
        // A tray on the bus registers after the start: nothing is said yet.
        EXPECT_EQ(notes(), 0);
        if (c.fromMenu) {
            Item("ClickThrough1")->trigger();
        }
        EXPECT_TRUE(Item("ClickThrough1")->isChecked());
        EXPECT_EQ(Stored("ClickThrough"), platform::TRegistryValue{std::int32_t{1}});
        Window->Timer1Timer();
        Window->Timer1Timer();
        // Unchecked and checked again: the note is not given twice.
        Item("ClickThrough1")->trigger();
        EXPECT_EQ(Stored("ClickThrough"), platform::TRegistryValue{std::int32_t{0}});
        Item("ClickThrough1")->trigger();
        Window->Timer1Timer();
        EXPECT_FALSE(Window->ClickingThrough());
        EXPECT_EQ(notes(), c.fromMenu ? 0 : 1);
        EXPECT_EQ(Prompts.Kinds.size(), c.fromMenu ? 1u : 0u);
    }
}

} // namespace
} // namespace statlume::testing

namespace statlume::testing {
namespace {

TEST_F(DisplayRig, DrawsBarsInThresholdColoursAndRepaintsOnlyChanges)
{
    // "CritColor" is stored as "FontColor" is: 0x00BBGGRR, here pure blue.
    Start({{"FormatString", std::string("CPU <NAME=ProcUsage BAR=10 CRIT=50>")},
           {"CritColor", std::int32_t{0x00FF0000}}});
    TFmtLabel& label = *Window->Labels()[0];
    Window->Shell().Data.ProcUsage[0] = 80;
    Window->RenderLabels();
    EXPECT_EQ(Window->Tray().Icon().toolTip().toStdString(), "Statlume")
        << "no figures are made for a tray that is not there";
    Window->Tray().AssumeTrayAvailable();
    Window->RenderLabels();
    const QFontMetrics metrics = label.fontMetrics();
    const int cell = metrics.horizontalAdvance(QLatin1Char('0'));
    // The bar starts at its character column, or after the text when that reaches further.
    const int barLeft = std::max(metrics.horizontalAdvance(QStringLiteral("CPU ")), 4 * cell);
    EXPECT_EQ(label.width(), barLeft + 10 * cell);
    EXPECT_EQ(label.Caption(), "CPU 80");
    EXPECT_EQ(Window->Tray().Icon().toolTip().toStdString(),
              "<p style=\"white-space:pre\">Statlume</p><pre>CPU "
              "\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2591\u2591</pre>")
        << "the tray shows the first lines as text, drawings in block characters";
    const QImage image = label.grab().toImage();
    EXPECT_EQ(image.pixelColor(barLeft + 1, label.height() / 2), QColor(0, 0, 255));

    TRunLine same;
    same.Runs.resize(1);
    same.Runs[0].Text = "CPU 80";
    EXPECT_TRUE(label.SetRuns(same)) << "runs back to a plain caption";
    EXPECT_FALSE(label.SetRuns(same)) << "an unchanged line is not repainted";
    EXPECT_EQ(label.text(), "CPU 80");
}

// A graph says when the load was high: each column in the colour of its own value; a tall one
// moves the lines below; old figures fade it as they fade the text.
TEST_F(DisplayRig, GraphColumnsTakeTheirOwnColourAndFadeWhenOld)
{
    Start({{"FormatString", std::string("<NAME=ProcUsage GRAPH=2 CRIT=50 HEIGHT=3>\r\nnext")},
           {"CritColor", std::int32_t{0x00FF0000}}});
    for (const float usage : {100.0f, 0.0f}) {
        Window->Shell().Data.ProcUsage[0] = usage;
        Window->RenderLabels();
    }
    TFmtLabel& graph = *Window->Labels()[0];
    const int line = graph.fontMetrics().height();
    EXPECT_EQ(graph.height(), 3 * line);
    EXPECT_EQ(Window->Labels()[1]->y(), graph.y() + graph.height() + LayoutLineGap);
    const int cell = graph.fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const auto edge = [&](int column) {
        // The top of the full column is its line, along the top of the drawing.
        return graph.grab().toImage().pixelColor(column * cell + cell / 2, std::max(1, line / 8));
    };
    EXPECT_EQ(edge(0), QColor(0, 0, 255)) << "the critical value keeps its colour";
    EXPECT_NE(edge(1), QColor(0, 0, 255)) << "the quiet one does not take it";
    Window->ShowFiguresOld(true);
    EXPECT_NE(edge(0), QColor(0, 0, 255)) << "old figures fade";
    Window->ShowFiguresOld(false);
    EXPECT_EQ(edge(0), QColor(0, 0, 255));
}

// Where each watched object was painted since it was watched.
class TPaintLog final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Painted[watched] += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    std::map<QObject*, QRegion> Painted;
};

TEST_F(DisplayRig, RepaintsOnlyTheRunsThatChanged)
{
    Start({{"FormatString", std::string("Load <NAME=ProcUsage BAR=10> here\r\n"
                                        "Mem <NAME=RAMUsed FORMAT=\"%\" BAR=10>")}});
    Window->Shell().Data.ProcUsage[0] = 20;
    Window->RenderLabels();
    QApplication::processEvents();
    TPaintLog log;
    for (TFmtLabel* label : Window->Labels())
        label->installEventFilter(&log);

    Window->Shell().Data.ProcUsage[0] = 80;
    Window->RenderLabels();
    QApplication::processEvents();
    TFmtLabel* load = Window->Labels()[0];
    const QFontMetrics metrics = load->fontMetrics();
    const int cell = metrics.horizontalAdvance(QLatin1Char('0'));
    const QRect bar(std::max(metrics.horizontalAdvance(QStringLiteral("Load ")), 5 * cell), 0,
                    10 * cell, load->height());
    ASSERT_TRUE(log.Painted.contains(load)) << "the bar that changed is repainted";
    EXPECT_EQ(log.Painted[load].boundingRect(), bar) << "the text around it is not";
    EXPECT_FALSE(log.Painted.contains(Window->Labels()[1])) << "an unchanged line is not";
}

} // namespace
} // namespace statlume::testing
