#pragma once

#include <optional>
#include <string>

#include <QPointer>
#include <QWidget>

namespace statlume {

/// Kinds of message box.
enum class TMessageKind
{
    /// OK only, no icon (the about box).
    Plain,
    /// The information icon (the uptime records).
    Information,
    /// The warning icon (a failed collection).
    Warning,
    /// The error icon (a command that failed).
    Error,
};

/// The answer to a yes/no/cancel question.
enum class TAnswer
{
    Yes,
    No,
    Cancel,
};

/// The modal questions and messages of the menu commands.
class TPrompts
{
public:
    virtual ~TPrompts() = default;
    /// A one-line input box; the edited text on OK, nullopt on Cancel.
    virtual std::optional<std::string>
    AskText(const std::string& caption, const std::string& prompt, const std::string& initial) = 0;
    /// A question with Yes, No and Cancel; closing the box counts as Cancel.
    virtual TAnswer AskYesNoCancel(const std::string& caption, const std::string& question) = 0;
    /// A message with one OK button.
    virtual void ShowMessage(TMessageKind kind, const std::string& caption,
                             const std::string& text) = 0;
};

/// The prompts as Qt dialogs (QInputDialog, QMessageBox) beside the owner window.
class TQtPrompts final : public TPrompts
{
public:
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                       const std::string& initial) override;
    TAnswer AskYesNoCancel(const std::string& caption, const std::string& question) override;
    void ShowMessage(TMessageKind kind, const std::string& caption,
                     const std::string& text) override;

    /// The window the dialogs belong to; none gives free-standing dialogs.
    QPointer<QWidget> Owner;

private:
    // Beside the window, not over it: what the answer changes stays in sight.
    void OpenBesideOwner(QWidget& dialog) const;
};

} // namespace statlume
