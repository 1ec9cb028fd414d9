#pragma once

#include <cstdint>
#include <vector>

#include <QRect>
#include <QRegion>

class QWidget;

namespace statlume {

class TFmtLabel;

/// Where a window's shape goes: the X server, or a recorder in tests.
class TShapeSink
{
public:
    virtual ~TShapeSink() = default;
    /// The shape becomes the union of parts.
    virtual void Set(const std::vector<QRegion>& parts) = 0;
    /// The pixels of box leave the shape.
    virtual void Subtract(const QRect& box) = 0;
    /// The pixels of region join the shape.
    virtual void Add(const QRegion& region) = 0;
    /// The window is whole again.
    virtual void Clear() = 0;
    /// Device pixels per window pixel in the regions this sink takes (1: window pixels).
    virtual qreal Ratio() const { return 1.0; }
};

/// The shape of a window cut to its labels' text, in the sink's device pixels. Each label's
/// pixels are found again only when the label changed or moved, and only those pixels are
/// sent, so a tick costs in proportion to what changed.
class TShapeMask
{
public:
    /// Brings the shape up to date with labels (window coordinates); returns how many labels
    /// were drawn anew. A different number of labels or a different sink ratio than last time
    /// sends the whole shape.
    int Update(const std::vector<TFmtLabel*>& labels, TShapeSink& sink);
    /// Makes the window whole and forgets every label.
    void Clear(TShapeSink& sink);
    /// The next Update sends the whole shape (a native window that may be new).
    void Resend() { Sent = false; }

private:
    /// One label as last sent.
    struct TLabelShape
    {
        QRect Box;
        std::uint64_t Revision = 0;
        QRegion Pixels;
    };

    std::vector<TLabelShape> Shapes;
    bool Sent = false;
    qreal SentRatio = 1.0;
};

/// On X11, an empty input shape lets every click through the window to what lies below; off,
/// the window takes input over all of its area again, whatever its size. Does nothing on other
/// platforms.
void SetX11ClickThrough(QWidget& window, bool through);

/// The sink of a shown window: the X11 shape extension on X11, the widget's mask elsewhere.
class TWindowShapeSink final : public TShapeSink
{
public:
    explicit TWindowShapeSink(QWidget& window)
        : Window(window)
    {
    }
    void Set(const std::vector<QRegion>& parts) override;
    void Subtract(const QRect& box) override;
    void Add(const QRegion& region) override;
    void Clear() override;
    /// The window's device pixel ratio on X11, where the shape is in device pixels; 1 for
    /// the widget's mask, which takes window pixels.
    qreal Ratio() const override;

private:
    QWidget& Window;
};

} // namespace statlume
