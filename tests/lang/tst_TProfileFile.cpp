#include "lang/TProfileFile.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_TProfileFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray basic = "[Translations]\r\nfrmA.btnB.Caption=Weiter\r\n";
        QTest::newRow("plain") << basic << "Translations"
                               << "frmA.btnB.Caption"
                               << "Weiter";
        QTest::newRow("section-other-case") << basic << "TRANSLATIONS"
                                            << "frmA.btnB.Caption"
                                            << "Weiter";
        QTest::newRow("key-other-case") << basic << "Translations"
                                        << "FRMA.BTNB.CAPTION"
                                        << "Weiter";
        QTest::newRow("missing-key") << basic << "Translations"
                                     << "frmA.btnC.Caption"
                                     << "DEF";
        QTest::newRow("missing-section") << basic << "Messages"
                                         << "frmA.btnB.Caption"
                                         << "DEF";
        QTest::newRow("key-in-other-section")
            << QByteArray("[Messages]\nvchA=1\n[Translations]\nx=2\n") << "Translations"
            << "vchA"
            << "DEF";
        QTest::newRow("first-key-counts") << QByteArray("[S]\nk=first\nK=second\n") << "S"
                                          << "k"
                                          << "first";
        QTest::newRow("first-section-counts") << QByteArray("[S]\na=1\n[T]\nb=2\n[s]\nb=3\n") << "S"
                                              << "b"
                                              << "DEF";
        QTest::newRow("blanks-around-key-and-value") << QByteArray("[S]\n  \t k \t=  \t v w \t \n") << "S"
                                                     << "k"
                                                     << "v w";
        QTest::newRow("blanks-around-asked-names") << basic << " Translations "
                                                   << "  frmA.btnB.Caption "
                                                   << "Weiter";
        QTest::newRow("blanks-around-section") << QByteArray("  [ S ]  \nk=v\n") << "S"
                                               << "k"
                                               << "v";
        QTest::newRow("double-quotes-dropped") << QByteArray("[S]\nk=  \" a b \"  \n") << "S"
                                               << "k"
                                               << " a b ";
        QTest::newRow("single-quotes-dropped") << QByteArray("[S]\nk='x'\n") << "S"
                                               << "k"
                                               << "x";
        QTest::newRow("only-one-pair-dropped") << QByteArray("[S]\nk=\"\"x\"\"\n") << "S"
                                               << "k"
                                               << "\"x\"";
        QTest::newRow("unmatched-quote-kept") << QByteArray("[S]\nk=\"x\n") << "S"
                                              << "k"
                                              << "\"x";
        QTest::newRow("empty-value") << QByteArray("[S]\nk=\n") << "S"
                                     << "k" << QString();
        QTest::newRow("equals-in-value") << QByteArray("[S]\nk=a=b\n") << "S"
                                         << "k"
                                         << "a=b";
        QTest::newRow("line-without-equals-skipped") << QByteArray("[S]\nk\nk=v\n") << "S"
                                                     << "k"
                                                     << "v";
        QTest::newRow("lf-only-and-no-final-break") << QByteArray("[S]\nk=v") << "S"
                                                    << "k"
                                                    << "v";
        QTest::newRow("cr-only-breaks") << QByteArray("[S]\rj=1\rk=v\r") << "S"
                                        << "k"
                                        << "v";
        QTest::newRow("nul-ends-value") << QByteArray("[S]\nk=ab\0cd\n", 12) << "S"
                                        << "k"
                                        << "ab";
        QTest::newRow("utf8-bom-before-section") << QByteArray("\xEF\xBB\xBF[S]\nk=\xC3\xBC\n") << "S"
                                                 << "k" << QString::fromUtf8("\u00FC");
        QTest::newRow("8-bit-without-bom-is-1252") << QByteArray("[S]\nk=\xFC\x80\n") << "S"
                                                   << "k" << QString::fromUtf8("\u00FC\u20AC");
        QTest::newRow("invalid-utf8-behind-bom-is-8-bit") << QByteArray("\xEF\xBB\xBF[S]\nk=\xFC\n") << "S"
                                                          << "k" << QString::fromUtf8("\u00FC");
        QTest::newRow("own-charset-decides")
            << QByteArray("[Messages]\nnCharset=204\n[S]\nk=\xCC\xE8\xF0\n") << "S"
            << "k" << QString::fromUtf8("\u041C\u0438\u0440");
        QTest::newRow("binary-garbage") << QByteArray("\x00\xFF\x01[\x02=\x03\n\xFE=\n", 11) << "S"
                                        << "k"
                                        << "DEF";
    }
    void readingRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString path = write(QString::fromLatin1(QTest::currentDataTag()), content);
        QCOMPARE(TProfileFile(path).ReadString(section, key, "DEF"), expected);
    }

    void missingFileGivesTheDefault()
    {
        QCOMPARE(TProfileFile(m_dir.filePath("nothing-here")).ReadString("S", "k", "DEF"), QString("DEF"));
        QCOMPARE(TProfileFile(m_dir.path()).ReadString("S", "k", "DEF"), QString("DEF"));
    }

    void valueIsCutAt2047Characters_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("expected");
        QTest::newRow("2046") << 2046 << 2046;
        QTest::newRow("2047") << 2047 << 2047;
        QTest::newRow("2048") << 2048 << 2047;
        QTest::newRow("one-megabyte-line") << 1024 * 1024 << 2047;
    }
    void valueIsCutAt2047Characters()
    {
        QFETCH(int, length);
        QFETCH(int, expected);
        const QByteArray value(length, 'a');
        const QString path = write("long", "[S]\nk=" + value + "\nnext=after\n");
        const TProfileFile file(path);
        QCOMPARE(file.ReadString("S", "k", "DEF"), QString(expected, QLatin1Char('a')));
        // What follows a long line is still found.
        QCOMPARE(file.ReadString("S", "next", "DEF"), QString("after"));
    }

    // A 100 MB file: the key at its end is found and nothing is held in memory at once.
    void hugeFileIsReadAsAStream()
    {
        const QString path = m_dir.filePath("huge");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[S]\n");
            const QByteArray block(1024 * 1024, '\0');
            for (int i = 0; i < 100; ++i)
                QCOMPARE(file.write(block), block.size());
            file.write("\nk=found\n");
        }
        QCOMPARE(TProfileFile(path).ReadString("S", "k", "DEF"), QString("found"));
    }

    // The file is read afresh at every call: a change between two reads shows.
    void everyReadGoesToTheFile()
    {
        const QString path = write("changing", "[S]\nk=one\n");
        const TProfileFile file(path);
        QCOMPARE(file.ReadString("S", "k", "DEF"), QString("one"));
        write("changing", "[S]\nk=two\n");
        QCOMPARE(file.ReadString("S", "k", "DEF"), QString("two"));
    }
};

QTEST_GUILESS_MAIN(tst_TProfileFile)
#include "tst_TProfileFile.moc"
