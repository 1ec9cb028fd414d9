#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "display/qt/run_painter.h"
#include "display/qt/text_halo.h"
#include "format/run.h"

#include <QLabel>

namespace statlume {

/// The text label of one window line: its template line, its Tag (1 = placed), a plain-text
/// caption drawn as written ("&" included), and a size that follows the caption (a
/// right-justified label keeps its right edge).
class TFmtLabel : public QLabel
{
    Q_OBJECT
public:
    /// A "BLANK" label named name, child of parent, with the hand cursor.
    TFmtLabel(const QString& name, std::string templateLine, QWidget* parent);

    /// Sets the caption (UTF-8); a caption equal to the current one changes nothing (false).
    bool SetCaption(const std::string& caption);
    /// Sets the rendered line: one plain text run without padding (or none) is a caption as
    /// SetCaption sets it; any other line draws its runs, its caption is their text (also its
    /// accessible name) and only the runs drawn differently are repainted. False when nothing
    /// changed, so an unchanged line is not repainted.
    bool SetRuns(TRunLine line);
    /// The colours of warning and critical runs.
    void SetToneColours(const QColor& warn, const QColor& crit);
    /// Pixels of the label's height beyond one text line: its tallest drawing's extra lines.
    int ExtraHeight() const;
    /// Old figures: the runs' colours are drawn halfway to fadeTo; nullopt shows them current.
    void SetFade(std::optional<QColor> fadeTo);
    /// The outline or shadow drawn around the label's drawing, in colour; the label grows by
    /// its width so nothing is cut. The same outline and colour again change nothing.
    void SetOutline(TTextOutline outline, const QColor& colour);
    /// Draws the caption or the runs into rect, as paintEvent does.
    void PaintContent(QPainter& painter, const QRect& rect) const;
    /// Draws the caption, or the runs that meet exposed, into rect.
    void PaintContent(QPainter& painter, const QRect& rect, const QRegion& exposed) const;
    /// The caption as last set (UTF-8).
    const std::string& Caption() const { return CaptionText; }
    /// 0 left-justified, 1 right-justified; other values leave the justification.
    void SetTextAlign(std::uint8_t textAlign);
    /// True when the label's right edge follows the window's right edge on resizes.
    bool AnchorRight = false;
    /// Decides on a left press whether the label drags itself (true) or leaves the press to
    /// the window, which moves (false); unset means the label drags.
    std::function<bool()> MayDrag;

    /// The template line, set once at creation.
    const std::string Template;
    /// 0 flows with the layout pass, 1 is placed.
    int Tag = 0;

    /// Grows whenever what the label draws may have changed (caption, font, colours,
    /// justification, outline), so others can tell without drawing it.
    std::uint64_t Revision() const { return Revisions; }

    /// The size of the caption in the label's font.
    QSize sizeHint() const override;
    /// Same as sizeHint: the label never shrinks below its caption.
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FitToCaption(bool wasBlank = false);
    void ShowScaleTip(std::string tip);
    QMargins Halo() const;

    std::string CaptionText;
    /// Empty while the label shows a plain caption.
    TRunLine Runs;
    /// The spans of Runs in the label's font.
    TRunSpans RunSpans;
    QColor WarnColour{0xFF, 0xBF, 0x00};
    QColor CritColour{0xFF, 0x30, 0x30};
    std::optional<QColor> FadeTo;
    /// The tooltip shown: the scales of drawings not drawn against 100.
    std::string ScaleTip;
    TTextOutline Outline = TTextOutline::None;
    QColor OutlineColour{Qt::black};
    std::uint64_t Revisions = 0;
    /// Where in the label the drag took hold; none while not dragging.
    std::optional<QPoint> Grab;
};

} // namespace statlume
