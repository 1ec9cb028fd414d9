#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/locale_info.h"
#include "format/formatter.h"
#include "format/item_catalogue.h"
#include "format/template_cap.h"
#include "options/option_form.h"
#include "options/qt_test_app.h"
#include "record/raw_data_shell.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace statlume {
namespace {

/// The window's side of the dialog: records each call and stores like the window does.
class TFakeHost : public TOptionHost
{
public:
    explicit TFakeHost(std::string stored)
        : Stored(std::move(stored))
        , Formatters(CreateFormatters(Shell, Locale))
    {
    }
    const std::vector<std::unique_ptr<TFormatter>>& FormatterList() const override
    {
        return Formatters;
    }
    std::string TemplateText() const override { return Stored; }
    void BuildLabels(const std::string& text) override { Calls.push_back("Build " + text); }
    void ArrangeLabels(bool keepRightEdge) override
    {
        Calls.push_back(keepRightEdge ? "Arrange keep" : "Arrange");
    }
    void StoreTemplate(const std::string& text) override
    {
        Calls.push_back("Store " + text);
        Stored = text;
    }
    void ResetLabelPositions() override { Calls.push_back("Reset"); }
    std::vector<std::filesystem::path> ExampleFolders() const override { return Folders; }
    TMachineFacts MachineFacts() const override { return Facts; }
    std::string DriveMapText() const override { return Drives; }
    void StoreDriveMap(const std::string& text) override
    {
        Calls.push_back("Drives " + text);
        Drives = text;
    }
    std::vector<std::string> MountPoints() const override { return {"/", "/home", "/mnt/usb"}; }

    std::string Stored;
    std::string Drives = "C=/;E=/media/gone";
    std::vector<std::filesystem::path> Folders;
    TMachineFacts Facts;
    std::vector<std::string> Calls;

private:
    LocaleInfo Locale;
    TRawDataShell Shell;
    TFormatterList Formatters;
};

struct TDialogRig
{
    explicit TDialogRig(std::string stored)
        : Host(std::move(stored))
        , Form(Host, nullptr)
    {
        Form.show();
    }
    template <typename T> T& Child(const char* name)
    {
        T* child = Form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return *child;
    }
    void Select(const QString& displayName)
    {
        auto& list = Child<QListWidget>("lbFmt");
        list.setCurrentItem(list.findItems(displayName, Qt::MatchExactly).value(0));
    }

