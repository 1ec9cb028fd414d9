#include "display/label_layout.h"

#include <algorithm>

namespace statlume {

void ArrangeLabelBoxes(std::vector<TLabelBox>& labels, TWindowBox& window, bool keepRightEdge,
                       bool autoSize)
{
    const int rightEdge = window.Left + window.Width;
    // Above or left of the window a label could never be reached again.
    for (TLabelBox& label : labels) {
        if (label.Placed) {
            label.Left = std::max(label.Left, 0);
            label.Top = std::max(label.Top, 0);
        }
    }
    int maxRight = 0;
    int y = LayoutTopMargin;
    int placedBottom = 0;
    int step = 0;
    for (TLabelBox& label : labels) {
        if (!label.Placed) {
            label.Top = y;
            maxRight = std::max(maxRight, label.Width + LayoutWidthReserve);
        } else {
            // The window covers every placed label, the lowest too.
            placedBottom = std::max(placedBottom, label.Top + label.Height + LayoutLineGap);
            maxRight = std::max(maxRight, label.Left + label.Width);
        }
        if (step == 0) {
            step = label.Height - label.ExtraHeight + LayoutLineGap;
        }
        // A placed label keeps its slot, so the flow leaves a gap where it would stand.
        y += step + label.ExtraHeight;
    }
    if (!autoSize) {
        KeepPlacedInside(labels, window);
        return;
    }
    window.Width = maxRight + LayoutExtentPad;
    window.Height = std::max(y, placedBottom);
    if (keepRightEdge) {
        window.Left = rightEdge - window.Width;
    }
}

void KeepPlacedInside(std::vector<TLabelBox>& labels, const TWindowBox& window)
{
    for (TLabelBox& label : labels) {
        if (!label.Placed) {
            continue;
        }
        // A label wider or taller than the window keeps its left or top edge visible.
        label.Left = std::max(0, std::min(label.Left, window.Width - label.Width));
        label.Top = std::max(0, std::min(label.Top, window.Height - label.Height));
    }
}

void SettleLabelBoxes(std::vector<TLabelBox>& labels, const TWindowBox& window,
                      std::uint8_t textAlign)
{
    for (TLabelBox& label : labels) {
        if (const auto left = AlignedLeft(label, window.Width, textAlign)) {
            label.Left = *left;
        }
    }
    KeepPlacedInside(labels, window);
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

int ResizedLeft(int left, int oldWidth, int newWidth, bool keepsRightEdge)
{
    return keepsRightEdge ? left + oldWidth - newWidth : left;
}

bool KeepsRightEdge(bool rightJustified, bool placed, bool wasBlank)
{
    return rightJustified && !(placed && wasBlank);
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
