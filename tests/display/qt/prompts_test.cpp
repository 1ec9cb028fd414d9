#include "display/qt/prompts.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

#include "display_rig.h"

namespace statlume::testing {
namespace {

// Answers the next modal dialog of type T once it is open.
template <typename T> void AnswerDialog(std::function<void(T&)> answer)
{
    QTimer::singleShot(0, [answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<T*>(widget); dialog && dialog->isVisible()) {
                answer(*dialog);
                return;
            }
        }
        FAIL() << "no dialog open";
    });
}

TEST(QtPrompts, RealDialogsReturnWhatTheUserChose)
{
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 200, 150);
    TQtPrompts prompts;
    prompts.Owner = &window;
    // Every dialog opens beside the window, not over what it asks about.
    const auto beside = [&window](const QWidget& dialog) {
        return !dialog.geometry().intersects(window.geometry());
    };
    AnswerDialog<QInputDialog>([&](QInputDialog& dialog) {
        EXPECT_TRUE(beside(dialog));
        EXPECT_EQ(dialog.windowTitle(), "Update Interval");
        // A title bar may be cut short: the body asks the caption's question too.
        EXPECT_EQ(dialog.labelText(), "Update Interval\nInterval in milliseconds");
        EXPECT_EQ(dialog.textValue(), "1000");
        dialog.setTextValue("250");
        dialog.accept();
    });
    EXPECT_EQ(prompts.AskText("Update Interval", "Interval in milliseconds", "1000"), "250");
    AnswerDialog<QInputDialog>([](QInputDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(prompts.AskText("Form Width", "Enter desired Width in pixels", "80"), std::nullopt);
    AnswerDialog<QMessageBox>([&](QMessageBox& box) {
        EXPECT_TRUE(beside(box));
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.text(), "<b>a</b>\nb");
        box.accept();
    });
    prompts.ShowMessage(TMessageKind::Information, "Information", "<b>a</b>\r\nb");
    AnswerDialog<QMessageBox>([&](QMessageBox& box) {
        EXPECT_TRUE(beside(box));
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompts.AskYesNoCancel("Server", "Save?"), TAnswer::No);
}

} // namespace
} // namespace statlume::testing
