#include "platform/TSingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* const ModeEnv = "VREL_TEST_INSTANCE_MODE";
const QString TestName = QStringLiteral("VrelInstanceTest");

// Child-process modes of this test program:
//   hold    take the lock (and listen), print "first" or "second", then wait for stdin to close
//   notify  send the message named in VREL_TEST_MESSAGE, print "delivered" or "nobody"
int runChild(const QByteArray& mode, int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    TSingleInstance instance(TestName);
    if (mode == "hold") {
        const bool first = instance.Acquire();
        TInstanceServer server;
        QString error;
        if (first && !server.Listen(instance.ServerName(), &error))
            return 3;
        std::printf(first ? "first\n" : "second\n");
        std::fflush(stdout);
        char line[16];
        while (std::fgets(line, sizeof line, stdin)) {
        }
        return 0;
    }
    if (mode == "stranger") {
        // Another user's program writing a valid request straight to the running copy's socket.
        QLocalSocket socket;
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(QString::fromUtf8(qgetenv("VREL_TEST_SERVER")));
        if (!socket.waitForConnected(5000))
            return 4;
        socket.write("WM_SHOWABOUT\n");
        socket.waitForBytesWritten(5000);
        socket.waitForReadyRead(3000);
        std::printf(socket.readAll().isEmpty() ? "unanswered\n" : "answered\n");
        return 0;
    }
    const QByteArray name = qgetenv("VREL_TEST_MESSAGE");
    TInstanceMessage message = TInstanceMessage::ShowAbout;
    if (name == "WM_SHOWOPTIONS")
        message = TInstanceMessage::ShowOptions;
    else if (name == "WM_QUITREQUEST")
        message = TInstanceMessage::QuitRequest;
    std::printf("sending\n");
    std::fflush(stdout);
    const bool delivered = NotifyRunningInstance(instance, message) == TNotifyResult::Delivered;
    std::printf(delivered ? "delivered\n" : "nobody\n");
    return 0;
}

