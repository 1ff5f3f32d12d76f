#include "platform/TUserPrompt.h"

#include "platform/TTrace.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace TUserPrompt {
namespace {

TResponder& responder()
{
    static TResponder r;
    return r;
}

// Answers scripted for a whole process through the environment, consumed in order.
bool takeScriptedAnswer(QString* answer)
{
    static const bool scripted = qEnvironmentVariableIsSet("VREL_AUTO_ANSWER");
    static QStringList answers = qEnvironmentVariable("VREL_AUTO_ANSWER").split(QLatin1Char(','));
    if (!scripted)
        return false;
    *answer = answers.isEmpty() ? QStringLiteral("cancel") : answers.takeFirst().trimmed();
    return true;
}

const char* kindName(TKind kind)
{
    switch (kind) {
    case TKind::Information:
        return "information";
    case TKind::Confirm:
        return "confirm";
    case TKind::SaveFile:
        return "save-file";
    }
    return "?";
}

// Returns true when the request was answered without showing anything.
bool answeredByScript(const TRequest& request, QString* answer)
{
    TTrace::write("prompt", QStringLiteral("%1 %2: %3")
                                .arg(QLatin1String(kindName(request.Kind)), request.Caption, request.Text));
    if (responder()) {
        *answer = responder()(request);
        return true;
    }
    return takeScriptedAnswer(answer);
}

// "GIF Image (*.gif)|*.gif|..." becomes Qt's ";;"-separated form.
QString qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList labels;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        labels.append(parts.at(i));
    return labels.join(QStringLiteral(";;"));
}

} // namespace

void setResponder(TResponder r)
{
    responder() = std::move(r);
}

void ShowMessage(QWidget* parent, const QString& text)
{
    TRequest request{TKind::Information, QApplication::applicationName(), text, {}, {}};
    QString answer;
    if (answeredByScript(request, &answer))
        return;
    QMessageBox box(QMessageBox::NoIcon, request.Caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool Confirm(QWidget* parent, const QString& caption, const QString& text)
{
    TRequest request{TKind::Confirm, caption, text, {}, {}};
    QString answer;
    if (answeredByScript(request, &answer))
        return answer.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                     const QString& defaultExt, const QString& proposedName)
{
    TRequest request{TKind::SaveFile, caption, proposedName, filter, defaultExt};
    QString answer;
    if (answeredByScript(request, &answer))
        return answer.compare(QLatin1String("cancel"), Qt::CaseInsensitive) == 0 ? QString() : answer;
    QFileDialog dialog(parent, caption, QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultExt);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

} // namespace TUserPrompt
