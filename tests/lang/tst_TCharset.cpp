#include "lang/TCharset.h"

#include <QtTest>

class tst_TCharset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each character set's code page turns a word written in it into the right letters.
    void decodesAKnownWord_data()
    {
        QTest::addColumn<int>("charset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("word");
        QTest::newRow("0-western") << 0 << QByteArray("Gr\xFC\xDF") << QString::fromUtf8("Grüß");
        QTest::newRow("204-cyrillic")
            << 204 << QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2") << QString::fromUtf8("Привет");
        QTest::newRow("238-central-european") << 238 << QByteArray("\xB9\xE6") << QString::fromUtf8("ąć");
        QTest::newRow("161-greek") << 161 << QByteArray("\xE1\xE2\xE3") << QString::fromUtf8("αβγ");
        QTest::newRow("162-turkish") << 162 << QByteArray("\xF0\xFE") << QString::fromUtf8("ğş");
        QTest::newRow("177-hebrew") << 177 << QByteArray("\xF9\xEC\xE5\xED") << QString::fromUtf8("שלום");
        QTest::newRow("178-arabic") << 178 << QByteArray("\xC7\xE1") << QString::fromUtf8("ال");
        QTest::newRow("186-baltic") << 186 << QByteArray("\xE0\xFB") << QString::fromUtf8("ąū");
        QTest::newRow("222-thai") << 222 << QByteArray("\xA1\xA2") << QString::fromUtf8("กข");
        QTest::newRow("128-japanese") << 128 << QByteArray("\x93\xFA\x96\x7B") << QString::fromUtf8("日本");
        QTest::newRow("129-korean") << 129 << QByteArray("\xC7\xD1\xB1\xB9") << QString::fromUtf8("한국");
        QTest::newRow("134-simplified-chinese")
            << 134 << QByteArray("\xD6\xD0\xCE\xC4") << QString::fromUtf8("中文");
        QTest::newRow("136-traditional-chinese")
            << 136 << QByteArray("\xA4\xA4\xA4\xE5") << QString::fromUtf8("中文");
        QTest::newRow("unknown-is-western") << 77 << QByteArray("\xE9") << QString::fromUtf8("é");
    }
    void decodesAKnownWord()
    {
        QFETCH(int, charset);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, word);
        QCOMPARE(TCharset::Decode(bytes, charset), word);
    }

    void undefinedBytesBecomeReplacementCharacters_data()
    {
        QTest::addColumn<int>("charset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("undefined-in-1252") << 0 << QByteArray("a\x81z") << QString::fromUtf8("a\uFFFDz");
        QTest::newRow("cut-double-byte-at-end") << 128 << QByteArray("a\x93") << QString::fromUtf8("a\uFFFD");
        QTest::newRow("nul-kept") << 0 << QByteArray("a\0b", 3) << QString::fromUtf8("a\0b", 3);
    }
    void undefinedBytesBecomeReplacementCharacters()
    {
        QFETCH(int, charset);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TCharset::Decode(bytes, charset), text);
    }

    void fileDecoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("charset");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf8-with-bom")
            << QByteArray("\xEF\xBB\xBF\xD0\x9C\xD0\xB8") << 204 << QString::fromUtf8("Ми");
        QTest::newRow("utf8-without-bom-is-8-bit") << QByteArray("\xD0\x9C") << 0 << QString::fromUtf8("Ðœ");
        QTest::newRow("bom-but-invalid")
            << QByteArray("\xEF\xBB\xBF\xCC") << 204 << QString::fromUtf8("\u043F\u00BB\u0457\u041C");
        QTest::newRow("bom-but-overlong")
            << QByteArray("\xEF\xBB\xBF\xC0\xAF") << 0 << QString::fromUtf8("ï»¿À¯");
        QTest::newRow("bom-but-cut-sequence")
            << QByteArray("\xEF\xBB\xBF\xE2\x82") << 0 << QString::fromUtf8("ï»¿â‚");
    }
    void fileDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, charset);
        QFETCH(QString, text);
        QCOMPARE(TCharset::DecodeFile(bytes, charset), text);
    }
};

QTEST_GUILESS_MAIN(tst_TCharset)
#include "tst_TCharset.moc"
