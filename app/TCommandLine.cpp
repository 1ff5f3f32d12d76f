#include "app/TCommandLine.h"

#include "platform/AsciiUpper.h"

TCommandLine::TCommandLine(const QString& firstArgument)
    : m_argument(firstArgument), m_upper(AsciiUpper(firstArgument))
{
    if (m_upper.isEmpty())
        m_switch = TStartSwitch::None;
    else if (m_upper.contains(QLatin1String("-LANG")))
        m_switch = TStartSwitch::Language;
    else if (m_upper == QLatin1String("-STARTOPTIONS"))
        m_switch = TStartSwitch::StartOptions;
    else if (m_upper == QLatin1String("-QUIT"))
        m_switch = TStartSwitch::Quit;
    else
        m_switch = TStartSwitch::Other;
}

bool TCommandLine::RunsEventLoop() const
{
    return m_switch == TStartSwitch::None || m_switch == TStartSwitch::Other;
}

QString TCommandLine::LanguageCode() const
{
    const int colon = m_upper.indexOf(QLatin1Char(':'));
    return colon < 0 ? m_upper.left(2) : m_upper.mid(colon + 1, 2);
}

TInstanceMessage TCommandLine::SecondCopyMessage() const
{
    if (m_switch == TStartSwitch::None)
        return TInstanceMessage::ShowOptions;
    if (m_switch == TStartSwitch::Quit)
        return TInstanceMessage::QuitRequest;
    return TInstanceMessage::ShowAbout;
}
