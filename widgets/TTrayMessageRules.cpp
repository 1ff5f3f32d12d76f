#include "widgets/TTrayMessageRules.h"

#include <utility>

QList<TTrayMouseMessage> MessagesForActivation(TTrayActivation activation)
{
    switch (activation) {
    case TTrayActivation::Trigger:
        return {TTrayMouseMessage::LButtonDown, TTrayMouseMessage::LButtonUp};
    case TTrayActivation::DoubleClick:
        return {TTrayMouseMessage::LButtonDblClk};
    case TTrayActivation::Context:
        return {TTrayMouseMessage::RButtonDown, TTrayMouseMessage::RButtonUp};
    case TTrayActivation::MiddleClick:
        return {TTrayMouseMessage::MButtonDown, TTrayMouseMessage::MButtonUp};
    case TTrayActivation::Unknown:
        break;
    }
    return {};
}

TTrayMessageRules::TTrayMessageRules(TActions actions) : m_actions(std::move(actions)) {}

void TTrayMessageRules::ClearPressed()
{
    m_leftPressed = false;
    m_rightPressed = false;
}

void TTrayMessageRules::Handle(TTrayMouseMessage message, TShiftState keys, QPoint pos)
{
    const auto down = [&](TMouseButton button, TShiftState shift) {
        if (m_actions.MouseDown)
            m_actions.MouseDown(button, shift, pos);
    };
    const auto up = [&](TMouseButton button, TShiftState shift) {
        if (m_actions.MouseUp)
            m_actions.MouseUp(button, shift, pos);
    };
    const auto click = [&](TMouseButton button, TShiftState shift) {
        if (m_actions.Click)
            m_actions.Click(button, shift, pos);
    };

    switch (message) {
    case TTrayMouseMessage::MouseMove:
        if (m_actions.MouseMove)
            m_actions.MouseMove(keys, pos);
        break;
    case TTrayMouseMessage::LButtonDown:
        down(TMouseButton::mbLeft, keys | TShiftFlag::ssLeft);
        m_leftPressed = true;
        break;
    case TTrayMouseMessage::LButtonUp:
        if (m_leftPressed) {
            m_leftPressed = false;
            click(TMouseButton::mbLeft, keys | TShiftFlag::ssLeft);
        }
        up(TMouseButton::mbLeft, keys | TShiftFlag::ssLeft);
        break;
    case TTrayMouseMessage::LButtonDblClk:
        if (m_actions.DblClick)
            m_actions.DblClick();
        down(TMouseButton::mbLeft, keys | TShiftFlag::ssDouble);
        break;
    case TTrayMouseMessage::RButtonDown:
        down(TMouseButton::mbRight, keys | TShiftFlag::ssRight);
        m_rightPressed = true;
        break;
    case TTrayMouseMessage::RButtonUp:
        if (m_rightPressed) {
            m_rightPressed = false;
            click(TMouseButton::mbRight, keys | TShiftFlag::ssRight);
        }
        up(TMouseButton::mbRight, keys | TShiftFlag::ssRight);
        break;
    case TTrayMouseMessage::RButtonDblClk:
        down(TMouseButton::mbRight, keys | TShiftFlag::ssDouble);
        break;
    case TTrayMouseMessage::MButtonDown:
        down(TMouseButton::mbMiddle, keys | TShiftFlag::ssMiddle);
        break;
    case TTrayMouseMessage::MButtonUp:
        up(TMouseButton::mbMiddle, keys | TShiftFlag::ssMiddle);
        break;
    case TTrayMouseMessage::MButtonDblClk:
        down(TMouseButton::mbMiddle, keys | TShiftFlag::ssDouble);
        break;
    }
}
