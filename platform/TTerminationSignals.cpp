#include "platform/TTerminationSignals.h"

#include <QSocketNotifier>
#include <QString>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t g_writeFd = -1;

extern "C" void onSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (g_writeFd >= 0)
        (void)::write(g_writeFd, &byte, 1); // a full pipe already holds a wake-up
    errno = savedErrno;
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (g_writeFd >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    g_writeFd = fds[1];
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TTerminationSignals::readPipe);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : Handled)
        ::sigaction(number, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals()
{
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : Handled)
        ::sigaction(number, &action, nullptr);
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    ::close(writeFd);
    ::close(m_readFd);
}

QString TTerminationSignals::SignalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(signalNumber);
    }
}

void TTerminationSignals::readPipe()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t count = ::read(m_readFd, bytes, sizeof bytes);
        if (count <= 0)
            break;
        for (ssize_t i = 0; i < count; ++i)
            emit Received(bytes[i]);
    }
}
