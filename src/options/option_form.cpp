#include "options/option_form.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <string_view>

#include "base/ascii_case.h"
#include "format/detail_values.h"
#include "format/draw_options.h"
#include "format/item_catalogue.h"
#include "format/item_discovery.h"
#include "options/drive_map_dialog.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace statlume {

namespace {

/// Place of one control in pixels at 96 dpi at the smallest size, and the share of the size
/// beyond it (in halves) by which the control moves right and down and grows.
struct TControlPlace
{
    const char* Name;
    int Left;
    int Top;
    int Width;
    int Height;
    int MoveX;
    int MoveY;
    int GrowX;
    int GrowY;
};

/// The examples caption's column, left of the list.
constexpr int ExamplesLabelWidth = 60;

// The template editor takes the extra width and height; the item list and its help text
// share the extra height; the buttons stay in the bottom right corner. The examples list sits
// in a row above the editor and widens with it.
constexpr std::array<TControlPlace, 11> ControlPlaces{{
    {"Label1", 8, 8, 162, 13, 0, 0, 0, 0},
    {"lbFmt", 8, 24, 169, 137, 0, 0, 0, 1},
    {"meDesc", 8, 168, 169, 89, 0, 1, 0, 1},
    {"lblExamples", 184, 11, ExamplesLabelWidth, 13, 0, 0, 0, 0},
    {"cbExamples", 248, 6, 313, 21, 0, 0, 2, 0},
    {"Memo1", 184, 32, 377, 129, 0, 0, 2, 2},
    {"meProblems", 184, 165, 377, 48, 0, 2, 2, 0},
    {"btnPreview", 216, 224, 75, 25, 2, 2, 0, 0},
    {"btnApply", 304, 224, 75, 25, 2, 2, 0, 0},
    {"btnCancel", 392, 224, 75, 25, 2, 2, 0, 0},
    {"btnOK", 480, 224, 75, 25, 2, 2, 0, 0},
}};

constexpr int ClientWidth = 570;
constexpr int ClientHeight = 262;
/// The size it opens at before the user gave it one: long lines and help texts fit better.
constexpr int OpeningWidth = 760;
constexpr int OpeningHeight = 440;
constexpr int DesignLeft = 192;
constexpr int DesignTop = 107;
constexpr int ItemHeight = 13;
constexpr qreal DesignPointSize = 8;
/// Typing pauses this long before the template's problems are looked for again.
constexpr int ProblemDelayMs = 300;
/// Label1's column ends where Memo1 begins, less a small gap.
constexpr int Label1MaxWidth = 176 - 8;

/// Template line breaks (CR LF, or a lone CR or LF from elsewhere) as the editor's.
QString EditorTextOf(const std::string& text)
{
    QString editor = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    editor.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    editor.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return editor;
}

/// The raw text keeps no-break spaces, which the editor's plain-text export would turn
/// into blanks.
std::string TemplateTextOf(const QPlainTextEdit& editor)
{
    QString text = editor.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text.toStdString();
}

double ScaleOf(const QWidget* owner)
{
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}

/// The design font is a small bitmap face; a scalable sans-serif at the same size stands in.
QFont DesignFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(DesignPointSize);
    return font;
}

/// The sentence on the drawing, threshold and colour options of the item shown as
/// displayName, worded as --describe words it; empty for a name no item has.
// What follows an item's own help: what its FORMAT means beyond the laid-down reading, and
// the drawing options it takes.
std::string MoreHelpOf(std::string_view displayName)
{
    for (const TItemRow& row : ItemCatalogue()) {
        if (row.DisplayName != displayName)
            continue;
        std::string more(DetailFormatHelp(row.Item));
        if (const std::string draw = DrawOptionHelp(AsciiUpperCopy(row.TagName)); !draw.empty())
            more += (more.empty() ? "" : "\r\n\r\n") + draw;
        return more;
    }
    return {};
}

/// Shrinks a label's font until its caption fits its column, so no face draws it clipped.
void FitCaption(QLabel& label, int maxWidth)
{
    QFont font = label.font();
    while (QFontMetrics(font).horizontalAdvance(label.text()) > maxWidth && font.pointSizeF() > 6.0)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label.setFont(font);
}

} // namespace

