#include "platform/TAutostart.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class tst_TAutostart : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.filePath("config")).removeRecursively();
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
    }

    void execLineQuoting_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/usr/bin/vrel-web-camera"
                               << "/usr/bin/vrel-web-camera -start";
        QTest::newRow("blank") << "/opt/Vrel Web/vrel-web-camera"
                               << "\"/opt/Vrel Web/vrel-web-camera\" -start";
        QTest::newRow("double-quote") << "/opt/a\"b/x"
                                      << "\"/opt/a\\\\\"b/x\" -start";
        QTest::newRow("dollar-and-backtick") << "/opt/$HOME`x`/x"
                                             << "\"/opt/\\\\$HOME\\\\`x\\\\`/x\" -start";
        QTest::newRow("backslash-becomes-four") << "/opt/a\\b/x"
                                                << "\"/opt/a\\\\\\\\b/x\" -start";
        QTest::newRow("single-quote") << "/opt/it's/x"
                                      << "\"/opt/it's/x\" -start";
        QTest::newRow("percent-is-no-field-code") << "/opt/100%/x"
                                                  << "/opt/100%%/x -start";
        QTest::newRow("semicolon-and-hash") << "/opt/a;b#c/x"
                                            << "\"/opt/a;b#c/x\" -start";
    }
    void execLineQuoting()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(TAutostart::ExecLine(path), exec);
    }

    void entryPathFollowsConfigHome_data()
    {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QByteArray("/srv/cfg") << "/srv/cfg/autostart/vrel-web-camera.desktop";
        QTest::newRow("relative-is-ignored")
            << QByteArray("cfg") << QDir::homePath() + "/.config/autostart/vrel-web-camera.desktop";
        QTest::newRow("empty") << QByteArray()
                               << QDir::homePath() + "/.config/autostart/vrel-web-camera.desktop";
    }
    void entryPathFollowsConfigHome()
    {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, expected);
        qputenv("XDG_CONFIG_HOME", configHome);
        QCOMPARE(TAutostart::EntryPath(), expected);
    }

    void writeThenRemove()
    {
        QString error;
        QVERIFY(TAutostart::Write("/opt/Vrel Web/vrel-web-camera", &error));
        QFile file(m_dir.filePath("config/autostart/vrel-web-camera.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        file.close();
        QCOMPARE(lines.first(), QString("[Desktop Entry]"));
        QVERIFY(lines.contains("Type=Application"));
        QVERIFY(lines.contains("Name=Vrel Web Camera"));
        QVERIFY(lines.contains("Exec=\"/opt/Vrel Web/vrel-web-camera\" -start"));
        QVERIFY(TAutostart::Exists());

        QVERIFY(TAutostart::Remove(&error));
        QVERIFY(!TAutostart::Exists());
        QVERIFY2(TAutostart::Remove(&error), "removing an absent entry is not a failure");
    }

    void writeBelowAFileFails()
    {
        QFile blocker(m_dir.filePath("config"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        QVERIFY(!TAutostart::Write("/usr/bin/vrel-web-camera", &error));
        QVERIFY(!error.isEmpty());
        QFile::remove(m_dir.filePath("config"));
    }
};

QTEST_GUILESS_MAIN(tst_TAutostart)
#include "tst_TAutostart.moc"
