#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "format/formatter.h"
#include "format/machine_facts.h"
#include "options/template_examples.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace statlume {

/// What the options dialog needs from the display window.
class TOptionHost
{
public:
    virtual ~TOptionHost() = default;
    /// The format registry: the six formatters in registry order.
    virtual const std::vector<std::unique_ptr<TFormatter>>& FormatterList() const = 0;
    /// The window's current template, UTF-8, lines joined with CR LF.
    virtual std::string TemplateText() const = 0;
    /// Rebuilds the labels from a template without storing it.
    virtual void BuildLabels(const std::string& text) = 0;
    /// Lays the labels out; keepRightEdge keeps the window's right edge in place.
    virtual void ArrangeLabels(bool keepRightEdge) = 0;
    /// Makes a template the window's TemplateText and writes it to "FormatString".
    virtual void StoreTemplate(const std::string& text) = 0;
    /// Removes every placed label position, stored ones included; the labels flow again.
    virtual void ResetLabelPositions() = 0;
    /// The folders example templates are listed from, first wins.
    virtual std::vector<std::filesystem::path> ExampleFolders() const = 0;
    /// What the last collection tells of this machine, for the template's problems.
    virtual TMachineFacts MachineFacts() const = 0;
    /// The drive letter map in force, as "DriveMap" holds it.
    virtual std::string DriveMapText() const = 0;
    /// Makes a drive letter map the window's and writes it to "DriveMap".
    virtual void StoreDriveMap(const std::string& text) = 0;
    /// The mounted file systems a drive letter can stand for.
    virtual std::vector<std::string> MountPoints() const = 0;
};

/// The options dialog: the item list with help texts and the template editor; it keeps no
/// template state beyond the edited text.
class TOptionForm : public QDialog
{
    Q_OBJECT

public:
    /// Builds and fills the dialog from the host's registry and TemplateText; the host must
    /// outlive the dialog.
    TOptionForm(TOptionHost& host, QWidget* owner);

    /// The edited template, UTF-8, lines joined with CR LF (no line break after the last).
    std::string EditedText() const;

protected:
    /// Escape runs Cancel; every other key is the dialog's default handling.
    void keyPressEvent(QKeyEvent* event) override;
    /// The template editor and the help text grow with the dialog.
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    /// Places the controls at their 96-dpi design places scaled to the owner's screen.
    void PlaceControls();
    /// Puts the controls at their design places, stretched to the dialog's size.
    void LayOut();
    void ConnectControls();
    void FormCreate();
    void lbFmtClick();
    void lbFmtDblClick();
    /// Loads the chosen example into the editor as one step the editor can undo; the window
    /// changes only with Preview or Apply.
    void cbExamplesChoose(int index);
    /// The edited text's problems as --check-template words them, with their columns.
    void ShowProblems();
    void btnPreviewClick();
    void btnApplyClick();
    void btnCancelClick();
    void btnOKClick();
    /// Under the help text, which gives up two button rows for them.
    void PlaceResetButton();
    /// Opens the drive letter chooser and stores what it gives.
    void btnDrivesClick();
    /// Runs one host step; an error is shown in a message box and reported as false.
    template <typename F> bool HostStep(F&& step);

    TOptionHost& Host;
    /// Screen pixels per 96-dpi design pixel.
    double Scale = 1.0;
    /// The list's row height in pixels at the screen's scale.
    int RowHeight = 0;
    std::vector<TExample> Examples;
    QLabel* Label1 = nullptr;
    QLabel* lblExamples = nullptr;
    QComboBox* cbExamples = nullptr;
    QListWidget* lbFmt = nullptr;
    QPlainTextEdit* meDesc = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    /// The edited text's problems, looked for once typing pauses.
    QPlainTextEdit* meProblems = nullptr;
    QTimer* ProblemTimer = nullptr;
    QPushButton* btnPreview = nullptr;
    QPushButton* btnApply = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnResetPositions = nullptr;
    QPushButton* btnDrives = nullptr;
};

} // namespace statlume
