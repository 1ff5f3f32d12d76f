#pragma once

#include <QColor>
#include <QLabel>

#include <functional>
#include <stdexcept>

// A link the label could not open, and nobody handles OnOpenFailed.
class EURLError : public std::runtime_error
{
public:
    EURLError() : std::runtime_error("Can't open web-site. May be you have no default browser installed") {}
    QString message() const { return QString::fromLatin1(what()); }
};

// A label that looks and acts like a hyperlink: underlined, navy until opened, HoverColor
// while the mouse is over it (with ShowHover), VisitColor after a successful open once the
// mouse leaves or is pressed. A click opens URL through the desktop. The font colour is the
// palette's WindowText.
class TURLLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TURLLabel(QWidget* parent = nullptr);

    QString URL;
    // A registered cursor id (CursorRegistry); "URLHand" unless changed.
    int CursorId() const { return m_cursorId; }
    void SetCursorId(int id);
    QColor HoverColor = QColor(255, 0, 0);
    QColor NormalColor = QColor(0, 0, 128);
    QColor VisitColor = QColor(0, 0, 255);
    bool ShowHover = true;
    // Called instead of the error when URL cannot be opened.
    std::function<void(TURLLabel* Sender)> OnOpenFailed;

    bool Visited() const { return m_visited; }
    QColor FontColor() const;

    // The label's click: clicked(), then the open. Throws EURLError when opening fails and
    // OnOpenFailed is not set.
    void Click();

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetFontColor(const QColor& color);
    QColor RestingColor() const { return m_visited ? VisitColor : NormalColor; }

    int m_cursorId;
    bool m_visited = false;
    bool m_pressed = false;
};
