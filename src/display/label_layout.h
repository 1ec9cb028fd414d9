#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace statlume {

/// Top margin of the label column, in pixels.
inline constexpr int LayoutTopMargin = 2;
/// Added to the first label's height to give the line step.
inline constexpr int LayoutLineGap = 2;
/// Left edge of a flowing label under left alignment.
inline constexpr int LayoutLeftEdge = 1;
/// Gap between a flowing label and the window's right edge under right alignment.
inline constexpr int LayoutRightGap = 2;
/// Added to each flowing label's width when the window width is found.
inline constexpr int LayoutWidthReserve = 4;
/// Added once to the widest extent.
inline constexpr int LayoutExtentPad = 2;
/// The caption of a label that has not been rendered yet.
inline constexpr const char* BlankCaption = "BLANK";

/// One label's geometry in client pixels and whether it is placed (Tag 1).
struct TLabelBox
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    /// Placed labels keep their position; flowing ones (Tag 0) are positioned by the layout.
    bool Placed = false;
    /// Pixels of Height beyond one text line (a drawing of HEIGHT=N); the flow steps past them.
    int ExtraHeight = 0;
    friend bool operator==(const TLabelBox&, const TLabelBox&) = default;
};

/// The window's geometry in screen pixels (no border: outer and client size are equal).
struct TWindowBox
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TWindowBox&, const TWindowBox&) = default;
};

/// The layout pass: flowing labels get their tops in a column stepped by the first label's
/// height + 2 (one text line's: a tall label adds its ExtraHeight to its own step only); with
/// autoSize the window takes the widest extent + 2 and the larger of the flow height and the lowest
/// placed label's bottom + 2, keeping its right edge when asked. Placed labels are kept inside the
/// window (KeepPlacedInside). Lefts of flowing labels are left to AlignedLeft. No labels give a 2 x
/// 2 window.
void ArrangeLabelBoxes(std::vector<TLabelBox>& labels, TWindowBox& window, bool keepRightEdge,
                       bool autoSize);

/// Moves placed labels into the window: never above or left of it, and within its width and
/// height as far as the label fits. A placed label that lies inside stays where it is.
void KeepPlacedInside(std::vector<TLabelBox>& labels, const TWindowBox& window);

/// The end of start-up, once the window has its final size: flowing labels aligned to that
/// width, placed ones kept inside it.
void SettleLabelBoxes(std::vector<TLabelBox>& labels, const TWindowBox& window,
                      std::uint8_t textAlign);

/// The left AlignLabel gives a flowing label (1, or windowWidth - width - 2 for textAlign 1);
/// nullopt for a placed label or another textAlign, which keep their left.
std::optional<int> AlignedLeft(const TLabelBox& label, int windowWidth, std::uint8_t textAlign);

/// The left of an auto-sized label whose width changes: one that keeps its right edge grows
/// to the left, others keep their left.
int ResizedLeft(int left, int oldWidth, int newWidth, bool keepsRightEdge);

/// Whether a label whose caption changes keeps its right edge: right-justified ones do, except
/// a placed label's first caption after "BLANK": its stored left is where it was left.
bool KeepsRightEdge(bool rightJustified, bool placed, bool wasBlank);

/// A render after which the layout pass runs: some caption was still "BLANK" before it.
bool RenderNeedsLayout(const std::vector<std::string>& captionsBefore);

/// What changes the automatic window size.
enum class TAutoSizeEvent
{
    /// Start-up, before the labels are built: on.
    Startup,
    /// Start-up found a stored "W" or "H": off.
    StoredSize,
    /// A font was applied: on.
    FontApplied,
    /// The height prompt of Set Form Width and Height was confirmed: off.
    HeightConfirmed,
    /// The width prompt alone was confirmed: unchanged.
    WidthConfirmed,
};

/// AutoSizeWindow after the event.
bool AutoSizeAfter(bool autoSize, TAutoSizeEvent event);

} // namespace statlume