// Any local program can do this: connect straight to the running copy's abstract name (a zero
// byte, then the name, nothing after it). Returns the descriptor, or -1.
int connectRaw(const QString& name)
{
    const QByteArray bytes = name.toLatin1();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(bytes.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the running copy has closed a raw peer's connection. An endless peer keeps writing.
bool peerDropped(int fd, bool keepWriting)
{
    if (keepWriting) {
        const QByteArray more(1024, 'x');
        if (::send(fd, more.constData(), static_cast<std::size_t>(more.size()), MSG_NOSIGNAL | MSG_DONTWAIT) <
                0 &&
            errno != EAGAIN)
            return true;
    }
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN);
}

int openDescriptors()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

class tst_TSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

    void startChild(QProcess& process, const QByteArray& mode, const QByteArray& message = QByteArray())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(ModeEnv, QString::fromLatin1(mode));
        env.insert("VREL_TEST_MESSAGE", QString::fromLatin1(message));
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(process.waitForStarted());
    }

    // Whether the child ended normally; it may have ended while the event loop ran.
    static bool finishedCleanly(QProcess& process)
    {
        if (process.state() != QProcess::NotRunning)
            process.waitForFinished(20000);
        return process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    static QByteArray readLine(QProcess& process)
    {
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(20000))
                return QByteArray();
        }
        return process.readLine().trimmed();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
    }

    void oneHolderAtATime()
    {
        auto first = std::make_unique<TSingleInstance>(TestName);
        TSingleInstance second(TestName);
        QVERIFY(first->Acquire());
        QVERIFY(first->HoldsLock());
        QVERIFY(!second.Acquire());
        QVERIFY(second.IsHeldElsewhere());
        first.reset();
        QVERIFY(!second.IsHeldElsewhere());
        QVERIFY(second.Acquire());
        QVERIFY(QFileInfo(second.LockPath()).dir() == QDir(m_runtime.path()));
    }

    void simultaneousStartsYieldOneHolder()
    {
        constexpr int Copies = 6;
        std::vector<std::unique_ptr<QProcess>> copies;
        for (int i = 0; i < Copies; ++i) {
            copies.push_back(std::make_unique<QProcess>());
            startChild(*copies.back(), "hold");
        }
        QStringList answers;
        for (auto& copy : copies)
            answers.append(QString::fromLatin1(readLine(*copy)));
        QCOMPARE(answers.count("first"), 1);
        QCOMPARE(answers.count("second"), Copies - 1);
        for (auto& copy : copies) {
            copy->closeWriteChannel();
            QVERIFY(finishedCleanly(*copy));
        }
    }

    // The kernel drops a dead copy's lock and its socket; the next copy listens and is reached.
    void killedHolderBlocksNothing()
    {
        QProcess holder;
        startChild(holder, "hold");
        QCOMPARE(readLine(holder), QByteArray("first"));
        TSingleInstance instance(TestName);
        QVERIFY(!instance.Acquire());
        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished());

        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY2(server.Listen(instance.ServerName(), &error), qPrintable(error));
        QSignalSpy received(&server, &TInstanceServer::MessageReceived);
        QProcess sender;
        startChild(sender, "notify", "WM_SHOWOPTIONS");
        QVERIFY(received.wait());
        QCOMPARE(received.first().first().value<TInstanceMessage>(), TInstanceMessage::ShowOptions);
        QVERIFY(finishedCleanly(sender));
        QVERIFY(sender.readAll().contains("delivered"));
    }

    void postedMessagesArrive_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<TInstanceMessage>("message");
        QTest::newRow("about") << QByteArray("WM_SHOWABOUT") << TInstanceMessage::ShowAbout;
        QTest::newRow("options") << QByteArray("WM_SHOWOPTIONS") << TInstanceMessage::ShowOptions;
    }
    void postedMessagesArrive()
    {
        QFETCH(QByteArray, name);
        QFETCH(TInstanceMessage, message);
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY(server.Listen(instance.ServerName(), &error));
        QSignalSpy received(&server, &TInstanceServer::MessageReceived);
        QProcess sender;
        startChild(sender, "notify", name);
        QVERIFY(received.wait());
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().first().value<TInstanceMessage>(), message);
        QVERIFY(finishedCleanly(sender));
    }

    // A socket path may be 107 bytes at most; a runtime folder of 200 characters must work.
    void longRuntimeFolderIsReached()
    {
        const QString folder = m_runtime.filePath(QString(199 - m_runtime.path().size(), QLatin1Char('f')));
        QCOMPARE(folder.size(), 200);
        QVERIFY(QDir().mkpath(folder));
        qputenv("XDG_RUNTIME_DIR", folder.toUtf8());
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY2(server.Listen(instance.ServerName(), &error), qPrintable(error));
        QSignalSpy received(&server, &TInstanceServer::MessageReceived);
        QProcess sender;
        startChild(sender, "notify", "WM_SHOWOPTIONS");
        QVERIFY(received.wait());
        QVERIFY(finishedCleanly(sender));
        QVERIFY(sender.readAll().contains("delivered"));
    }

    // A copy that holds the lock and listens but never runs its event loop takes nothing: the
    // sender must not call that delivered.
    void postedMessageNobodyTakesIsNotDelivered_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("about") << QByteArray("WM_SHOWABOUT");
        QTest::newRow("quit-holder-dies") << QByteArray("WM_QUITREQUEST");
    }
    void postedMessageNobodyTakesIsNotDelivered()
    {
        QFETCH(QByteArray, name);
        QProcess holder;
        startChild(holder, "hold");
        QCOMPARE(readLine(holder), QByteArray("first"));
        QProcess sender;
        startChild(sender, "notify", name);
        QCOMPARE(readLine(sender), QByteArray("sending"));
        if (name == "WM_QUITREQUEST") {
            QVERIFY(sender.state() == QProcess::Running && !sender.waitForFinished(500));
            ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        }
        QVERIFY(finishedCleanly(sender));
        QCOMPARE(sender.readAll().trimmed(), QByteArray("nobody"));
        holder.kill();
        holder.waitForFinished();
    }

    // The socket's name is reachable by every local user; only this user's copies are heard.
    void otherUsersAreNotHeard()
    {
        if (getuid() != 0)
            QSKIP("needs root to run a client as another user");
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY(server.Listen(instance.ServerName(), &error));
        QSignalSpy received(&server, &TInstanceServer::MessageReceived);
        QProcess stranger;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(ModeEnv, "stranger");
        env.insert("VREL_TEST_SERVER", instance.ServerName());
        stranger.setProcessEnvironment(env);
        stranger.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                   QCoreApplication::applicationFilePath()});
        QVERIFY(stranger.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(stranger.state() == QProcess::NotRunning, 20000);
        QCOMPARE(stranger.exitCode(), 0);
        QCOMPARE(stranger.readAll().trimmed(), QByteArray("unanswered"));
        QCOMPARE(received.size(), 0);
    }

    void quitRequestWaitsForItsHandler()
    {
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY(server.Listen(instance.ServerName(), &error));
        QProcess sender;
        bool handled = false;
        bool senderRanDuringHandler = false;
        connect(&server, &TInstanceServer::MessageReceived, this, [&](TInstanceMessage message) {
            QCOMPARE(message, TInstanceMessage::QuitRequest);
            // A sender that did not wait would be gone long before this.
            senderRanDuringHandler = sender.state() == QProcess::Running && !sender.waitForFinished(500);
            handled = true;
        });
        startChild(sender, "notify", "WM_QUITREQUEST");
        QTRY_VERIFY_WITH_TIMEOUT(handled, 20000);
        QVERIFY2(senderRanDuringHandler, "the sender ended before its request was handled");
        QVERIFY(finishedCleanly(sender));
        QVERIFY(sender.readAll().contains("delivered"));
    }

    void quitRequestReturnsWhenTheRunningCopyDies()
    {
        QProcess holder;
        startChild(holder, "hold");
        QCOMPARE(readLine(holder), QByteArray("first"));
        QProcess sender;
        startChild(sender, "notify", "WM_QUITREQUEST");
        QCOMPARE(readLine(sender), QByteArray("sending"));
        // The holder never handles messages: its loop does not run.
        QVERIFY(sender.state() == QProcess::Running && !sender.waitForFinished(500));
        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished());
        QVERIFY(finishedCleanly(sender));
        QCOMPARE(sender.exitCode(), 0);
    }

    void nobodyToTellEndsAtOnce()
    {
        QProcess sender;
        startChild(sender, "notify", "WM_SHOWABOUT");
        QVERIFY(finishedCleanly(sender));
        QVERIFY(sender.readAll().contains("nobody"));
    }

    void strangeRequestsAreDropped_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("unknown-word") << QByteArray("WM_FORMAT_DISK\n");
        QTest::newRow("endless-line") << QByteArray(4096, 'x');
        QTest::newRow("binary") << QByteArray("\0\1\2\n", 4);
    }
    void strangeRequestsAreDropped()
    {
        QFETCH(QByteArray, request);
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY(server.Listen(instance.ServerName(), &error));
        QSignalSpy received(&server, &TInstanceServer::MessageReceived);

        QLocalSocket stranger;
        stranger.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        stranger.connectToServer(instance.ServerName());
        QVERIFY(stranger.waitForConnected());
        stranger.write(request);
        QVERIFY(stranger.waitForBytesWritten());
        QTRY_COMPARE_WITH_TIMEOUT(stranger.state(), QLocalSocket::UnconnectedState, 10000);

        QProcess sender;
        startChild(sender, "notify", "WM_SHOWABOUT");
        QVERIFY(received.wait());
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().first().value<TInstanceMessage>(), TInstanceMessage::ShowAbout);
        QVERIFY(finishedCleanly(sender));
    }

    // Peers that never send a request of ours: nothing is handled, the running copy keeps
    // serving others meanwhile, closes them (a silent one after a few seconds) and leaks nothing.
    void brokenPeersAreDropped_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<bool>("endless");
        QTest::newRow("silent") << QByteArray() << false << false;
        QTest::newRow("half-line-then-silent") << QByteArray("WM_SHOWAB") << false << false;
        QTest::newRow("half-line-then-hang-up") << QByteArray("WM_QUITREQ") << true << false;
        QTest::newRow("garbage-line") << QByteArray("\xff\xfe\0WM_QUITREQUEST\n", 18) << false << false;
        QTest::newRow("endless-line") << QByteArray(4096, 'x') << false << true;
    }
    void brokenPeersAreDropped()
    {
        QFETCH(QByteArray, sent);
        QFETCH(bool, hangUp);
        QFETCH(bool, endless);
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        const int descriptorsBefore = openDescriptors();
        {
            TInstanceServer server;
            QString error;
            QVERIFY(server.Listen(instance.ServerName(), &error));
            QSignalSpy received(&server, &TInstanceServer::MessageReceived);
            int peer = connectRaw(instance.ServerName());
            QVERIFY(peer >= 0);
            const auto closePeer = qScopeGuard([&peer] {
                if (peer >= 0)
                    ::close(peer);
            });
            QCOMPARE(::send(peer, sent.constData(), static_cast<std::size_t>(sent.size()), MSG_NOSIGNAL),
                     static_cast<ssize_t>(sent.size()));
            if (hangUp) {
                ::close(peer);
                peer = -1;
            }

            QProcess sender;
            startChild(sender, "notify", "WM_SHOWABOUT");
            QVERIFY(received.wait());
            QVERIFY(finishedCleanly(sender));
            QVERIFY(sender.readAll().contains("delivered"));
            if (peer >= 0)
                QTRY_VERIFY_WITH_TIMEOUT(peerDropped(peer, endless), 20000);
            QCOMPARE(received.size(), 1);
            QCOMPARE(received.first().first().value<TInstanceMessage>(), TInstanceMessage::ShowAbout);
        }
        QCOMPARE(openDescriptors(), descriptorsBefore);
    }

    // A peer that leaves right after its request still gets it handled, as before; answering
    // the empty socket must not end the running copy (SIGPIPE) or keep its descriptor.
    void requestOfAPeerThatLeftIsHandled_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<TInstanceMessage>("message");
        QTest::newRow("posted") << QByteArray("WM_SHOWOPTIONS\n") << TInstanceMessage::ShowOptions;
        QTest::newRow("quit") << QByteArray("WM_QUITREQUEST\n") << TInstanceMessage::QuitRequest;
    }
    void requestOfAPeerThatLeftIsHandled()
    {
        QFETCH(QByteArray, request);
        QFETCH(TInstanceMessage, message);
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        const int descriptorsBefore = openDescriptors();
        {
            TInstanceServer server;
            QString error;
            QVERIFY(server.Listen(instance.ServerName(), &error));
            QSignalSpy received(&server, &TInstanceServer::MessageReceived);
            const int peer = connectRaw(instance.ServerName());
            QVERIFY(peer >= 0);
            const ssize_t sent =
                ::send(peer, request.constData(), static_cast<std::size_t>(request.size()), 0);
            ::close(peer);
            QCOMPARE(sent, static_cast<ssize_t>(request.size()));
            QVERIFY(received.wait());
            QCOMPARE(received.first().first().value<TInstanceMessage>(), message);
        }
        QCOMPARE(openDescriptors(), descriptorsBefore);
    }

    // A copy built with QLocalSocket (AbstractNamespaceOption) reaches the plain server.
    void qtSocketClientReachesServer_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<TInstanceMessage>("message");
        QTest::newRow("about") << QByteArray("WM_SHOWABOUT\n") << TInstanceMessage::ShowAbout;
        QTest::newRow("options") << QByteArray("WM_SHOWOPTIONS\n") << TInstanceMessage::ShowOptions;
        QTest::newRow("quit") << QByteArray("WM_QUITREQUEST\n") << TInstanceMessage::QuitRequest;
    }
    void qtSocketClientReachesServer()
    {
        QFETCH(QByteArray, request);
        QFETCH(TInstanceMessage, message);
        TSingleInstance instance(TestName);
        QVERIFY(instance.Acquire());
        TInstanceServer server;
        QString error;
        QVERIFY(server.Listen(instance.ServerName(), &error));
        QSignalSpy received(&server, &TInstanceServer::MessageReceived);

        QLocalSocket client;
        client.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        QByteArray answer;
        connect(&client, &QLocalSocket::readyRead, this, [&] { answer += client.readAll(); });
        client.connectToServer(instance.ServerName());
        QVERIFY(client.waitForConnected(5000));
        client.write(request);
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 10000);
        answer += client.readAll();
        QCOMPARE(answer, QByteArray("handled\n"));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().first().value<TInstanceMessage>(), message);
    }

    // The plain client reaches a copy built with QLocalServer (AbstractNamespaceOption) and
    // sends it exactly the line it expects; without the answer nothing was delivered.
    void clientReachesQtSocketServer_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QByteArray>("printed");
        QTest::newRow("about") << QByteArray("WM_SHOWABOUT") << true << QByteArray("delivered");
        QTest::newRow("options") << QByteArray("WM_SHOWOPTIONS") << true << QByteArray("delivered");
        QTest::newRow("quit") << QByteArray("WM_QUITREQUEST") << true << QByteArray("delivered");
        QTest::newRow("quit-unanswered") << QByteArray("WM_QUITREQUEST") << false << QByteArray("nobody");
    }
    void clientReachesQtSocketServer()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, answers);
        QFETCH(QByteArray, printed);
        TSingleInstance instance(TestName);
        QLocalServer server;
        server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
        QVERIFY2(server.listen(instance.ServerName()), qPrintable(server.errorString()));
        QByteArray request;
        connect(&server, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* socket = server.nextPendingConnection();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [&request, socket, answers] {
                request += socket->readAll();
                if (!request.endsWith('\n'))
                    return;
                if (answers)
                    socket->write("handled\n");
                socket->disconnectFromServer();
            });
        });
        QProcess sender;
        startChild(sender, "notify", name);
        // The Qt server lives in this process: keep its event loop turning while the child talks.
        QTRY_COMPARE_WITH_TIMEOUT(sender.state(), QProcess::NotRunning, 20000);
        QCOMPARE(sender.readAll().split('\n').mid(0, 2), (QList<QByteArray>{"sending", printed}));
        QCOMPARE(request, name + '\n');
        QVERIFY(finishedCleanly(sender));
    }

    // The sender's socket is closed on every way out.
    void senderLeavesNoDescriptorOpen_data()
    {
        QTest::addColumn<bool>("holderRuns");
        QTest::newRow("nobody-holds-the-lock") << false;
        QTest::newRow("holder-never-answers") << true;
    }
    void senderLeavesNoDescriptorOpen()
    {
        QFETCH(bool, holderRuns);
        QProcess holder;
        if (holderRuns) {
            startChild(holder, "hold");
            QCOMPARE(readLine(holder), QByteArray("first"));
        }
        const auto endHolder = qScopeGuard([&holder] {
            holder.kill();
            holder.waitForFinished();
        });
        TSingleInstance instance(TestName);
        const int descriptorsBefore = openDescriptors();
        QCOMPARE(NotifyRunningInstance(instance, TInstanceMessage::ShowAbout), TNotifyResult::NoRunningCopy);
        QCOMPARE(openDescriptors(), descriptorsBefore);
    }
};

int main(int argc, char* argv[])
{
    const QByteArray mode = qgetenv(ModeEnv);
    if (!mode.isEmpty())
        return runChild(mode, argc, argv);
    QCoreApplication app(argc, argv);
    qRegisterMetaType<TInstanceMessage>();
    tst_TSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_TSingleInstance.moc"
