#include "display/qt/prompts.h"

#include "display/qt/dialog_place.h"
#include "display/qt/prompt_text.h"

#include <QInputDialog>
#include <QMessageBox>

namespace statlume {
namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void TQtPrompts::OpenBesideOwner(QWidget& dialog) const
{
    if (Owner != nullptr) {
        PlaceBesideWindow(dialog, *Owner);
    }
}

std::optional<std::string> TQtPrompts::AskText(const std::string& caption,
                                               const std::string& prompt,
                                               const std::string& initial)
{
    QInputDialog dialog(Owner);
    dialog.setWindowTitle(FromUtf8(caption));
    dialog.setLabelText(FromUtf8(PromptBody(caption, prompt)));
    dialog.setTextValue(FromUtf8(initial));
    OpenBesideOwner(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue().toStdString();
}

TAnswer TQtPrompts::AskYesNoCancel(const std::string& caption, const std::string& question)
{
    QMessageBox box(QMessageBox::Question, FromUtf8(caption),
                    FromUtf8(PromptBody(caption, question)),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Owner);
    box.setDefaultButton(QMessageBox::Yes);
    OpenBesideOwner(box);
    const int button = box.exec();
    if (button == QMessageBox::Yes) {
        return TAnswer::Yes;
    }
    return button == QMessageBox::No ? TAnswer::No : TAnswer::Cancel;
}

void TQtPrompts::ShowMessage(TMessageKind kind, const std::string& caption, const std::string& text)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case TMessageKind::Plain:
        break;
    case TMessageKind::Information:
        icon = QMessageBox::Information;
        break;
    case TMessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case TMessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    }
    QString body = FromUtf8(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, FromUtf8(caption), body, QMessageBox::Ok, Owner);
    // Messages may carry names from outside; never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    OpenBesideOwner(box);
    box.exec();
}

} // namespace statlume
