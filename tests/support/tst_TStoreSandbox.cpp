#include "platform/TRegistry.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

#include "tests/support/TStoreSandbox.h"

// The sandbox every store test stands on: its variables must not outlive it, and Reset() must
// leave nothing of the previous test.
class tst_TStoreSandbox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void givesTheEnvironmentBack()
    {
        qputenv("VREL_USER_REGISTRY", "/before/user.db");
        qunsetenv("VREL_MACHINE_REGISTRY");
        qunsetenv("VREL_WEB_HOST");
        const bool configWasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([] { qunsetenv("VREL_USER_REGISTRY"); });
        {
            TStoreSandbox sandbox;
            QVERIFY(sandbox.isValid());
            QCOMPARE(qgetenv("VREL_USER_REGISTRY"), sandbox.filePath("user.db").toUtf8());
            QCOMPARE(qgetenv("VREL_MACHINE_REGISTRY"), sandbox.filePath("machine.db").toUtf8());
            QCOMPARE(qgetenv("XDG_CONFIG_HOME"), sandbox.filePath("config").toUtf8());
            sandbox.Set("VREL_WEB_HOST", "maker.test");
            sandbox.Set("VREL_USER_REGISTRY", "/elsewhere/user.db");
            QVERIFY(sandbox.Reset());
            QCOMPARE(qgetenv("VREL_USER_REGISTRY"), sandbox.filePath("user.db").toUtf8());
        }
        QCOMPARE(qgetenv("VREL_USER_REGISTRY"), QByteArray("/before/user.db"));
        QVERIFY(!qEnvironmentVariableIsSet("VREL_MACHINE_REGISTRY"));
        QVERIFY(!qEnvironmentVariableIsSet("VREL_WEB_HOST"));
        QCOMPARE(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"), configWasSet);
        QCOMPARE(qgetenv("XDG_CONFIG_HOME"), config);
    }

    void resetLeavesAnEmptyStore()
    {
        TStoreSandbox sandbox;
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Left\\Over").writeString("v", "x"));
        QFile stray(sandbox.filePath("stray.txt"));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.close();
        QVERIFY(sandbox.Reset());
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "Left"));
        QVERIFY(!QFile::exists(sandbox.filePath("stray.txt")));
        QVERIFY(QDir(sandbox.path()).exists());
    }
};

QTEST_GUILESS_MAIN(tst_TStoreSandbox)
#include "tst_TStoreSandbox.moc"
