#pragma once

#include "platform/TSingleInstance.h"

#include <QString>

// What the first command-line argument asks for. Only the first argument counts, and it is
// compared upper-cased, so switches match in any letter case.
enum class TStartSwitch
{
    None,         // no argument (or an empty one): full start with the options window
    Language,     // "-LANG" anywhere in the argument: store the language and end
    StartOptions, // exactly "-STARTOPTIONS": start-up sequence, then end
    Quit,         // exactly "-QUIT": start-up sequence, then offer to clear the settings, then end
    Other         // anything else, such as "-start" from the autostart entry: quiet start
};

class TCommandLine
{
public:
    explicit TCommandLine(const QString& firstArgument = QString());

    QString FirstArgument() const { return m_argument; }
    TStartSwitch Switch() const { return m_switch; }
    // The start-up opens the options window and the add-camera dialog only without an argument.
    bool HasArgument() const { return !m_argument.isEmpty(); }
    // The first copy enters its event loop only for no argument or an ordinary one.
    bool RunsEventLoop() const;
    // For the language switch: the two characters after the first ":" of the upper-cased
    // argument, or its first two characters when it has no ":".
    QString LanguageCode() const;
    // What a second copy sends the running one.
    TInstanceMessage SecondCopyMessage() const;

private:
    QString m_argument;
    QString m_upper;
    TStartSwitch m_switch = TStartSwitch::None;
};
