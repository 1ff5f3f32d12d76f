#include "dialogs/TTipList.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_TTipList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void lineBreaks_data()
    {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("shown");
        QTest::newRow("lower-n") << "one\\ntwo"
                                 << "one\r\ntwo";
        QTest::newRow("upper-n") << "one\\Ntwo"
                                 << "one\r\ntwo";
        QTest::newRow("several") << "a\\nb\\nc"
                                 << "a\r\nb\r\nc";
        QTest::newRow("lone-backslash-stays") << "C:\\tips \\ x"
                                              << "C:\\tips \\ x";
        QTest::newRow("backslash-at-end") << "end\\"
                                          << "end\\";
        QTest::newRow("double-backslash-then-n") << "a\\\\nb"
                                                 << "a\\\r\nb";
    }
    void lineBreaks()
    {
        QFETCH(QString, tip);
        QFETCH(QString, shown);
        QCOMPARE(TTipList::ConvertLineBreaks(tip), shown);
    }

    void loadsOneTipPerLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("charset");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << 0 << QStringList{"a", "b"};
        QTest::newRow("lf-no-final-break") << QByteArray("a\nb") << 0 << QStringList{"a", "b"};
        QTest::newRow("blank-lines-are-tips")
            << QByteArray("a\r\n\r\nb\r\n") << 0 << QStringList{"a", "", "b"};
        QTest::newRow("converted") << QByteArray("x\\ny\r\n") << 0 << QStringList{"x\r\ny"};
        QTest::newRow("empty-file") << QByteArray() << 0 << QStringList{};
        QTest::newRow("windows-1251")
            << QByteArray("\xD1\xEE\xE2\xE5\xF2\r\n") << 204 << QStringList{QString::fromUtf8("Совет")};
        QTest::newRow("windows-1252")
            << QByteArray("F\xFCr Sie\r\n") << 0 << QStringList{QString::fromUtf8("Für Sie")};
        QTest::newRow("utf8-bom") << QByteArray("\xEF\xBB\xBF\xD0\xA1\n") << 0
                                  << QStringList{QString::fromUtf8("С")};
    }
    void loadsOneTipPerLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, charset);
        QFETCH(QStringList, tips);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QCOMPARE(TTipList::LoadTips(path, charset), tips);
    }

    void missingFileGivesNoTips()
    {
        QVERIFY(TTipList::LoadTips(m_dir.filePath("TIPS.XX"), 0).isEmpty());
        QVERIFY(TTipList::LoadTips(m_dir.path(), 0).isEmpty());
    }

    void startIndex_data()
    {
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::newRow("zero") << 0.0 << 3 << 0;
        QTest::newRow("rounds-down") << 0.4 << 3 << 1;
        QTest::newRow("rounds-up") << 0.5 << 3 << 2;
        QTest::newRow("near-one-wraps-to-first") << 0.99 << 3 << 0;
        QTest::newRow("one-tip") << 0.7 << 1 << 0;
        QTest::newRow("no-tips") << 0.5 << 0 << -1;
    }
    void startIndex()
    {
        QFETCH(double, r);
        QFETCH(int, count);
        QFETCH(int, index);
        QCOMPARE(TTipList::StartIndex(r, count), index);
    }
};

QTEST_GUILESS_MAIN(tst_TTipList)
#include "tst_TTipList.moc"
