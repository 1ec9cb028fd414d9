#include "display/qt/fmt_label.h"

#include "display/drawing_tip.h"
#include "display/label_layout.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace statlume {

TFmtLabel::TFmtLabel(const QString& name, std::string templateLine, QWidget* parent)
    : QLabel(parent)
    , Template(std::move(templateLine))
    , CaptionText(BlankCaption)
{
    setObjectName(name);
    // The caption is drawn by paintEvent as plain text; a template value never becomes markup.
    setTextFormat(Qt::PlainText);
    setText(QString::fromUtf8(BlankCaption));
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FitToCaption();
}

bool TFmtLabel::SetCaption(const std::string& caption)
{
    if (caption == CaptionText) {
        return false;
    }
    const bool wasBlank = CaptionText == BlankCaption;
    CaptionText = caption;
    ++Revisions;
    setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    FitToCaption(wasBlank);
    update();
    return true;
}

bool TFmtLabel::SetRuns(TRunLine line)
{
    // Padding is drawn a digit wide, which only runs do.
    const bool plain =
        line.Runs.empty() || (line.Runs.size() == 1 && line.Runs[0].Kind == TRunKind::Text &&
                              line.Runs[0].Tone == TRunTone::Plain && line.Runs[0].Padding.empty());
    if (plain) {
        std::string caption = line.Runs.empty() ? std::string() : std::move(line.Runs[0].Text);
        if (Runs.Runs.empty())
            return SetCaption(caption);
        // From runs back to a plain caption: redraw even when the text is the same.
        Runs = {};
        RunSpans.clear();
        setAccessibleName(QString());
        ShowScaleTip({});
        CaptionText = std::string(1, '\0');
        return SetCaption(caption);
    }
    if (line == Runs)
        return false;
    const bool fromCaption = Runs.Runs.empty();
    TRunSpans spans = MeasureRuns(line, fontMetrics(), Runs, RunSpans);
    QRegion changed =
        fromCaption ? QRegion(rect()) : ChangedRuns(Runs, RunSpans, line, spans, height());
    Runs = std::move(line);
    RunSpans = std::move(spans);
    CaptionText = PlainText(Runs);
    ShowScaleTip(DrawingScaleTip(Runs));
    // QLabel::setText repaints the whole label; the caption reaches assistive tools as the name.
    setAccessibleName(
        QString::fromUtf8(CaptionText.data(), static_cast<qsizetype>(CaptionText.size())));
    if (fromCaption)
        setText(QString());
    if (changed.isEmpty())
        return true;
    ++Revisions;
    const QSize before = size();
    FitToCaption();
    if (size() == before) {
        const bool right = (alignment() & Qt::AlignRight) != 0;
        // A halo spreads over its neighbours: the label is repainted whole.
        if (Outline != TTextOutline::None)
            update();
        else
            update(changed.translated(right ? width() - RunLineWidth(RunSpans) : 0, 0));
    }
    return true;
}

void TFmtLabel::SetToneColours(const QColor& warn, const QColor& crit)
{
    WarnColour = warn;
    CritColour = crit;
    ++Revisions;
    if (!Runs.Runs.empty())
        update();
}

void TFmtLabel::ShowScaleTip(std::string tip)
{
    if (tip == ScaleTip)
        return;
    ScaleTip = std::move(tip);
    setToolTip(QString::fromUtf8(ScaleTip.data(), static_cast<qsizetype>(ScaleTip.size())));
}

int TFmtLabel::ExtraHeight() const
{
    return fontMetrics().height() * static_cast<int>(LinesOf(Runs) - 1);
}

void TFmtLabel::SetFade(std::optional<QColor> fadeTo)
{
    if (fadeTo == FadeTo)
        return;
    FadeTo = fadeTo;
    ++Revisions;
    if (!Runs.Runs.empty())
        update();
}

void TFmtLabel::SetOutline(TTextOutline outline, const QColor& colour)
{
    if (outline == Outline && colour == OutlineColour)
        return;
    Outline = outline;
    OutlineColour = colour;
    ++Revisions;
    FitToCaption();
    update();
}

void TFmtLabel::PaintContent(QPainter& painter, const QRect& rect) const
{
    PaintContent(painter, rect, QRegion(rect));
}

void TFmtLabel::PaintContent(QPainter& painter, const QRect& rect, const QRegion& exposed) const
{
    painter.setFont(font());
    const QColor text = palette().color(QPalette::WindowText);
    const auto draw = [&](QPainter& target, const QRect& box) {
        if (!Runs.Runs.empty()) {
            // A halo is worked out over the whole label: every run goes into its layer.
            const QRegion shown = Outline == TTextOutline::None ? exposed : QRegion(box);
            PaintRunLine(target, box, alignment(), Runs, RunSpans,
                         {text, WarnColour, CritColour, FadeTo}, shown);
            return;
        }
        target.setPen(text);
        target.drawText(box, static_cast<int>(alignment()) | Qt::TextSingleLine, this->text());
    };
    PaintWithHalo(painter, rect, Outline, HaloWidth(fontMetrics().height()), OutlineColour, draw);
}

void TFmtLabel::SetTextAlign(std::uint8_t textAlign)
{
    ++Revisions;
    if (textAlign == 0) {
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    } else if (textAlign == 1) {
        setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
}

QSize TFmtLabel::sizeHint() const
{
    const QMargins halo = Halo();
    const QSize room(halo.left() + halo.right(), halo.top() + halo.bottom());
    if (!Runs.Runs.empty())
        return QSize(RunLineWidth(RunSpans), fontMetrics().height() + ExtraHeight()) + room;
    // No mnemonic flag: a caption holds values from outside, whose "&" must show as written.
    return fontMetrics().size(Qt::TextSingleLine, text()) + room;
}

QMargins TFmtLabel::Halo() const
{
    return HaloMargins(Outline, HaloWidth(fontMetrics().height()));
}

void TFmtLabel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    PaintContent(painter, rect(), event->region());
}

void TFmtLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        ++Revisions;
    }
    if (event->type() == QEvent::FontChange) {
        RunSpans = MeasureRuns(Runs, fontMetrics());
        FitToCaption();
    }
}

void TFmtLabel::FitToCaption(bool wasBlank)
{
    const QSize wanted = sizeHint();
    if (wanted == size()) {
        return;
    }
    const bool right = (alignment() & Qt::AlignRight) != 0;
    const int left =
        ResizedLeft(x(), width(), wanted.width(), KeepsRightEdge(right, Tag != 0, wasBlank));
    setGeometry(left, y(), wanted.width(), wanted.height());
}

void TFmtLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && (!MayDrag || MayDrag())) {
        Grab = event->position().toPoint();
        event->accept();
        return;
    }
    // Right clicks and presses the window handles (moving it) go on to the window.
    event->ignore();
}

void TFmtLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!Grab) {
        event->ignore();
        return;
    }
    // The point grabbed stays under the pointer, so the label does not jump.
    move(mapToParent(event->position().toPoint()) - *Grab);
    Tag = 1;
    event->accept();
}

void TFmtLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && Grab) {
        Grab.reset();
        event->accept();
        return;
    }
    event->ignore();
}

} // namespace statlume
