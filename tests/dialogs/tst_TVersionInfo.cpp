#include "dialogs/TVersionInfo.h"
#include "lang/Lang.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_TVersionInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QTest::currentTestFunction() + QString(QTest::currentDataTag()));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    // The block the build put into the program.
    void programBlock()
    {
        const TVersionInfo info(ProgramFilePath());
        QVERIFY(info.Valid());
        QCOMPARE(info.Translation(), std::optional<quint32>(0x04E40409));
        QCOMPARE(info.TranslationKey(), QString("040904E4"));
        QCOMPARE(info.ProductVersion(), (std::pair<quint32, quint32>(0x00010002, 0)));
        QCOMPARE(info.StringValue("ProductName"), QString("Vrel Web Camera"));
        QCOMPARE(info.StringValue("CompanyName"), QString("Vrel Kestro Software"));
        QVERIFY(!info.StringValue("Comments").isEmpty());
        QVERIFY(info.StringValue("LegalCopyright").contains("Vrel Kestro Software"));
        QCOMPARE(info.StringValue("NoSuchValue"), QString());
    }

    void versionText_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("1.2.0.0") << "1.2.0.0"
                                 << "1.2";
        QTest::newRow("1.2.3.0") << "1.2.3.0"
                                 << "1.23";
        QTest::newRow("1.2.0.7-build-never-shows") << "1.2.0.7"
                                                   << "1.2";
        QTest::newRow("1.2.5.9") << "1.2.5.9"
                                 << "1.25";
        QTest::newRow("10.11.12.0") << "10.11.12.0"
                                    << "10.1112";
    }
    void versionText()
    {
        QFETCH(QString, version);
        QFETCH(QString, text);
        const TVersionInfo info(write("VERSIONINFO\n[\\]\nProductVersion=" + version.toLatin1() + "\n"));
        const auto [ms, ls] = info.ProductVersion();
        QCOMPARE(TVersionInfo::VersionText(ms, ls), text);
    }

    void missingParts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("no-block") << QByteArray("\x7F"
                                                "ELF binary")
                                  << false << false << QString() << QString();
        QTest::newRow("empty-file") << QByteArray() << false << false << QString() << QString();
        QTest::newRow("no-fixed-part")
            << QByteArray(
                   "VERSIONINFO\n[\\VarFileInfo\\Translation]\n0407 04E4\n[\\StringFileInfo\\040704E4]\n"
                   "ProductName=Kamera\n")
            << true << false << "040704E4"
            << "Kamera";
        QTest::newRow("no-translation") << QByteArray("VERSIONINFO\n[\\]\nProductVersion=1.0.0.0\n"
                                                      "[\\StringFileInfo\\040904E4]\nProductName=X\n")
                                        << true << true << QString() << QString();
        QTest::newRow("strings-of-another-translation")
            << QByteArray(
                   "VERSIONINFO\n[\\VarFileInfo\\Translation]\n0409 04B0\n[\\StringFileInfo\\040904E4]\n"
                   "ProductName=X\n")
            << true << false << "040904B0" << QString();
        QTest::newRow("bad-version-number") << QByteArray("VERSIONINFO\n[\\]\nProductVersion=1.x.0.0\n")
                                            << true << false << QString() << QString();
    }
    void missingParts()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        QFETCH(bool, fixed);
        QFETCH(QString, key);
        QFETCH(QString, name);
        const TVersionInfo info(write(content));
        QCOMPARE(info.Valid(), valid);
        QCOMPARE(info.FixedInfo().has_value(), fixed);
        QCOMPARE(info.TranslationKey(), key);
        QCOMPARE(info.StringValue("ProductName"), name);
    }

    void missingFileIsNotValid()
    {
        const TVersionInfo info(m_dir.filePath("absent"));
        QVERIFY(!info.Valid());
        QCOMPARE(info.Translation(), std::optional<quint32>());
        QCOMPARE(info.ProductVersion(), (std::pair<quint32, quint32>(0, 0)));
    }
};

QTEST_GUILESS_MAIN(tst_TVersionInfo)
#include "tst_TVersionInfo.moc"
