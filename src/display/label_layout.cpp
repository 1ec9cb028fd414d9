#include "display/label_layout.h"

#include <algorithm>

namespace statlume {

void ArrangeLabelBoxes(std::vector<TLabelBox>& labels, TWindowBox& window, bool keepRightEdge,
                       bool autoSize)
{
    const int rightEdge = window.Left + window.Width;
    int maxRight = 0;
    int y = LayoutTopMargin;
    int placedBottom = 0;
    int step = 0;
    for (TLabelBox& label : labels) {
        if (!label.Placed) {
            label.Top = y;
            maxRight = std::max(maxRight, label.Width + LayoutWidthReserve);
        } else {
            // The last placed label in list order decides, not the lowest one.
            placedBottom = label.Top + label.Height + LayoutLineGap;
            maxRight = std::max(maxRight, label.Left + label.Width);
        }
        if (step == 0) {
            step = label.Height + LayoutLineGap;
        }
        // A placed label keeps its slot, so the flow leaves a gap where it would stand.
        y += step;
    }
    if (!autoSize) {
        return;
    }
    window.Width = maxRight + LayoutExtentPad;
    window.Height = std::max(y, placedBottom);
    if (keepRightEdge) {
        window.Left = rightEdge - window.Width;
    }
}

std::optional<int> AlignedLeft(const TLabelBox& label, int windowWidth, std::uint8_t textAlign)
{
    if (label.Placed) {
        return std::nullopt;
    }
    if (textAlign == 0) {
        return LayoutLeftEdge;
    }
    if (textAlign == 1) {
        return windowWidth - (label.Width + LayoutRightGap);
    }
    return std::nullopt;
}

int ResizedLeft(int left, int oldWidth, int newWidth, bool rightJustified)
{
    return rightJustified ? left + oldWidth - newWidth : left;
}

bool RenderNeedsLayout(const std::vector<std::string>& captionsBefore)
{
    return std::any_of(captionsBefore.begin(), captionsBefore.end(),
                       [](const std::string& caption) { return caption == BlankCaption; });
}

bool AutoSizeAfter(bool autoSize, TAutoSizeEvent event)
{
    switch (event) {
    case TAutoSizeEvent::Startup:
    case TAutoSizeEvent::FontApplied:
        return true;
    case TAutoSizeEvent::StoredSize:
    case TAutoSizeEvent::HeightConfirmed:
        return false;
    case TAutoSizeEvent::WidthConfirmed:
        break;
    }
    return autoSize;
}

} // namespace statlume
