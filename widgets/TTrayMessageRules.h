#pragma once

#include <QFlags>
#include <QList>
#include <QPoint>

#include <functional>

// The mouse messages the notification area reports for the tray icon, and the rules that turn
// them into the tray component's events.

enum class TTrayMouseMessage
{
    MouseMove,
    LButtonDown,
    LButtonUp,
    LButtonDblClk,
    RButtonDown,
    RButtonUp,
    RButtonDblClk,
    MButtonDown,
    MButtonUp,
    MButtonDblClk
};

enum class TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle
};

enum class TShiftFlag
{
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40
};
Q_DECLARE_FLAGS(TShiftState, TShiftFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

// What a desktop tray reports, independent of the toolkit's own enumeration.
enum class TTrayActivation
{
    Unknown,
    Trigger,
    DoubleClick,
    Context,
    MiddleClick
};

// A tray reports completed gestures; each becomes the button messages a click would have sent:
// Trigger a left down and up, DoubleClick a left double click, Context a right down and up,
// MiddleClick a middle down and up. Unknown gives none.
QList<TTrayMouseMessage> MessagesForActivation(TTrayActivation activation);

// Keeps the two "pressed" marks (a button went down on the icon) and dispatches each message to
// the owner's actions. A button released over the icon after being pressed elsewhere completes
// no click. An action that throws ends the handling of that message; the marks keep what was
// decided before it ran (a release clears its mark before the click runs).
class TTrayMessageRules
{
public:
    struct TActions
    {
        std::function<void(TShiftState shift, QPoint pos)> MouseMove;
        std::function<void(TMouseButton button, TShiftState shift, QPoint pos)> MouseDown;
        std::function<void(TMouseButton button, TShiftState shift, QPoint pos)> MouseUp;
        std::function<void(TMouseButton button, TShiftState shift, QPoint pos)> Click;
        std::function<void()> DblClick;
    };

    explicit TTrayMessageRules(TActions actions);

    // keys: the Shift, Ctrl and Alt flags held now; pos: the cursor's screen position now.
    void Handle(TTrayMouseMessage message, TShiftState keys, QPoint pos);
    void ClearPressed();

    bool LeftPressed() const { return m_leftPressed; }
    bool RightPressed() const { return m_rightPressed; }

private:
    TActions m_actions;
    bool m_leftPressed = false;
    bool m_rightPressed = false;
};
