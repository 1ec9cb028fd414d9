#include "display/qt/prompts.h"

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

std::optional<std::string> TQtPrompts::AskText(const std::string& caption,
                                               const std::string& prompt,
                                               const std::string& initial)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(Owner, FromUtf8(caption), FromUtf8(PromptBody(caption, prompt)),
                              QLineEdit::Normal, FromUtf8(initial), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text.toStdString();
}

TAnswer TQtPrompts::AskYesNoCancel(const std::string& caption, const std::string& question)
{
    const auto button = QMessageBox::question(
        Owner, FromUtf8(caption), FromUtf8(PromptBody(caption, question)),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
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
    box.exec();
}

} // namespace statlume
