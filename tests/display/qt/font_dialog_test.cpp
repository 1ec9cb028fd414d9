#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/qt/font_dialog.h"
#include "options/qt_test_app.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(FontDialog, ColorValuesAreBlueGreenRed)
{
    struct TCase
    {
        const char* name;
        std::uint32_t value;
        QColor color;
    };
    const TCase cases[] = {
        {"red", 0x0000FF, QColor(255, 0, 0)},
        {"blue", 0xFF0000, QColor(0, 0, 255)},
        {"mixed", 0x123456, QColor(0x56, 0x34, 0x12)},
        {"window text", WindowTextColor, QColor(Qt::black)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToQColor(c.value), c.color);
    }
    EXPECT_EQ(ToColorValue(QColor(0x56, 0x34, 0x12)), 0x123456u);
}

TEST(FontDialog, StoredFontsBecomeUsableQtFonts)
{
    QFont sans(QStringLiteral("sans-serif"));
    QFont mono(QStringLiteral("monospace"));
    struct TCase
    {
        const char* name;
        TFontChoice choice;
        QString family;
        int points;
    };
    const TCase cases[] = {
        {"missing face", DesignFontChoice(), QFontInfo(sans).family(), 8},
        {"missing fixed face", {"No Such Face", 0, 10, 2, 0}, QFontInfo(mono).family(), 10},
        {"size zero", {"DejaVu Sans", 0, 0, 0, 0}, "DejaVu Sans", 8},
        {"negative size", {"DejaVu Sans", 0, -12, 0, 0}, "DejaVu Sans", 8},
        {"huge size", {"DejaVu Sans", 0, 1000000, 0, 0}, "DejaVu Sans", MaxFontSize},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QFont font = ToQFont(c.choice);
        EXPECT_EQ(QFontInfo(font).family().toStdString(), c.family.toStdString());
        EXPECT_EQ(font.pointSize(), c.points);
    }
    const QFont styled = ToQFont({"DejaVu Sans", 0, 9, 0, 0xF});
    EXPECT_TRUE(styled.bold() && styled.italic() && styled.underline() && styled.strikeOut());
}

TEST(FontDialog, ApplyShowsCancelRestoresOkReturnsTheChoice)
{
    const TFontChoice original{"DejaVu Sans", 0x0000FF, 8, 1, 0};
    TFontChoice bigBold = original;
    bigBold.Size = 12;
    bigBold.Style = FontStyleBold;
    bigBold.Outline = 2;
    struct TCase
    {
        const char* name;
        std::function<void(QDialog&)> drive;
        std::vector<TFontChoice> applied;
        bool accepted;
        TFontChoice result;
    };
    const auto edit = [](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("seFontSize"))->setValue(12);
        dialog.findChild<QCheckBox*>(QStringLiteral("cbBold"))->setChecked(true);
        dialog.findChild<QComboBox*>(QStringLiteral("cbOutline"))->setCurrentIndex(2);
    };
    const auto click = [](QDialog& dialog, const char* name) {
        dialog.findChild<QPushButton*>(QString::fromLatin1(name))->click();
    };
    const TCase cases[] = {
        {"apply then cancel",
         [&](QDialog& d) {
             edit(d);
             click(d, "btnApply");
             click(d, "btnCancel");
         },
         {bigBold, original},
         false,
         original},
        {"ok",
         [&](QDialog& d) {
             edit(d);
             click(d, "btnOK");
         },
         {},
         true,
         bigBold},
        {"close button", [&](QDialog& d) { d.close(); }, {original}, false, original},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->objectName(), "FontDialog1");
            c.drive(*dialog);
        });
        std::vector<TFontChoice> applied;
        TFontChoice choice = original;
        const bool accepted =
            RunFontDialog(nullptr, choice, [&](const TFontChoice& f) { applied.push_back(f); });
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_TRUE(applied == c.applied);
        EXPECT_TRUE(choice == c.result);
    }
}

} // namespace
} // namespace statlume
