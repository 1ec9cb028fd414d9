#include "display/qt/font_dialog.h"

#include <algorithm>
#include <exception>

#include "display/qt/dialog_place.h"
#include "display/qt/text_halo.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace statlume {

namespace {

constexpr std::uint32_t SystemColorFlag = 0x80000000;
constexpr std::uint32_t SystemWindow = 5;
constexpr std::uint32_t SystemButtonFace = 15;
constexpr int DesignSize = 8;

/// One style bit with its check box caption and object name.
struct TStyleBox
{
    int Bit;
    const char* Caption;
    const char* Name;
};

constexpr TStyleBox StyleBoxes[] = {
    {FontStyleBold, "&Bold", "cbBold"},
    {FontStyleItalic, "&Italic", "cbItalic"},
    {FontStyleUnderline, "&Underline", "cbUnderline"},
    {FontStyleStrikeOut, "Stri&keout", "cbStrikeOut"},
};

/// A size below 1 point draws as the design size, as a zero height did; a size above the
/// bound draws at the bound.
int DrawnSize(int points)
{
    return points < 1 ? DesignSize : std::min(points, MaxFontSize);
}

QPixmap Swatch(const QColor& color)
{
    QPixmap swatch(16, 16);
    swatch.fill(color);
    return swatch;
}

/// The captions of the "TextOutline" values, in value order.
constexpr const char* OutlineCaptions[] = {"None", "Outline", "Shadow"};

/// The sample text, drawn with the chosen outline. With one, the sample stands half on white
/// and half on black, so the user sees the text read on either.
class TSampleLabel : public QLabel
{
public:
    using QLabel::QLabel;

    void SetOutline(TTextOutline outline, const QColor& colour)
    {
        Outline = outline;
        OutlineColour = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (Outline != TTextOutline::None) {
            painter.fillRect(rect(), Qt::black);
            painter.fillRect(QRect(0, 0, width() / 2, height()), Qt::white);
        }
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        const auto draw = [this](QPainter& target, const QRect& box) {
            target.drawText(box, static_cast<int>(alignment()), text());
        };
        PaintWithHalo(painter, rect(), Outline, HaloWidth(fontMetrics().height()), OutlineColour,
                      draw);
    }

private:
    TTextOutline Outline = TTextOutline::None;
    QColor OutlineColour;
};

/// The dialog; it edits a copy and hands the shown choice to Apply.
class TFontForm : public QDialog
{
public:
    TFontForm(QWidget* owner, const TFontChoice& start,
              const std::function<void(const TFontChoice&)>& onApply)
        : QDialog(owner)
        , Shown(start)
        , OnApply(onApply)
    {
        setObjectName(QStringLiteral("FontDialog1"));
        setWindowTitle(QStringLiteral("Font"));
        BuildControls();
        ShowChoice();
    }

    TFontChoice Shown;

private:
    void BuildControls()
    {
        Sample = new TSampleLabel(QStringLiteral("AaBbYyZz 0123"), this);
        Sample->setObjectName(QStringLiteral("lblSample"));
        Sample->setAlignment(Qt::AlignCenter);
        Sample->setMinimumSize(240, 64);
        // A large size is clipped in the sample rather than growing the dialog off screen.
        Sample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        Sample->setAutoFillBackground(true);
        auto* page = new QVBoxLayout(this);
        page->addLayout(CreateFontControls());
        page->addWidget(Sample, 1);
        page->addLayout(CreateButtons());
    }

    QGridLayout* CreateFontControls()
    {
        auto* fontName = new QFontComboBox(this);
        fontName->setObjectName(QStringLiteral("cbFontName"));
        fontName->setCurrentFont(ToQFont(Shown));
        auto* size = new QSpinBox(this);
        size->setObjectName(QStringLiteral("seFontSize"));
        size->setRange(1, MaxFontSize);
        size->setSuffix(QStringLiteral(" pt"));
        size->setValue(DrawnSize(Shown.Size));
        Color = new QPushButton(QStringLiteral("C&olour..."), this);
        Color->setObjectName(QStringLiteral("btnColor"));
        auto* fontLabel = new QLabel(QStringLiteral("&Font:"), this);
        fontLabel->setBuddy(fontName);
        auto* sizeLabel = new QLabel(QStringLiteral("&Size:"), this);
        sizeLabel->setBuddy(size);
        auto* outline = new QComboBox(this);
        outline->setObjectName(QStringLiteral("cbOutline"));
        for (const char* caption : OutlineCaptions)
            outline->addItem(QString::fromLatin1(caption));
        outline->setCurrentIndex(static_cast<int>(TextOutlineOf(Shown.Outline)));
        auto* outlineLabel = new QLabel(QStringLiteral("Ou&tline:"), this);
        outlineLabel->setBuddy(outline);

        auto* grid = new QGridLayout;
        grid->addWidget(fontLabel, 0, 0);
        grid->addWidget(fontName, 0, 1, 1, 3);
        grid->addWidget(sizeLabel, 1, 0);
        grid->addWidget(size, 1, 1);
        grid->addWidget(Color, 1, 3);
        int column = 0;
        for (const TStyleBox& box : StyleBoxes) {
            auto* check = new QCheckBox(QString::fromLatin1(box.Caption), this);
            check->setObjectName(QString::fromLatin1(box.Name));
            check->setChecked((Shown.Style & box.Bit) != 0);
            grid->addWidget(check, 2, column++);
            connect(check, &QCheckBox::toggled, this, [this, bit = box.Bit](bool on) {
                Shown.Style = on ? (Shown.Style | bit) : (Shown.Style & ~bit);
                ShowChoice();
            });
        }
        grid->addWidget(outlineLabel, 3, 0);
        grid->addWidget(outline, 3, 1);
        connect(outline, &QComboBox::currentIndexChanged, this, [this](int index) {
            Shown.Outline = index;
            ShowChoice();
        });
        connect(fontName, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
            const QString family = font.family();
            Shown.Name = family.toStdString();
            Shown.Pitch = QFontDatabase::isFixedPitch(family) ? 2 : 1;
            ShowChoice();
        });
        connect(size, &QSpinBox::valueChanged, this, [this](int points) {
            Shown.Size = points;
            ShowChoice();
        });
        connect(Color, &QPushButton::clicked, this, [this] { PickColor(); });
        return grid;
    }

