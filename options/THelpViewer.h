#pragma once

#include <QDialog>

class QTextBrowser;

// A small window that shows one topic of a help file (see THelpFile).
class THelpViewer : public QDialog
{
    Q_OBJECT

public:
    explicit THelpViewer(QWidget* owner = nullptr);

    QTextBrowser* txtTopic = nullptr;

    // Shows the topic of the help context from the file, or every topic for context 0; a
    // missing file or topic says so in the window instead. Returns false then.
    bool ShowTopic(const QString& helpFile, int context);
};

// The help context of a control: its own "HelpContext" property, else that of the nearest
// parent that has one; 0 when none has.
int HelpContextOf(const QWidget* widget);
