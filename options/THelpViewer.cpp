#include "options/THelpViewer.h"

#include "options/THelpFile.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString topicHtml(const THelpFile::TTopic& topic)
{
    QString html = QStringLiteral("<h3>%1</h3>").arg(topic.Title.toHtmlEscaped());
    for (const QString& paragraph : topic.Paragraphs)
        html += QStringLiteral("<p>%1</p>").arg(paragraph.toHtmlEscaped());
    return html;
}

} // namespace

THelpViewer::THelpViewer(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmHelpViewer"));
    setWindowTitle(QStringLiteral("Help"));
    resize(380, 260);
    txtTopic = new QTextBrowser(this);
    txtTopic->setObjectName(QStringLiteral("txtTopic"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtTopic);
    layout->addWidget(close, 0, Qt::AlignRight);
}

bool THelpViewer::ShowTopic(const QString& helpFile, int context)
{
    THelpFile file;
    QString error;
    if (!file.Load(helpFile, &error)) {
        txtTopic->setPlainText(error);
        return false;
    }
    if (context == 0) {
        // A control without a topic of its own: every topic, as a table of contents would lead to.
        QString html;
        for (int each : file.Contexts())
            html += topicHtml(file.Topic(each));
        txtTopic->setHtml(html);
        return true;
    }
    if (!file.HasTopic(context)) {
        txtTopic->setPlainText(
            QStringLiteral("The help file %1 has no topic %2.").arg(helpFile).arg(context));
        return false;
    }
    const THelpFile::TTopic topic = file.Topic(context);
    txtTopic->setHtml(topicHtml(topic));
    setWindowTitle(QStringLiteral("Help - ") + topic.Title);
    return true;
}

int HelpContextOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant context = w->property("HelpContext");
        if (context.isValid() && context.toInt() != 0)
            return context.toInt();
        if (w->isWindow())
            break;
    }
    return 0;
}
