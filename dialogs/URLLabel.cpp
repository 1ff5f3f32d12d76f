#include "dialogs/URLLabel.h"

#include "dialogs/CursorRegistry.h"
#include "platform/TUserPrompt.h"

#include <QMouseEvent>

TURLLabel::TURLLabel(QWidget* parent) : QLabel(parent), m_cursorId(CursorRegistry::URLHandCursor())
{
    setCursor(CursorRegistry::Cursor(m_cursorId));
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    SetFontColor(NormalColor);
}

void TURLLabel::SetCursorId(int id)
{
    m_cursorId = id;
    setCursor(CursorRegistry::Cursor(id));
}

QColor TURLLabel::FontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TURLLabel::SetFontColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TURLLabel::Click()
{
    Q_EMIT clicked();
    if (URL.isEmpty())
        return;
    if (ShellOpen(URL)) {
        m_visited = true;
        return;
    }
    if (OnOpenFailed)
        OnOpenFailed(this);
    else
        throw EURLError();
}

void TURLLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (ShowHover)
        SetFontColor(HoverColor);
}

void TURLLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    SetFontColor(RestingColor());
}

void TURLLabel::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    m_pressed = event->button() == Qt::LeftButton;
    SetFontColor(RestingColor());
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (!click)
        return;
    try {
        Click();
    } catch (const EURLError& error) {
        // What the program's error box would show: the event loop cannot carry the error.
        TUserPrompt::ShowMessage(window(), error.message());
    }
}
