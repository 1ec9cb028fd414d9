#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "display/qt/fmt_label.h"
#include "display/qt/frame_painter.h"
#include "options/qt_test_app.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace statlume {
namespace {

using wayland::TPixelRect;

struct TBuffer
{
    std::vector<std::uint32_t> Pixels;
    wayland::TFramePixels Frame;
};

TBuffer MakeBuffer(QSize logical, std::uint32_t scale120, int slot, int age)
{
    TBuffer buffer;
    const int k = static_cast<int>(scale120 / wayland::ScaleDenominator);
    const wayland::TPixelSize size{logical.width() * k, logical.height() * k};
    // Garbage, as a new shm buffer may hold anything once reused.
    buffer.Pixels.assign(static_cast<std::size_t>(size.Width) * size.Height, 0xDEADBEEF);
    buffer.Frame = {buffer.Pixels.data(), size, size.Width * 4, scale120, age, slot};
    return buffer;
}

// Pixels that differ between two buffers of one size and are not within the rects.
int ChangedOutside(const TBuffer& before, const TBuffer& after,
                   const std::vector<TPixelRect>& rects)
{
    QRegion covered;
    for (const TPixelRect& r : rects) {
        covered += QRect(r.X, r.Y, r.Width, r.Height);
    }
    int outside = 0;
    const int width = after.Frame.Size.Width;
    for (std::size_t i = 0; i < after.Pixels.size(); ++i) {
        const QPoint at(static_cast<int>(i) % width, static_cast<int>(i) / width);
        outside += before.Pixels[i] != after.Pixels[i] && !covered.contains(at) ? 1 : 0;
    }
    return outside;
}

// Changes the window and returns the logical region that changed, as Qt's paint events tell.
using TChange = std::function<QRegion()>;

TEST(FramePainter, PartialFramesMatchAWholeRedraw)
{
    for (const std::uint32_t scale120 : {120u, 240u}) {
        SCOPED_TRACE("scale " + std::to_string(scale120 / 120));
        QWidget window;
        window.resize(200, 130);
        window.setAutoFillBackground(true);
        QPalette colours = window.palette();
        colours.setColor(QPalette::Window, Qt::white);
        window.setPalette(colours);
        std::vector<TFmtLabel*> labels;
        for (int i = 0; i < 8; ++i) {
            auto* label = new TFmtLabel(QString::number(i), "", &window);
            label->SetCaption("line " + std::to_string(i) + ": " + std::string(i, '#'));
            label->move(1, 2 + 15 * i);
            labels.push_back(label);
        }
        const auto recaption = [&](int i, const std::string& text) {
            QRegion damage(labels[i]->geometry());
            labels[i]->SetCaption(text);
            return damage + labels[i]->geometry();
        };

        struct TStep
        {
            const char* name;
            TChange change;
            int slot;
            int age;
            bool full = false;
            double opacity = 1;
        };
        const TStep steps[] = {
            {"first frame", [] { return QRegion(); }, 0, 0, true},
            {"second buffer is new", [&] { return recaption(1, "Processes: 147"); }, 1, 0},
            {"a frame behind: last changes copied", [&] { return recaption(2, "0 days, 03 hrs"); },
             0, 2},
            {"a caption grows", [&] { return recaption(4, "RAMUsed: 1434/RAMTotal: 24105"); }, 1,
             2},
            {"released at once: the same buffer again", [&] { return recaption(4, "RAM"); }, 1, 1},
            {"a label moves",
             [&] {
                 QRegion damage(labels[6]->geometry());
                 labels[6]->move(40, 20);
                 return damage + labels[6]->geometry();
             },
             0, 2},
            {"half opacity is drawn whole", [] { return QRegion(); }, 0, 2, true, 0.5},
            {"and stays faded in parts", [&] { return recaption(0, "Proc %: 3.00"); }, 1, 2, false,
             0.5},
        };
        TBuffer buffers[2] = {MakeBuffer(window.size(), scale120, 0, 0),
                              MakeBuffer(window.size(), scale120, 1, 0)};
        TFramePainter painter;
        int front = -1;
        for (const TStep& step : steps) {
            SCOPED_TRACE(step.name);
            const QRegion damage = step.change();
            TBuffer& target = buffers[step.slot];
            target.Frame.Age = step.age;
            const TBuffer before = front < 0 ? target : buffers[front];
            const auto copy = [&](std::span<const TPixelRect> rects) {
                ASSERT_GE(front, 0);
                wayland::CopyRects(buffers[front].Pixels.data(), target.Pixels.data(),
                                   target.Frame.Size, target.Frame.Stride, rects);
            };
            const std::vector<TPixelRect> rects =
                painter.Paint(window, damage, step.full, step.opacity, target.Frame, copy);

            TBuffer whole = MakeBuffer(window.size(), scale120, 0, 0);
            TFramePainter().Paint(window, {}, true, step.opacity, whole.Frame,
                                  [](std::span<const TPixelRect>) {});
            EXPECT_TRUE(target.Pixels == whole.Pixels) << "the buffer differs from a whole redraw";
            if (front >= 0 && !rects.empty()) {
                EXPECT_EQ(ChangedOutside(before, target, rects), 0)
                    << "a changed pixel lies outside the damage sent";
            }
            EXPECT_EQ(rects.empty(), step.full || step.age == 0) << "damage of a partial frame";
            front = step.slot;
        }
    }
}

} // namespace
} // namespace statlume
