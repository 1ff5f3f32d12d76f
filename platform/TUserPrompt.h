#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Every message box and file dialog of the program goes through here, so that tests can
// answer them: in-process with setResponder(), or for a whole process with
// VREL_AUTO_ANSWER="yes,no,/tmp/x.jpg,..." (answers taken in order; "ok", "yes", "no",
// "cancel", or a file name for a file dialog; an exhausted list answers "cancel").
// Each prompt is traced as "prompt <kind> <caption>: <text>".
namespace TUserPrompt {

enum class TKind
{
    Information, // one OK button
    Confirm,     // question icon, "&Yes" and "&No"
    SaveFile
};

struct TRequest
{
    TKind Kind = TKind::Information;
    QString Caption;
    QString Text;       // message text, or the proposed file name
    QString Filter;     // file dialogs: "Label (*.a;*.b)|*.a;*.b|..." as the program writes it
    QString DefaultExt; // file dialogs, without the dot
};

// The answer: "ok", "yes", "no", "cancel", or the chosen file name.
using TResponder = std::function<QString(const TRequest&)>;

// Replaces the real dialogs until reset with an empty function. UI thread only.
void setResponder(TResponder responder);

// Plain information box with the application title as caption.
void ShowMessage(QWidget* parent, const QString& text);
// Confirmation with the buttons "&Yes" and "&No"; true for Yes.
bool Confirm(QWidget* parent, const QString& caption, const QString& text);
// Save dialog; empty when cancelled. Prompts before overwriting; the folder must exist.
QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                     const QString& defaultExt, const QString& proposedName);

} // namespace TUserPrompt