    TFakeHost Host;
    TOptionForm Form;
};

TEST(OptionForm, OpensWithTheRegistryItemsAndTheTemplate)
{
    // The no-break space must survive the editor, which exports it as a blank by default.
    TDialogRig rig("Proc %: <NAME=ProcUsage>\r\nºC\u00A0<NAME=Temp1>");
    std::vector<std::string> registry;
    for (const auto& formatter : rig.Host.FormatterList())
        formatter->ListItems(registry);
    const auto& list = rig.Child<QListWidget>("lbFmt");
    ASSERT_EQ(list.count(), static_cast<int>(ItemCount));
    EXPECT_EQ(list.item(0)->text(), "Temperature 1");
    EXPECT_EQ(list.item(23)->text(), "Drive Space");
    for (int i = 0; i < list.count(); ++i)
        EXPECT_EQ(list.item(i)->text().toStdString(), registry[static_cast<std::size_t>(i)]);
    EXPECT_TRUE(list.selectedItems().isEmpty());
    EXPECT_TRUE(rig.Child<QPlainTextEdit>("meDesc").toPlainText().isEmpty());
    EXPECT_EQ(rig.Child<QPlainTextEdit>("Memo1").blockCount(), 2);
    EXPECT_EQ(rig.Form.EditedText(), rig.Host.Stored);
    EXPECT_EQ(rig.Form.windowTitle(), "Options");
}

TEST(OptionForm, SelectingAnItemShowsItsDescription)
{
    TDialogRig rig("");
    rig.Select("System Thread Count");
    EXPECT_EQ(rig.Child<QPlainTextEdit>("meDesc").toPlainText(),
              "Total number of Threads active across the system.\n Uses SIZE.\n <NAME=Threads>."
              "\n\nDefault Usage String:\nThreads: <NAME=Threads SIZE=5>\n\nAlso takes "
              "COLOR=#RRGGBB (text colour), WARN=X and CRIT=Y (warning and critical colour at or "
              "above them).");
}

TEST(OptionForm, DoubleClickAppendsTheDefaultUsageAsANewLastLine)
{
    const std::string usage = "Threads: <NAME=Threads SIZE=5>";
    struct TCase
    {
        const char* name;
        std::string before;
        std::string after;
    };
    const TCase cases[] = {
        {"empty", "", usage},
        {"no final line break", "A\r\nB", "A\r\nB\r\n" + usage},
        {"final line break", "A\r\n", "A\r\n" + usage},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDialogRig rig(c.before);
        auto& memo = rig.Child<QPlainTextEdit>("Memo1");
        memo.moveCursor(QTextCursor::Start);
        rig.Select("System Thread Count");
        auto& list = rig.Child<QListWidget>("lbFmt");
        emit list.itemDoubleClicked(list.currentItem());
        EXPECT_EQ(rig.Form.EditedText(), c.after);
        EXPECT_TRUE(rig.Host.Calls.empty());
    }
}

TEST(OptionForm, ButtonsKeysAndCloseCallTheWindowInOrder)
{
    const std::string edited = "new º\r\nline";
    struct TCase
    {
        const char* name;
        std::vector<const char*> steps;
        std::vector<std::string> calls;
        std::string stored;
        bool open;
        QDialog::DialogCode result;
    };
    const std::string build = "Build " + edited;
    const std::string store = "Store " + edited;
    const TCase cases[] = {
        {"preview", {"btnPreview"}, {build, "Arrange keep"}, "old", true, QDialog::Rejected},
        {"apply", {"btnApply"}, {build, "Arrange keep", store}, edited, true, QDialog::Rejected},
        {"cancel", {"btnCancel"}, {"Build old", "Arrange keep"}, "old", false, QDialog::Rejected},
        {"escape", {"Escape"}, {"Build old", "Arrange keep"}, "old", false, QDialog::Rejected},
        {"ok", {"btnOK"}, {build, "Arrange keep", store}, edited, false, QDialog::Accepted},
        {"enter", {"Enter"}, {build, "Arrange keep", store}, edited, false, QDialog::Accepted},
        {"preview then close",
         {"btnPreview", "Close"},
         {build, "Arrange keep"},
         "old",
         false,
         QDialog::Rejected},
        {"reset label positions", {"btnResetPositions"}, {"Reset"}, "old", true, QDialog::Rejected},
        {"apply then cancel",
         {"btnApply", "btnCancel"},
         {build, "Arrange keep", store, build, "Arrange keep"},
         edited,
         false,
         QDialog::Rejected},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TDialogRig rig("old");
        rig.Child<QPlainTextEdit>("Memo1").setPlainText(QString::fromUtf8("new º\nline"));
        for (const std::string step : c.steps) {
            if (step == "Escape" || step == "Enter") {
                // Keys reach the dialog from the focused button, as a user's would.
                const auto key = step == "Escape" ? Qt::Key_Escape : Qt::Key_Return;
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QApplication::sendEvent(&rig.Child<QPushButton>("btnPreview"), &press);
            } else if (step == "Close") {
                rig.Form.close();
            } else {
                rig.Child<QPushButton>(step.c_str()).click();
            }
        }
        EXPECT_EQ(rig.Host.Calls, c.calls);
        EXPECT_EQ(rig.Host.Stored, c.stored);
        EXPECT_EQ(rig.Form.isVisible(), c.open);
        EXPECT_EQ(rig.Form.result(), c.result);
    }
}

TEST(OptionForm, GrowsTheEditorAndHelpWithTheDialog)
{
    TDialogRig rig("one");
    auto& memo = rig.Child<QPlainTextEdit>("Memo1");
    auto& desc = rig.Child<QPlainTextEdit>("meDesc");
    auto& ok = rig.Child<QPushButton>("btnOK");
    // Never smaller than the design, where the design places hold (96 dpi offscreen).
    rig.Form.resize(100, 100);
    EXPECT_EQ(rig.Form.size(), QSize(570, 262));
    EXPECT_EQ(memo.geometry(), QRect(184, 32, 377, 129));
    EXPECT_EQ(rig.Child<QPlainTextEdit>("meProblems").geometry(), QRect(184, 165, 377, 48));
    EXPECT_EQ(ok.geometry(), QRect(480, 224, 75, 25));
    rig.Form.resize(770, 462);
    EXPECT_EQ(memo.size(), QSize(577, 329));
    EXPECT_EQ(rig.Child<QComboBox>("cbExamples").geometry().right(), memo.geometry().right());
    // The help text gives its last two rows and gaps to the drive and reset buttons below it.
    auto& reset = rig.Child<QPushButton>("btnResetPositions");
    auto& drives = rig.Child<QPushButton>("btnDrives");
    EXPECT_EQ(desc.height(), 89 + 100 - 2 * (reset.height() + 6));
    EXPECT_GT(drives.geometry().top(), desc.geometry().bottom());
    EXPECT_GT(reset.geometry().top(), drives.geometry().bottom());
    EXPECT_EQ(ok.geometry().bottomRight(), QPoint(480 + 200 + 74, 224 + 200 + 24));
    EXPECT_EQ(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

// The chooser offers the mounted file systems and keeps a mapped one that is not mounted now.
TEST(OptionForm, DriveLettersChooseMountPointsAndStoreTheMap)
{
    TDialogRig rig("");
    QStringList offered;
    QTimer::singleShot(0, [&offered] {
        auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        auto* e = chooser->findChild<QComboBox*>("cbDriveE");
        auto* d = chooser->findChild<QComboBox*>("cbDriveD");
        ASSERT_NE(e, nullptr);
        ASSERT_NE(d, nullptr);
        offered << e->currentText();
        for (int i = 0; i < d->count(); ++i)
            offered << d->itemText(i);
        d->setCurrentIndex(d->findData(QStringLiteral("/home")));
        chooser->accept();
    });
    rig.Child<QPushButton>("btnDrives").click();
    EXPECT_EQ(offered,
              QStringList({"/media/gone (not mounted)", "(none)", "/", "/home", "/mnt/usb"}));
    EXPECT_EQ(rig.Host.Calls, std::vector<std::string>{"Drives C=/;D=/home;E=/media/gone"});
}

TEST(OptionForm, ShowsTheTemplatesProblemsOnceTypingPauses)
{
    TDialogRig rig("");
    rig.Host.Facts.ProcessorCount = 4;
    auto& memo = rig.Child<QPlainTextEdit>("Memo1");
    const auto& problems = rig.Child<QPlainTextEdit>("meProblems");
    struct TCase
    {
        const char* typed;
        const char* shown;
    };
    const TCase cases[] = {
        {"CPU <NAME=ProcUsge>", "line 1, column 5: <NAME=ProcUsge>: no such item; did you mean "
                                "ProcUsage?"},
        {"a\n<NAME=ProcUsage FORMAT=\"6\">",
         "line 2, column 1: <NAME=ProcUsage FORMAT=\"6\">: FORMAT: no processor 6 here (4 "
         "processors)"},
        {"CPU <NAME=ProcUsage>", "No problems found"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.typed);
        memo.selectAll();
        memo.insertPlainText(QString::fromUtf8(c.typed));
        EXPECT_NE(problems.toPlainText(), QString::fromUtf8(c.shown)) << "not while typing";
        QEventLoop pause;
        QTimer::singleShot(400, &pause, &QEventLoop::quit);
        pause.exec();
        EXPECT_EQ(problems.toPlainText(), QString::fromUtf8(c.shown));
    }
}

/// A fresh folder under the test's temporary folder, removed at the end.
struct TTempFolder
{
    explicit TTempFolder(const char* name)
        : Path(std::filesystem::path(::testing::TempDir()) / name)
    {
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~TTempFolder() { std::filesystem::remove_all(Path); }
    void Write(const char* name, const std::string& text) const
    {
        std::ofstream(Path / name, std::ios::binary) << text;
    }
    std::filesystem::path Path;
};

TEST(OptionForm, ExamplesLoadIntoTheEditorAndTheWindowChangesOnlyWithPreview)
{
    const TTempFolder user("examples-user");
    const TTempFolder system("examples-system");
    user.Write("bars.txt", "Mine <NAME=ProcUsage BAR=5>\n");
    system.Write("bars.txt", "System bars\n");
    system.Write("server-status.txt", "Up <NAME=Uptime>\r\nThreads\n");
    system.Write("huge.txt", std::string(MaxTemplateBytes + 1, 'x'));
    system.Write("tall.txt", std::string(MaxTemplateLines + 1, '\n'));
    system.Write("notes.md", "not a template");
    ASSERT_EQ(::mkfifo((system.Path / "pipe.txt").c_str(), 0600), 0);
    std::filesystem::create_directory(system.Path / "folder.txt");

    TDialogRig rig("old");
    rig.Form.close();
    rig.Host.Folders = {user.Path, system.Path / "missing", system.Path};
    TOptionForm form(rig.Host, nullptr);
    auto* examples = form.findChild<QComboBox*>(QStringLiteral("cbExamples"));
    auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    ASSERT_NE(examples, nullptr);
    QStringList names;
    for (int i = 0; i < examples->count(); ++i)
        names << examples->itemText(i);
    EXPECT_EQ(names, QStringList({"bars", "huge", "server status", "tall"}))
        << "the user's bars hides the system's; no FIFO, folder or other file";
    EXPECT_EQ(examples->currentIndex(), -1);

    struct Row
    {
        const char* name;
        QString choice;
        std::string edited;
        const char* refusal;
    };
    const Row rows[] = {
        {"the user's own", "bars", "Mine <NAME=ProcUsage BAR=5>", ""},
        {"line breaks as the editor's", "server status", "Up <NAME=Uptime>\r\nThreads", ""},
        {"over the byte cap", "huge", "old", "is larger than 64 KiB"},
        {"over the line cap", "tall", "old", "lines, more than the 1000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        memo->setPlainText(QStringLiteral("old"));
        QString shown;
        // Ends with the row, so it never fires into a later one.
        QTimer closer;
        closer.setSingleShot(true);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->close();
            }
        });
        closer.start(0);
        emit examples->activated(examples->findText(row.choice));
        EXPECT_EQ(form.EditedText(), row.edited);
        EXPECT_TRUE(shown.contains(QString::fromLatin1(row.refusal))) << shown.toStdString();
        EXPECT_EQ(shown.isEmpty(), *row.refusal == 0);
    }
    EXPECT_TRUE(rig.Host.Calls.empty()) << "choosing an example leaves the window alone";
    std::string message;
    EXPECT_FALSE(ReadExample(TExample{"pipe", system.Path / "pipe.txt"}, message))
        << "a FIFO put in place after the listing is refused, not waited on";
    EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
    emit examples->activated(examples->findText(QStringLiteral("bars")));
    memo->undo();
    EXPECT_EQ(form.EditedText(), "old") << "loading is one step the editor can undo";
}

} // namespace
} // namespace statlume