TOptionForm::TOptionForm(TOptionHost& host, QWidget* owner)
    : QDialog(owner)
    , Host(host)
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QStringLiteral("Options"));
    setFont(DesignFont());
    CreateControls();
    PlaceControls();
    ConnectControls();
    FormCreate();
}

void TOptionForm::CreateControls()
{
    Label1 = new QLabel(QStringLiteral("Double-click item to add its default"), this);
    lbFmt = new QListWidget(this);
    lbFmt->setToolTip(QStringLiteral("Available options"));
    lbFmt->setUniformItemSizes(true);
    meDesc = new QPlainTextEdit(this);
    meDesc->setReadOnly(true);
    meDesc->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette descPalette = meDesc->palette();
    descPalette.setColor(QPalette::Base, descPalette.color(QPalette::Button));
    meDesc->setPalette(descPalette);
    lblExamples = new QLabel(QStringLiteral("&Examples:"), this);
    cbExamples = new QComboBox(this);
    cbExamples->setToolTip(QStringLiteral(
        "Example templates: the one chosen replaces the text below; Preview shows it, Cancel "
        "keeps the old settings"));
    lblExamples->setBuddy(cbExamples);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setToolTip(QStringLiteral("Your text settings"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(DesignPointSize + 1);
    Memo1->setFont(fixed);
    meProblems = new QPlainTextEdit(this);
    meProblems->setReadOnly(true);
    meProblems->setFocusPolicy(Qt::NoFocus);
    meProblems->setToolTip(QStringLiteral("What statlume-cli --check-template finds in the text"));
    meProblems->setPalette(descPalette);
    // Three lines of findings fit the design height.
    meProblems->document()->setDocumentMargin(2);
    ProblemTimer = new QTimer(this);
    ProblemTimer->setSingleShot(true);
    ProblemTimer->setInterval(ProblemDelayMs);

    btnPreview = new QPushButton(QStringLiteral("&Preview"), this);
    btnPreview->setToolTip(QStringLiteral(
        "Preview's your selection; will revert to old settings if you hit Cancel subsequently"));
    btnApply = new QPushButton(QStringLiteral("&Apply"), this);
    btnApply->setToolTip(QStringLiteral(
        "Applies your selection; will NOT revert to old settings if you hit Cancel subsequently"));
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("&Cancel"), this);
    btnCancel->setToolTip(QStringLiteral("Cancel any un-applied changes"));
    btnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("&OK"),
                            this);
    btnOK->setToolTip(QStringLiteral("Apply changes and close Options dialog"));
    btnResetPositions = new QPushButton(QStringLiteral("&Reset Label Positions"), this);
    btnResetPositions->setObjectName(QStringLiteral("btnResetPositions"));
    btnResetPositions->setToolTip(
        QStringLiteral("Lets every dragged line flow in the column again; forgets their places"));
    btnResetPositions->setAutoDefault(false);
    btnDrives = new QPushButton(QStringLiteral("Drive &Letters..."), this);
    btnDrives->setObjectName(QStringLiteral("btnDrives"));
    btnDrives->setToolTip(
        QStringLiteral("Chooses the mounted file system each letter of Drive Space shows"));
    btnDrives->setAutoDefault(false);
    // Enter belongs to OK wherever the focus is, except inside the template editor.
    for (QPushButton* button : {btnPreview, btnApply, btnCancel})
        button->setAutoDefault(false);
    btnOK->setDefault(true);
}

void TOptionForm::LayOut()
{
    const auto scaled = [this](int pixels) { return qRound(pixels * Scale); };
    const int extraX = std::max(width() - scaled(ClientWidth), 0);
    const int extraY = std::max(height() - scaled(ClientHeight), 0);
    const std::array<QWidget*, 11> controls{Label1,     lbFmt,     meDesc,     lblExamples,
                                            cbExamples, Memo1,     meProblems, btnPreview,
                                            btnApply,   btnCancel, btnOK};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const TControlPlace& place = ControlPlaces[i];
        controls[i]->setGeometry(scaled(place.Left) + extraX * place.MoveX / 2,
                                 scaled(place.Top) + extraY * place.MoveY / 2,
                                 scaled(place.Width) + extraX * place.GrowX / 2,
                                 scaled(place.Height) + extraY * place.GrowY / 2);
    }
    Label1->resize(scaled(Label1MaxWidth), Label1->height());
    // The help text gives up its last row to the reset button at every size.
    PlaceResetButton();
}

void TOptionForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOut();
}

void TOptionForm::PlaceControls()
{
    Scale = ScaleOf(parentWidget());
    const auto scaled = [this](int pixels) { return qRound(pixels * Scale); };
    const std::array<QWidget*, 11> controls{Label1,     lbFmt,     meDesc,     lblExamples,
                                            cbExamples, Memo1,     meProblems, btnPreview,
                                            btnApply,   btnCancel, btnOK};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        controls[i]->setObjectName(QString::fromLatin1(ControlPlaces[i].Name));
    }
    FitCaption(*Label1, scaled(Label1MaxWidth));
    FitCaption(*lblExamples, scaled(ExamplesLabelWidth));
    RowHeight = std::max(scaled(ItemHeight), QFontMetrics(lbFmt->font()).height());

    QWidget::setTabOrder(btnPreview, btnApply);
    QWidget::setTabOrder(btnApply, btnCancel);
    QWidget::setTabOrder(btnCancel, btnOK);
    QWidget::setTabOrder(btnOK, cbExamples);
    QWidget::setTabOrder(cbExamples, Memo1);
    QWidget::setTabOrder(Memo1, lbFmt);
    QWidget::setTabOrder(lbFmt, meDesc);
    btnPreview->setFocus();

    setMinimumSize(scaled(ClientWidth), scaled(ClientHeight));
    setSizeGripEnabled(true);
    resize(scaled(OpeningWidth), scaled(OpeningHeight));
    LayOut();
    if (const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : nullptr)
        move(screen->availableGeometry().topLeft() + QPoint(scaled(DesignLeft), scaled(DesignTop)));
    else
        move(scaled(DesignLeft), scaled(DesignTop));
}

void TOptionForm::PlaceResetButton()
{
    const int gap = qRound(6 * ScaleOf(parentWidget()));
    const int buttonHeight = btnOK->height();
    const QRect help = meDesc->geometry();
    meDesc->resize(help.width(), std::max(help.height() - 2 * (buttonHeight + gap), buttonHeight));
    btnDrives->setGeometry(help.left(), help.bottom() + 1 - 2 * buttonHeight - gap, help.width(),
                           buttonHeight);
    btnResetPositions->setGeometry(help.left(), help.bottom() + 1 - buttonHeight, help.width(),
                                   buttonHeight);
}

void TOptionForm::ConnectControls()
{
    connect(lbFmt, &QListWidget::itemSelectionChanged, this, [this] { lbFmtClick(); });
    connect(lbFmt, &QListWidget::itemDoubleClicked, this, [this] { lbFmtDblClick(); });
    connect(cbExamples, &QComboBox::activated, this,
            [this](int index) { cbExamplesChoose(index); });
    connect(Memo1, &QPlainTextEdit::textChanged, ProblemTimer, qOverload<>(&QTimer::start));
    connect(ProblemTimer, &QTimer::timeout, this, [this] { ShowProblems(); });
    connect(btnPreview, &QPushButton::clicked, this, [this] { btnPreviewClick(); });
    connect(btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnResetPositions, &QPushButton::clicked, this,
            [this] { HostStep([&] { Host.ResetLabelPositions(); }); });
    connect(btnDrives, &QPushButton::clicked, this, [this] { btnDrivesClick(); });
}

void TOptionForm::FormCreate()
{
    std::vector<std::string> names;
    for (const auto& formatter : Host.FormatterList())
        formatter->ListItems(names);
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), lbFmt);
        item->setSizeHint(QSize(0, RowHeight));
    }
    lbFmt->setCurrentRow(-1);
    lbFmt->clearSelection();
    Memo1->setPlainText(EditorTextOf(Host.TemplateText()));
    Examples = ListExamples(Host.ExampleFolders());
    for (const TExample& example : Examples)
        cbExamples->addItem(QString::fromStdString(example.Name));
    cbExamples->setPlaceholderText(Examples.empty()
                                       ? QStringLiteral("No examples found")
                                       : QStringLiteral("Choose one to load it into the editor"));
    cbExamples->setCurrentIndex(-1);
    cbExamples->setEnabled(!Examples.empty());
}

