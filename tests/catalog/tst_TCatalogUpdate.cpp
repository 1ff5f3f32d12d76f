#include "camera/RegistryLayout.h"
#include "catalog/ExeRunner.h"
#include "catalog/TCatalogUpdate.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

// The catalog update's decisions and the program launcher, without a window.
class tst_TCatalogUpdate : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

    QString script(const QString& name, const QByteArray& body)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
            return QString();
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.Reset());
        m_dir.Set("VREL_WEB_HOST", "maker.test");
    }
    void cleanup() { TRegistryStore::closeAll(); }

    void progressPercent_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("readed");
        QTest::addColumn<int>("percent");
        QTest::newRow("512-of-2048") << 2048 << 512 << 25;
        QTest::newRow("half-rounds-to-even-down") << 200 << 1 << 0; // 0.5
        QTest::newRow("half-rounds-to-even-up") << 200 << 3 << 2;   // 1.5
        QTest::newRow("two-and-a-half") << 200 << 5 << 2;           // 2.5
        QTest::newRow("just-above-half") << 1000 << 6 << 1;         // 0.6
        QTest::newRow("all") << 12345 << 12345 << 100;
        QTest::newRow("big-file-no-overflow") << 50000000 << 25000000 << 50;
    }
    void progressPercent()
    {
        QFETCH(int, total);
        QFETCH(int, readed);
        QFETCH(int, percent);
        QCOMPARE(TCatalogUpdate::ProgressPercent(total, readed), percent);
    }

    void firstLineBecomesRegedit4_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("other-header-crlf")
            << QByteArray("Windows Registry Editor Version 5.00\r\n\r\n[A]\r\n")
            << QByteArray("REGEDIT4\r\n\r\n[A]\r\n");
        QTest::newRow("lf-lines") << QByteArray("JUNK\n[A]\n\"x\"=\"1\"\n")
                                  << QByteArray("REGEDIT4\r\n[A]\r\n\"x\"=\"1\"\r\n");
        QTest::newRow("cr-lines") << QByteArray("JUNK\r[A]\r") << QByteArray("REGEDIT4\r\n[A]\r\n");
        QTest::newRow("mixed-and-empty-lines")
            << QByteArray("J\n\r\n\r[A]") << QByteArray("REGEDIT4\r\n\r\n\r\n[A]\r\n");
        QTest::newRow("last-line-without-end") << QByteArray("J\r\n[A]") << QByteArray("REGEDIT4\r\n[A]\r\n");
        QTest::newRow("text-ends-at-nul")
            << QByteArray("J\r\n[A]\r\n\0[B]\r\n", 15) << QByteArray("REGEDIT4\r\n[A]\r\n");
        QTest::newRow("single-line") << QByteArray("REGEDIT4") << QByteArray("REGEDIT4\r\n");
    }
    void firstLineBecomesRegedit4()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);
        QCOMPARE(TCatalogUpdate::WithRegeditHeader(content), expected);
    }

    void namesCatalogKeys_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("names");
        QTest::newRow("camera-key") << QByteArray(
                                           "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro "
                                           "Software\\Vrel Kestro Web Camera\\Favorites\\A\\B]\r\n")
                                    << true;
        QTest::newRow("catalog-key-itself-short-root-other-case")
            << QByteArray("REGEDIT4\r\n[hklm\\software\\vrel kestro software\\vrel kestro web "
                          "camera\\FAVORITES]\r\n")
            << true;
        QTest::newRow("deleting-the-catalog")
            << QByteArray("REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web "
                          "Camera\\Favorites]\r\n")
            << true;
        QTest::newRow("error-page") << QByteArray("REGEDIT4\r\n<body>401 Authorization Required</body>\r\n")
                                    << false;
        QTest::newRow("favourites-only")
            << QByteArray("REGEDIT4\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web "
                          "Camera\\Favorites\\A]\r\n")
            << false;
        QTest::newRow("longer-key-name") << QByteArray("REGEDIT4\r\n[HKLM\\SOFTWARE\\Vrel Kestro "
                                                       "Software\\Vrel Kestro Web Camera\\FavoritesX]\r\n")
                                         << false;
        QTest::newRow("not-at-line-start")
            << QByteArray("REGEDIT4\r\n\"x\"=\"[HKLM\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web "
                          "Camera\\Favorites]\"\r\n")
            << false;
    }
    void namesCatalogKeys()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, names);
        QCOMPARE(TCatalogUpdate::NamesCatalogKeys(content), names);
    }

    void catalogAddress_data()
    {
        QTest::addColumn<QVariant>("own");
        QTest::addColumn<QString>("address");
        QTest::newRow("maker-host") << QVariant() << "maker.test/info/vwcfavorites.reg";
        QTest::newRow("own-address") << QVariant("https://cams.example.org:8443/our.reg")
                                     << "https://cams.example.org:8443/our.reg";
        QTest::newRow("own-address-blanks-around")
            << QVariant(" http://a.test/c.reg ") << "http://a.test/c.reg";
        QTest::newRow("empty-value") << QVariant("") << "maker.test/info/vwcfavorites.reg";
        QTest::newRow("number-value") << QVariant(7) << "maker.test/info/vwcfavorites.reg";
    }
    void catalogAddress()
    {
        QFETCH(QVariant, own);
        QFETCH(QString, address);
        TRegKey key = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QVERIFY(key.isOpen());
        if (own.typeId() == QMetaType::QString)
            QVERIFY(key.writeString("CatalogURL", own.toString()));
        else if (own.isValid())
            QVERIFY(key.writeDword("CatalogURL", own.toInt()));
        QCOMPARE(TCatalogUpdate::CatalogAddress(), address);
    }

    void credentialsHaveTheirShape()
    {
        QVERIFY(QRegularExpression("^[a-z]{4}$").match(TCatalogUpdate::UserName()).hasMatch());
        QVERIFY(QRegularExpression("^[0-9]{6}$").match(TCatalogUpdate::Password()).hasMatch());
    }

    void argumentsReachTheProgramAsTheyStand()
    {
        const QString out = m_dir.filePath("args.txt");
        const QString program =
            script("print args.sh", "for a in \"$@\"; do printf '%s|' \"$a\"; done > \"$OUT\"\n");
        qputenv("OUT", out.toUtf8());
        const QStringList args{"import", "/tmp/a b/c\"d'e.reg", "$(touch x)", ";rm -rf /"};
        QProcess* process = RunProgram(program, args, this);
        QVERIFY(process);
        QCOMPARE(WaitForProgram(process, 10000), TProgramEnd::Succeeded);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("import|/tmp/a b/c\"d'e.reg|$(touch x)|;rm -rf /|"));
        delete process;
    }

    void programEnds_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("end");
        QTest::newRow("exit-0") << QByteArray("exit 0\n") << int(TProgramEnd::Succeeded);
        QTest::newRow("exit-1") << QByteArray("exit 1\n") << int(TProgramEnd::Failed);
        QTest::newRow("killed-by-signal") << QByteArray("kill -9 $$\n") << int(TProgramEnd::Failed);
        QTest::newRow("runs-too-long") << QByteArray("exec sleep 30\n") << int(TProgramEnd::TimedOut);
    }
    void programEnds()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, end);
        QProcess* process = RunProgram(script("p.sh", body), {}, this);
        QVERIFY(process);
        QCOMPARE(int(WaitForProgram(process, 500)), end);
        QCOMPARE(process->state(), QProcess::NotRunning);
        delete process;
    }

    void missingProgramIsNotStarted() { QVERIFY(!RunProgram(m_dir.filePath("no such program"), {}, this)); }
};

QTEST_GUILESS_MAIN(tst_TCatalogUpdate)
#include "tst_TCatalogUpdate.moc"
