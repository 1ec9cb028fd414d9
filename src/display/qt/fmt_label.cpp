#include "display/qt/fmt_label.h"

#include "display/label_layout.h"

#include <QEvent>
#include <QMouseEvent>
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
    CaptionText = caption;
    setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    FitToCaption();
    update();
    return true;
}

void TFmtLabel::SetTextAlign(std::uint8_t textAlign)
{
    if (textAlign == 0) {
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
    } else if (textAlign == 1) {
        setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
}

QSize TFmtLabel::sizeHint() const
{
    return fontMetrics().size(Qt::TextShowMnemonic | Qt::TextSingleLine, text());
}

void TFmtLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), static_cast<int>(alignment()) | Qt::TextShowMnemonic, text());
}

void TFmtLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitToCaption();
    }
}

void TFmtLabel::FitToCaption()
{
    const QSize wanted = sizeHint();
    if (wanted == size()) {
        return;
    }
    const bool right = (alignment() & Qt::AlignRight) != 0;
    const int left = ResizedLeft(x(), width(), wanted.width(), right);
    setGeometry(left, y(), wanted.width(), wanted.height());
}

void TFmtLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && (!MayDrag || MayDrag())) {
        Dragging = true;
        event->accept();
        return;
    }
    // Right clicks and presses the window handles (moving it) go on to the window.
    event->ignore();
}

void TFmtLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!Dragging) {
        event->ignore();
        return;
    }
    // The label's top-left corner jumps to the pointer; no grab offset is kept.
    move(mapToParent(event->position().toPoint()));
    Tag = 1;
    event->accept();
}

void TFmtLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && Dragging) {
        Dragging = false;
        event->accept();
        return;
    }
    event->ignore();
}

} // namespace statlume