    QHBoxLayout* CreateButtons()
    {
        auto* apply = new QPushButton(QStringLiteral("&Apply"), this);
        apply->setObjectName(QStringLiteral("btnApply"));
        apply->setAutoDefault(false);
        auto* ok = new QPushButton(QStringLiteral("&OK"), this);
        ok->setObjectName(QStringLiteral("btnOK"));
        ok->setDefault(true);
        auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
        cancel->setObjectName(QStringLiteral("btnCancel"));
        cancel->setAutoDefault(false);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(apply);
        buttons->addWidget(ok);
        buttons->addWidget(cancel);
        connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        return buttons;
    }

    void ShowChoice()
    {
        const QColor color = ToQColor(Shown.Color);
        Sample->setFont(ToQFont(Shown));
        QPalette palette = Sample->palette();
        palette.setColor(QPalette::WindowText, color);
        // The window turns black behind white text, so the sample does too.
        palette.setColor(QPalette::Window, Shown.Color == 0xFFFFFF ? Qt::black : Qt::white);
        Sample->setPalette(palette);
        Sample->SetOutline(TextOutlineOf(Shown.Outline), HaloColour(color));
        Color->setIcon(Swatch(color));
    }

    void PickColor()
    {
        QColorDialog chooser(ToQColor(Shown.Color), this);
        chooser.setWindowTitle(QStringLiteral("Colour"));
        // Centred on this form it would cover the window whose text it colours.
        if (parentWidget() != nullptr)
            PlaceBesideWindow(chooser, *parentWidget());
        if (chooser.exec() != QDialog::Accepted)
            return;
        const QColor picked = chooser.selectedColor();
        if (!picked.isValid())
            return;
        Shown.Color = ToColorValue(picked);
        ShowChoice();
    }

    void Apply()
    {
        // Exceptions must not cross Qt's event loop; the error box ends only this Apply.
        try {
            OnApply(Shown);
        } catch (const std::exception& error) {
            QMessageBox::critical(this, QStringLiteral("Statlume"),
                                  QString::fromUtf8(error.what()));
        }
    }

    const std::function<void(const TFontChoice&)>& OnApply;
    QPushButton* Color = nullptr;
    TSampleLabel* Sample = nullptr;
};

} // namespace

TFontChoice DesignFontChoice()
{
    return TFontChoice{"MS Sans Serif", WindowTextColor, DesignSize, 0, 0};
}

QFont ToQFont(const TFontChoice& choice)
{
    QFont font(QString::fromStdString(choice.Name));
    const bool fixed = choice.Pitch == 2;
    font.setStyleHint(fixed ? QFont::Monospace : QFont::SansSerif);
    font.setFixedPitch(fixed);
    font.setPointSize(DrawnSize(choice.Size));
    font.setBold((choice.Style & FontStyleBold) != 0);
    font.setItalic((choice.Style & FontStyleItalic) != 0);
    font.setUnderline((choice.Style & FontStyleUnderline) != 0);
    font.setStrikeOut((choice.Style & FontStyleStrikeOut) != 0);
    return font;
}

QColor ToQColor(std::uint32_t color)
{
    if ((color & SystemColorFlag) != 0) {
        switch (color & 0xFFu) {
        case SystemWindow:
            return QColor(Qt::white);
        case SystemButtonFace:
            return QColor(0xF0, 0xF0, 0xF0);
        default:
            return QColor(Qt::black);
        }
    }
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

std::uint32_t ToColorValue(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}

bool RunFontDialog(QWidget* owner, TFontChoice& choice,
                   const std::function<void(const TFontChoice&)>& onApply)
{
    TFontForm form(owner, choice, onApply);
    if (owner != nullptr) {
        PlaceBesideWindow(form, *owner);
    }
    if (form.exec() != QDialog::Accepted) {
        onApply(choice);
        return false;
    }
    choice = form.Shown;
    return true;
}

} // namespace statlume