void TOptionForm::cbExamplesChoose(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= Examples.size())
        return;
    std::string message;
    std::optional<std::string> text =
        ReadExample(Examples[static_cast<std::size_t>(index)], message);
    if (!text) {
        cbExamples->setCurrentIndex(-1);
        QMessageBox::warning(this, QStringLiteral("Statlume"), QString::fromStdString(message));
        return;
    }
    // A file's last line ends with a line break; the template's does not.
    if (text->ends_with('\n'))
        text->pop_back();
    if (text->ends_with('\r'))
        text->pop_back();
    QTextCursor cursor(Memo1->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(EditorTextOf(*text));
    cursor.endEditBlock();
    cursor.movePosition(QTextCursor::Start);
    Memo1->setTextCursor(cursor);
}

std::string TOptionForm::EditedText() const
{
    return TemplateTextOf(*Memo1);
}

void TOptionForm::ShowProblems()
{
    // A closed dialog looks for nothing.
    if (!isVisible())
        return;
    QString text;
    for (const TTagProblem& problem : CheckTemplateTags(EditedText(), Host.MachineFacts())) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QString::fromStdString(TagProblemText(problem, TProblemPlace::LineAndColumn));
    }
    meProblems->setPlainText(text.isEmpty() ? QStringLiteral("No problems found") : text);
}

void TOptionForm::btnDrivesClick()
{
    TDriveMapDialog chooser(Host.DriveMapText(), Host.MountPoints(), this);
    if (chooser.exec() != QDialog::Accepted)
        return;
    const std::string text = chooser.DriveMapText();
    if (HostStep([&] { Host.StoreDriveMap(text); }))
        ShowProblems();
}

void TOptionForm::lbFmtClick()
{
    const QList<QListWidgetItem*> selected = lbFmt->selectedItems();
    if (selected.isEmpty())
        return;
    const std::string name = selected.front()->text().toStdString();
    std::string description;
    for (const auto& formatter : Host.FormatterList())
        description += formatter->GetDescription(name);
    if (const std::string more = MoreHelpOf(name); !more.empty())
        description += "\r\n\r\n" + more;
    meDesc->setPlainText(EditorTextOf(description));
}

void TOptionForm::lbFmtDblClick()
{
    const QList<QListWidgetItem*> selected = lbFmt->selectedItems();
    if (selected.isEmpty())
        return;
    const std::string name = selected.front()->text().toStdString();
    for (const auto& formatter : Host.FormatterList()) {
        const std::string usage = formatter->GetDefaultUsage(name);
        if (usage.empty())
            continue;
        QTextCursor cursor(Memo1->document());
        cursor.movePosition(QTextCursor::End);
        if (!cursor.block().text().isEmpty())
            cursor.insertBlock();
        cursor.insertText(EditorTextOf(usage));
        Memo1->setTextCursor(cursor);
        Memo1->ensureCursorVisible();
        return;
    }
}

template <typename F> bool TOptionForm::HostStep(F&& step)
{
    // Exceptions must not cross Qt's event loop; the error box ends only this step.
    try {
        step();
        return true;
    } catch (const std::exception& error) {
        QMessageBox::critical(this, QStringLiteral("Statlume"), QString::fromUtf8(error.what()));
        return false;
    }
}

void TOptionForm::btnPreviewClick()
{
    const std::string text = EditedText();
    HostStep([&] {
        Host.BuildLabels(text);
        Host.ArrangeLabels(true);
    });
}

void TOptionForm::btnApplyClick()
{
    const std::string text = EditedText();
    HostStep([&] {
        Host.BuildLabels(text);
        Host.ArrangeLabels(true);
        Host.StoreTemplate(text);
    });
}

void TOptionForm::btnCancelClick()
{
    HostStep([&] {
        Host.BuildLabels(Host.TemplateText());
        Host.ArrangeLabels(true);
    });
    done(QDialog::Rejected);
}

void TOptionForm::btnOKClick()
{
    btnApplyClick();
    done(QDialog::Accepted);
}

void TOptionForm::keyPressEvent(QKeyEvent* event)
{
    // The dialog's own Escape handling would reject without restoring the window; the
    // title-bar close keeps that plain reject, so previewed lines stay there.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace statlume
