#include "platform/TRegExport.h"
#include "platform/TRegImport.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

namespace {

const QByteArray Header("REGEDIT4\r\n\r\n");
// Header, blank line, key line: a body's first line is line 4 of the file.
const QByteArray KeyT = Header + "[HKEY_CURRENT_USER\\T]\r\n";

// One key's values as "name=type:hexdata", in the store's order.
QString valuesOf(TRegRoot root, const QString& path)
{
    QStringList out;
    for (const TRegValue& v : TRegKey::open(root, path).values())
        out.append(
            QStringLiteral("%1=%2:%3").arg(v.Name).arg(v.Type).arg(QString::fromLatin1(v.Data.toHex())));
    return out.join(QLatin1Char(' '));
}

// Every key below path (not path itself), depth first, with the stored case.
void collectKeys(TRegRoot root, const QString& path, QStringList* out)
{
    for (const QString& name : TRegKey::open(root, path).subKeyNames()) {
        const QString child = path.isEmpty() ? name : path + QLatin1Char('\\') + name;
        out->append(regRootName(root) + QLatin1Char('\\') + child);
        collectKeys(root, child, out);
    }
}

QStringList allKeys()
{
    QStringList keys;
    collectKeys(TRegRoot::CurrentUser, QString(), &keys);
    collectKeys(TRegRoot::LocalMachine, QString(), &keys);
    return keys;
}

// Keys, values, types and bytes of a whole subtree, for comparing two stores.
QStringList dump(TRegRoot root, const QString& path)
{
    QStringList out{path + QLatin1String(" {") + valuesOf(root, path) + QLatin1Char('}')};
    for (const QString& name : TRegKey::open(root, path).subKeyNames())
        out += dump(root, path + QLatin1Char('\\') + name);
    return out;
}

QList<int> skippedLines(const TRegImportResult& result)
{
    QList<int> lines;
    for (const TRegSkippedLine& s : result.Skipped)
        lines.append(s.Line);
    return lines;
}

QString reasons(const TRegImportResult& result)
{
    QStringList out;
    for (const TRegSkippedLine& s : result.Skipped)
        out.append(QStringLiteral("%1: %2").arg(s.Line).arg(s.Reason));
    return out.join(QLatin1String("; "));
}

} // namespace

class tst_TRegImport : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

private Q_SLOTS:
    void init() { QVERIFY(m_dir.Reset()); }
    void cleanup() { TRegistryStore::closeAll(); }

    void valueLines_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QList<int>>("skipped");

        const QList<int> none;
        QTest::newRow("string") << QByteArray("\"v\"=\"text\"") << "v=1:7465787400" << none;
        QTest::newRow("string-escapes") << QByteArray(R"("v"="a\\b\"c")") << "v=1:615c62226300" << none;
        QTest::newRow("name-escapes") << QByteArray(R"("a\\b\"c"="")") << "a\\b\"c=1:00" << none;
        QTest::newRow("semicolon-inside-quotes") << QByteArray(R"("v"="a;b")") << "v=1:613b6200" << none;
        QTest::newRow("default-value-at") << QByteArray("@=\"d\"") << "=1:6400" << none;
        QTest::newRow("default-value-empty-name") << QByteArray("\"\"=\"d\"") << "=1:6400" << none;
        QTest::newRow("blanks-and-comment")
            << QByteArray(" \t\"v\" \t= \t\"x\"  ;note") << "v=1:7800" << none;
        QTest::newRow("dword") << QByteArray("\"v\"=dword:0000001f") << "v=4:1f000000" << none;
        QTest::newRow("dword-short-form") << QByteArray("\"v\"=dword:1") << "v=4:01000000" << none;
        QTest::newRow("dword-upper-hex") << QByteArray("\"v\"=dword:FFFFFFFE") << "v=4:feffffff" << none;
        QTest::newRow("dword-blanks-comment")
            << QByteArray("\"v\"=dword:\t00000008 ;x") << "v=4:08000000" << none;
        QTest::newRow("hex") << QByteArray("\"v\"=hex:aa,BB,1") << "v=3:aabb01" << none;
        QTest::newRow("hex-empty") << QByteArray("\"v\"=hex:") << "v=3:" << none;
        QTest::newRow("hex-trailing-comma") << QByteArray("\"v\"=hex:01,02,") << "v=3:0102" << none;
        QTest::newRow("hex-typed") << QByteArray("\"v\"=hex(2):25,00") << "v=2:2500" << none;
        QTest::newRow("hex2-gets-its-nul") << QByteArray("\"v\"=hex(2):41,42") << "v=2:414200" << none;
        QTest::newRow("hex7-gets-its-nul") << QByteArray("\"v\"=hex(7):61,00,62") << "v=7:61006200" << none;
        QTest::newRow("hex7-ending-in-nul-as-written")
            << QByteArray("\"v\"=hex(7):61,00,00") << "v=7:610000" << none;
        QTest::newRow("hex2-empty-gets-a-nul") << QByteArray("\"v\"=hex(2):") << "v=2:00" << none;
        QTest::newRow("hex2-continued-gets-its-nul")
            << QByteArray("\"v\"=hex(2):41,\\\r\n  42") << "v=2:414200" << none;
        QTest::newRow("hex2-nul-on-continued-line")
            << QByteArray("\"v\"=hex(2):41,\\\r\n  00") << "v=2:4100" << none;
        QTest::newRow("hex7-continued-to-end-of-file-gets-its-nul")
            << QByteArray("\"v\"=hex(7):61,\\") << "v=7:6100" << none;
        QTest::newRow("hex1-as-written") << QByteArray("\"v\"=hex(1):41") << "v=1:41" << none;
        QTest::newRow("hex-binary-as-written") << QByteArray("\"v\"=hex(3):41") << "v=3:41" << none;
        QTest::newRow("hex-type-b") << QByteArray("\"v\"=hex(b):01") << "v=11:01" << none;
        QTest::newRow("hex-type-ffffffff")
            << QByteArray("\"v\"=hex(ffffffff):01") << "v=4294967295:01" << none;
        QTest::newRow("hex-continued") << QByteArray("\"v\"=hex:01,\\\r\n  02") << "v=3:0102" << none;
        QTest::newRow("hex-continued-after-colon") << QByteArray("\"v\"=hex:\\\r\n  01") << "v=3:01" << none;
        QTest::newRow("hex-comment-after-backslash")
            << QByteArray("\"v\"=hex:01,  \\ ;c\r\n  02") << "v=3:0102" << none;
        QTest::newRow("hex-continued-over-blank-and-comment-lines")
            << QByteArray("\"v\"=hex:01,\\\r\n\r\n  ;c\r\n  02,\\\r\n03") << "v=3:010203" << none;
        QTest::newRow("hex-continued-to-end-of-file") << QByteArray("\"v\"=hex:01,\\") << "v=3:01" << none;
        QTest::newRow("hex-comma-then-comment-ends-list")
            << QByteArray("\"v\"=hex:01,;c\r\n  02") << "v=3:01" << QList<int>{5};
        QTest::newRow("delete-value")
            << QByteArray("\"v\"=\"x\"\r\n\"w\"=\"y\"\r\n\"V\"=-") << "w=1:7900" << none;
        QTest::newRow("delete-value-blanks-comment")
            << QByteArray("\"v\"=\"x\"\r\n\"v\"= \t- ;c") << "" << none;
        QTest::newRow("delete-missing-value-is-quiet") << QByteArray("\"v\"=-") << "" << none;
        QTest::newRow("later-line-wins")
            << QByteArray("\"v\"=\"x\"\r\n\"V\"=dword:2") << "v=4:02000000" << none;

        QTest::newRow("no-closing-quote") << QByteArray("\"v\"=\"text") << "" << QList<int>{4};
        QTest::newRow("text-after-quote") << QByteArray("\"v\"=\"a\"b\"") << "" << QList<int>{4};
        QTest::newRow("hash-is-no-comment") << QByteArray("\"v\"=\"a\" #c") << "" << QList<int>{4};
        QTest::newRow("unknown-escape") << QByteArray(R"("v"="C:\dir")") << "" << QList<int>{4};
        QTest::newRow("nul-escape") << QByteArray(R"("v"="\0")") << "" << QList<int>{4};
        QTest::newRow("name-without-quotes") << QByteArray("v=\"x\"") << "" << QList<int>{4};
        QTest::newRow("no-equals") << QByteArray("\"v\" \"x\"") << "" << QList<int>{4};
        QTest::newRow("no-data") << QByteArray("\"v\"=") << "" << QList<int>{4};
        QTest::newRow("unquoted-text") << QByteArray("\"v\"=text") << "" << QList<int>{4};
        QTest::newRow("delete-with-text") << QByteArray("\"v\"=-\"x\"") << "" << QList<int>{4};
        QTest::newRow("dword-nine-digits") << QByteArray("\"v\"=dword:000000001") << "" << QList<int>{4};
        QTest::newRow("dword-empty") << QByteArray("\"v\"=dword:") << "" << QList<int>{4};
        QTest::newRow("dword-0x") << QByteArray("\"v\"=dword:0x1") << "" << QList<int>{4};
        QTest::newRow("dword-trailing-text") << QByteArray("\"v\"=dword:1 abc") << "" << QList<int>{4};
        QTest::newRow("hex-three-digits") << QByteArray("\"v\"=hex:100") << "" << QList<int>{4};
        QTest::newRow("hex-double-comma") << QByteArray("\"v\"=hex:01,,02") << "" << QList<int>{4};
        QTest::newRow("hex-leading-comma") << QByteArray("\"v\"=hex:,01") << "" << QList<int>{4};
        QTest::newRow("hex-missing-comma") << QByteArray("\"v\"=hex:01 02") << "" << QList<int>{4};
        QTest::newRow("hex-type-nine-digits") << QByteArray("\"v\"=hex(100000000):01") << "" << QList<int>{4};
        QTest::newRow("hex-type-0x") << QByteArray("\"v\"=hex(0x2):01") << "" << QList<int>{4};
        QTest::newRow("hex-backslash-without-comma-keeps-next-line")
            << QByteArray("\"v\"=hex:01\\\r\n\"w\"=\"x\"") << "w=1:7800" << QList<int>{4};
        QTest::newRow("hex-continuation-swallows-next-value")
            << QByteArray("\"v\"=hex:01,\\\r\n\"w\"=\"x\"\r\n\"z\"=\"y\"") << "z=1:7900" << QList<int>{4};
        QTest::newRow("hex-continuation-line-starting-with-backslash")
            << QByteArray("\"v\"=hex:01,\\\r\n\\\r\n  02") << "" << QList<int>{4, 6};
        QTest::newRow("hex-continuation-hash-line")
            << QByteArray("\"v\"=hex:01,\\\r\n#c\r\n\"w\"=\"x\"") << "w=1:7800" << QList<int>{4};
        QTest::newRow("hex-text-after-backslash") << QByteArray("\"v\"=hex:01,\\02") << "" << QList<int>{4};
        QTest::newRow("hash-line") << QByteArray("#\"v\"=\"x\"") << "" << QList<int>{4};
        QTest::newRow("nul-byte-in-line")
            << QByteArray("\"v\"=\"a\0b\"\r\n\"w\"=\"x\"", 18) << "w=1:7800" << QList<int>{4};
    }
    void valueLines()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, values);
        QFETCH(QList<int>, skipped);
        const TRegImportResult result = RegImportBytes(KeyT + body + "\r\n");
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(valuesOf(TRegRoot::CurrentUser, "T"), values);
        QCOMPARE(skippedLines(result), skipped);
        QCOMPARE(result.SkippedCount, skipped.size());
    }

    void keyLines_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QList<int>>("skipped");

        const QList<int> none;
        QTest::newRow("creates-parents")
            << QByteArray("[HKEY_CURRENT_USER\\T\\A\\B]")
            << QStringList{"HKEY_CURRENT_USER\\T", "HKEY_CURRENT_USER\\T\\A", "HKEY_CURRENT_USER\\T\\A\\B"}
            << none;
        QTest::newRow("short-and-odd-case-roots")
            << QByteArray("[hkcu\\T]\r\n[HKLM\\M]\r\n[hkey_Local_machine\\M\\N]")
            << QStringList{"HKEY_CURRENT_USER\\T", "HKEY_LOCAL_MACHINE\\M", "HKEY_LOCAL_MACHINE\\M\\N"}
            << none;
        QTest::newRow("trailing-backslashes")
            << QByteArray("[HKCU\\T\\\\]") << QStringList{"HKEY_CURRENT_USER\\T"} << none;
        QTest::newRow("blank-at-end-is-part-of-the-name")
            << QByteArray("[HKCU\\T ]") << QStringList{"HKEY_CURRENT_USER\\T "} << none;
        QTest::newRow("bracket-in-name")
            << QByteArray("[HKCU\\a]b]") << QStringList{"HKEY_CURRENT_USER\\a]b"} << none;
        QTest::newRow("names-ignore-case")
            << QByteArray("[HKCU\\Tree]\r\n[HKCU\\TREE\\x]")
            << QStringList{"HKEY_CURRENT_USER\\Tree", "HKEY_CURRENT_USER\\Tree\\x"} << none;
        QTest::newRow("blank-before-root") << QByteArray("[ HKCU\\T]") << QStringList{} << QList<int>{3};
        QTest::newRow("no-closing-bracket") << QByteArray("[HKCU\\T") << QStringList{} << QList<int>{3};
        QTest::newRow("empty-brackets") << QByteArray("[]") << QStringList{} << QList<int>{3};
        QTest::newRow("other-root-and-its-values")
            << QByteArray("[HKEY_CLASSES_ROOT\\T]\r\n\"v\"=\"x\"") << QStringList{} << QList<int>{3, 4};
        QTest::newRow("unknown-root")
            << QByteArray("[HKEY_CURRENT_USERS\\T]") << QStringList{} << QList<int>{3};
        QTest::newRow("empty-name-inside-path")
            << QByteArray("[HKCU\\T\\\\A]") << QStringList{} << QList<int>{3};
        QTest::newRow("name-of-255") << "[HKCU\\" + QByteArray(255, 'k') + "]"
                                     << QStringList{"HKEY_CURRENT_USER\\" + QString(255, 'k')} << none;
        QTest::newRow("name-of-256") << "[HKCU\\" + QByteArray(256, 'k') + "]" << QStringList{}
                                     << QList<int>{3};
        QTest::newRow("value-before-any-key") << QByteArray("\"v\"=\"x\"") << QStringList{} << QList<int>{3};
        QTest::newRow("delete-subtree")
            << QByteArray("[HKCU\\T\\A\\B]\r\n[HKCU\\T\\C]\r\n[-HKCU\\T\\A]")
            << QStringList{"HKEY_CURRENT_USER\\T", "HKEY_CURRENT_USER\\T\\C"} << none;
        QTest::newRow("delete-ignores-case")
            << QByteArray("[HKCU\\T\\Abc]\r\n[-hkcu\\t\\aBC]") << QStringList{"HKEY_CURRENT_USER\\T"} << none;
        QTest::newRow("delete-missing-key-is-quiet") << QByteArray("[-HKCU\\Nope]") << QStringList{} << none;
        QTest::newRow("delete-root-refused")
            << QByteArray("[HKCU\\T]\r\n[-HKCU]") << QStringList{"HKEY_CURRENT_USER\\T"} << QList<int>{4};
        QTest::newRow("values-after-delete-go-nowhere")
            << QByteArray("[HKCU\\T]\r\n[-HKCU\\T\\A]\r\n\"v\"=\"x\"") << QStringList{"HKEY_CURRENT_USER\\T"}
            << QList<int>{5};
        QTest::newRow("blank-after-minus")
            << QByteArray("[HKCU\\T]\r\n[- HKCU\\T]") << QStringList{"HKEY_CURRENT_USER\\T"} << QList<int>{4};
        QTest::newRow("recreate-after-delete")
            << QByteArray("[HKCU\\T\\A]\r\n[-HKCU\\T]\r\n[HKCU\\T\\A\\B]")
            << QStringList{"HKEY_CURRENT_USER\\T", "HKEY_CURRENT_USER\\T\\A", "HKEY_CURRENT_USER\\T\\A\\B"}
            << none;
    }
    void keyLines()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, keys);
        QFETCH(QList<int>, skipped);
        const TRegImportResult result = RegImportBytes(Header + body + "\r\n");
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(allKeys(), keys);
        QCOMPARE(skippedLines(result), skipped);
    }

    void pathDepthLimit()
    {
        QByteArray deepest("[HKCU");
        for (int i = 0; i < TRegLimits::PathDepth; ++i)
            deepest += "\\k";
        const TRegImportResult result = RegImportBytes(Header + deepest + "]\r\n" + deepest + "\\k]\r\n");
        QVERIFY(result.Ok);
        QCOMPARE(result.KeysWritten, 1);
        QCOMPARE(skippedLines(result), QList<int>{4});
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, QString(deepest.mid(6))));
    }

    void headers_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");

        const QByteArray rest("\r\n\r\n[HKCU\\T]\r\n\"v\"=\"x\"\r\n");
        QTest::newRow("regedit4") << "REGEDIT4" + rest << true;
        QTest::newRow("version-5") << "Windows Registry Editor Version 5.00" + rest << true;
        QTest::newRow("blanks-around") << " \tREGEDIT4 \t" + rest << true;
        QTest::newRow("utf8-bom") << "\xEF\xBB\xBFREGEDIT4" + rest << true;
        const QString text =
            QStringLiteral("Windows Registry Editor Version 5.00") + QString::fromLatin1(rest);
        QTest::newRow("utf16le-bom") << "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()),
                                                                text.size() * 2)
                                     << true;
        QTest::newRow("lower-case") << "regedit4" + rest << false;
        QTest::newRow("trailing-word") << "REGEDIT4 FOO" + rest << false;
        QTest::newRow("regedit5") << "REGEDIT5" + rest << false;
        QTest::newRow("version-4") << "Windows Registry Editor Version 4.00" + rest << false;
        QTest::newRow("header-not-first") << "\r\nREGEDIT4" + rest << false;
        QTest::newRow("empty-file") << QByteArray() << false;
        QTest::newRow("html-error-page") << QByteArray("<html><body>404</body></html>\r\n") << false;
    }
    void headers()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        const TRegImportResult result = RegImportBytes(content);
        QCOMPARE(result.Ok, accepted);
        QCOMPARE(result.Error.isEmpty(), accepted);
        QCOMPARE(valuesOf(TRegRoot::CurrentUser, "T"), accepted ? QString("v=1:7800") : QString());
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("crlf") << QByteArray("\r\n");
        QTest::newRow("lf") << QByteArray("\n");
        QTest::newRow("cr") << QByteArray("\r");
    }
    void lineEnds()
    {
        QFETCH(QByteArray, lineEnd);
        QByteArray text = "REGEDIT4\n\n[HKCU\\T]\n\"v\"=hex:01,\\\n  02\n\n\"bad\n\"w\"=\"x\"";
        text.replace("\n", lineEnd);
        const TRegImportResult result = RegImportBytes(text);
        QVERIFY(result.Ok);
        QCOMPARE(valuesOf(TRegRoot::CurrentUser, "T"), QString("v=3:0102 w=1:7800"));
        QCOMPARE(skippedLines(result), QList<int>{7});
    }

    void utf16TextDataGetsA16BitNul_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("values");
        QTest::newRow("hex2-without-nul") << "hex(2):41,00"
                                          << "v=2:41000000";
        QTest::newRow("hex7-with-nul") << "hex(7):61,00,00,00,00,00"
                                       << "v=7:610000000000";
        QTest::newRow("hex2-odd-length") << "hex(2):41"
                                         << "v=2:41000000";
        QTest::newRow("binary-as-written") << "hex:41"
                                           << "v=3:41";
    }
    void utf16TextDataGetsA16BitNul()
    {
        QFETCH(QString, data);
        QFETCH(QString, values);
        const QString text =
            QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\T]\r\n\"v\"=") + data + "\r\n";
        const QByteArray file =
            "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        const TRegImportResult result = RegImportBytes(file);
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(valuesOf(TRegRoot::CurrentUser, "T"), values);
    }

    void textDecoding_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf8") << QByteArray("caf\xC3\xA9 \xE2\x82\xAC") << QStringLiteral("café €");
        QTest::newRow("latin1") << QByteArray("caf\xE9") << QStringLiteral("café");
        QTest::newRow("windows-1252") << QByteArray("\x80 \x93q\x94 \x9F") << QStringLiteral("€ “q” Ÿ");
        // One byte that is not UTF-8 makes the whole file 8-bit.
        QTest::newRow("mixed-file-is-windows-1252") << QByteArray("\xC3\xA9\xE9") << QStringLiteral("Ã©é");
    }
    void textDecoding()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        const TRegImportResult result =
            RegImportBytes(KeyT + "\"v\"=\"" + data + "\"\r\n\"" + data + "\"=dword:1\r\n");
        QVERIFY(result.Ok);
        const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, "T");
        QCOMPARE(key.queryValue("v")->Data, text.toUtf8() + QByteArray(1, '\0'));
        QVERIFY(key.hasValue(text));
    }

    void onlyKeepsEverythingElseUntouched()
    {
        const QString only = "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites";
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, "SOFTWARE\\V").writeString("Keep", "me"));
        QVERIFY(
            TRegKey::create(TRegRoot::LocalMachine, "SOFTWARE\\V\\Favorites\\Old").writeString("URL", "u"));
        const QByteArray file = Header +
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites\\Cam]\r\n" // 3
                                "\"URL\"=\"http://cam\"\r\n"                            // 4
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                                "\"Vrel Web Camera\"=\"evil\"\r\n"             // 6
                                "[HKLM\\SOFTWARE\\V\\Favorites2]\r\n"          // 7
                                "[HKLM\\SOFTWARE\\V]\r\n"                      // 8
                                "\"Keep\"=-\r\n"                               // 9
                                "[-HKLM\\SOFTWARE\\V]\r\n"                     // 10
                                "[-HKLM\\SOFTWARE]\r\n"                        // 11
                                "[-hklm\\software\\v\\FAVORITES\\old]\r\n"     // 12
                                "[hklm\\software\\v\\FAVORITES\\Cam\\Sub]\r\n" // 13
                                "[HKLM\\SOFTWARE\\V\\Favorites]\r\n"           // 14
                                "@=\"root\"\r\n";                              // 15
        const TRegImportResult result = RegImportBytes(file, {only});
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(skippedLines(result), (QList<int>{5, 6, 7, 8, 9, 10, 11}));
        QVERIFY(result.Skipped.first().Reason.contains("outside HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites"));
        QCOMPARE(allKeys(), (QStringList{"HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE\\V",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites\\Cam",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites\\Cam\\Sub"}));
        QCOMPARE(valuesOf(TRegRoot::LocalMachine, "SOFTWARE\\V"), QString("Keep=1:6d6500"));
        QCOMPARE(valuesOf(TRegRoot::LocalMachine, "SOFTWARE\\V\\Favorites"), QString("=1:726f6f7400"));
    }

    void onlyTellsTheRootsApart()
    {
        const QString only = "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites";
        QVERIFY(
            TRegKey::create(TRegRoot::CurrentUser, "SOFTWARE\\V\\Favorites\\Old").writeString("URL", "u"));
        const QByteArray file = Header + "[HKEY_CURRENT_USER\\SOFTWARE\\V\\Favorites\\Cam]\r\n" // 3
                                         "\"URL\"=\"http://user\"\r\n"                          // 4
                                         "[-HKCU\\SOFTWARE\\V\\Favorites\\Old]\r\n"             // 5
                                         "[HKLM\\SOFTWARE\\V\\Favorites\\Cam]\r\n"              // 6
                                         "\"URL\"=\"http://machine\"\r\n";                      // 7
        const TRegImportResult result = RegImportBytes(file, {only});
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(skippedLines(result), (QList<int>{3, 4, 5}));
        QCOMPARE(allKeys(), (QStringList{"HKEY_CURRENT_USER\\SOFTWARE", "HKEY_CURRENT_USER\\SOFTWARE\\V",
                                         "HKEY_CURRENT_USER\\SOFTWARE\\V\\Favorites",
                                         "HKEY_CURRENT_USER\\SOFTWARE\\V\\Favorites\\Old",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE\\V",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites",
                                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Favorites\\Cam"}));
        QCOMPARE(TRegKey::open(TRegRoot::LocalMachine, "SOFTWARE\\V\\Favorites\\Cam").readString("URL"),
                 std::optional<QString>("http://machine"));
    }

    void badOnlyKeyWritesNothing()
    {
        const TRegImportResult result = RegImportBytes(KeyT + "\"v\"=\"x\"\r\n", {"SOFTWARE\\V"});
        QVERIFY(!result.Ok);
        QVERIFY(result.Error.contains("not valid"));
        QVERIFY(allKeys().isEmpty());
    }

    void storeFailureLeavesBothRootsAsTheyWere()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "T").writeString("v", "old"));
        m_dir.Set("VREL_MACHINE_REGISTRY", "/proc/vrel-no-such-dir/machine.db");
        TRegistryStore::closeAll();
        const TRegImportResult result = RegImportBytes(
            KeyT + "\"v\"=\"new\"\r\n[HKCU\\T\\New]\r\n[HKLM\\SOFTWARE\\X]\r\n\"w\"=\"x\"\r\n");
        QVERIFY(!result.Ok);
        QVERIFY2(result.Error.contains("HKEY_LOCAL_MACHINE"), qPrintable(result.Error));
        TRegistryStore::closeAll();
        QCOMPARE(valuesOf(TRegRoot::CurrentUser, "T"), QString("v=1:6f6c6400"));
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "T\\New"));
    }

    void failedImportRollsBackInTheRunningProcess()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "T").writeString("v", "old"));
        m_dir.Set("VREL_MACHINE_REGISTRY", "/proc/vrel-no-such-dir/machine.db");
        TRegistryStore::closeAll();
        const TRegImportResult result =
            RegImportBytes(KeyT + "\"v\"=\"new\"\r\n[HKCU\\T\\New]\r\n[HKLM\\SOFTWARE\\X]\r\n");
        QVERIFY(!result.Ok);
        // Looked at through the same open store: closing it would roll back by itself.
        QCOMPARE(valuesOf(TRegRoot::CurrentUser, "T"), QString("v=1:6f6c6400"));
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "T\\New"));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Later").writeDword("v", 5));
        TRegistryStore::closeAll();
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Later").readDword("v"), std::optional<qint32>(5));
    }

    void importJoinsAnOpenTransaction()
    {
        {
            TRegTransaction tx(TRegRoot::CurrentUser);
            QVERIFY(RegImportBytes(KeyT + "\"v\"=\"x\"\r\n").Ok);
        }
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "T"));
    }

    void exportFormat()
    {
        TRegKey e = TRegKey::create(TRegRoot::CurrentUser, "E");
        QVERIFY(e.writeString(QString(), "root"));
        QVERIFY(e.writeString("s", "a\"b\\c"));
        QVERIFY(e.writeDword("d", 0x1f));
        QByteArray bytes;
        for (int i = 0; i < 30; ++i)
            bytes.append(static_cast<char>(i));
        QVERIFY(e.setValue("b", TRegType::Binary, bytes));
        QVERIFY(e.setValue("m", TRegType::MultiSz, QByteArray("a\0b\0\0", 5)));
        QVERIFY(e.setValue("short", TRegType::Dword, QByteArray("\x01", 1)));
        QVERIFY(e.setValue("nul-less", TRegType::Sz, QByteArray("ab")));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "E\\Sub").isOpen());

        QByteArray text;
        const TRegExportResult result = RegExportKey("HKCU\\e", &text);
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(result.Keys, 2);
        QCOMPARE(result.Values, 7);
        QCOMPARE(
            text,
            QByteArray("REGEDIT4\r\n"
                       "\r\n"
                       "[HKEY_CURRENT_USER\\E]\r\n"
                       "@=\"root\"\r\n"
                       "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
                       "  17,18,19,1a,1b,1c,1d\r\n"
                       "\"d\"=dword:0000001f\r\n"
                       "\"m\"=hex(7):61,00,62,00,00\r\n"
                       "\"nul-less\"=hex(1):61,62\r\n"
                       "\"s\"=\"a\\\"b\\\\c\"\r\n"
                       "\"short\"=hex(4):01\r\n"
                       "\r\n"
                       "[HKEY_CURRENT_USER\\E\\Sub]\r\n"
                       "\r\n"));
    }

    void exportThenImportGivesBackTheStore()
    {
        const QString base = "Round Trip";
        TRegKey top = TRegKey::create(TRegRoot::LocalMachine, base);
        QVERIFY(top.writeString(QString(), "default"));
        QVERIFY(top.writeString("quotes \"and\" \\slashes\\", "text \"with\" \\ and ; and # and é€"));
        QVERIFY(top.writeString("@", ""));
        QVERIFY(top.writeString("Line", "first\nsecond\r\n"));
        QVERIFY(top.setValue("embedded nul", TRegType::Sz, QByteArray("a\0b\0", 4)));
        QVERIFY(top.setValue("not utf-8", TRegType::Sz, QByteArray("\xE9\xFF\0", 3)));
        QVERIFY(top.setValue("long dword", TRegType::Dword, QByteArray(8, '\x7f')));
        QVERIFY(top.setValue("empty dword", TRegType::Dword, QByteArray()));
        QVERIFY(top.setValue("none", 0, QByteArray("\0\1", 2)));
        QVERIFY(top.setValue("odd type", 0xfffffffe, QByteArray("x")));
        QVERIFY(top.setValue("expand", TRegType::ExpandSz, QByteArray("%HOME%\0", 7)));
        QByteArray big;
        for (int i = 0; i < 5000; ++i)
            big.append(static_cast<char>(i * 7));
        QVERIFY(top.setValue("big", TRegType::Binary, big));
        QVERIFY(top.writeDword("negative", -1));
        for (const QString& path : {QString("Folder]x\\Cam ; one"), QString(" lead and trail \\Ünïcödé"),
                                    QString("Folder]x\\Cam ; one\\Deeper")})
            QVERIFY(TRegKey::create(TRegRoot::LocalMachine, base + "\\" + path).writeDword("Opened", 1));
        const QStringList before = dump(TRegRoot::LocalMachine, base);

        QByteArray text;
        const TRegExportResult exported = RegExportKey("HKEY_LOCAL_MACHINE\\" + base, &text);
        QVERIFY(exported.Ok);
        QVERIFY(exported.Warnings.isEmpty());
        QVERIFY(TRegKey::deleteTree(TRegRoot::LocalMachine, base));
        const TRegImportResult imported = RegImportBytes(text);
        QVERIFY2(imported.Ok, qPrintable(imported.Error));
        QCOMPARE(reasons(imported), QString());
        TRegistryStore::closeAll();
        QCOMPARE(dump(TRegRoot::LocalMachine, base), before);
    }

    void exportLeavesOutNamesWithLineBreaks()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "E\\bad\nname\\below").writeDword("v", 1));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "E").writeDword("two\nlines", 1));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "E\\good").writeDword("v", 1));
        QByteArray text;
        const TRegExportResult result = RegExportKey("HKCU\\E", &text);
        QVERIFY(result.Ok);
        QCOMPARE(result.Warnings.size(), 2);
        QCOMPARE(text, QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\E]\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\E\\good]\r\n\"v\"=dword:00000001\r\n\r\n"));
    }

    void exportErrors_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing-key") << "HKCU\\Nope"
                                     << "no such key: HKEY_CURRENT_USER\\Nope";
        QTest::newRow("other-root") << "HKEY_USERS\\X"
                                    << "does not exist here";
        QTest::newRow("no-root") << "SOFTWARE\\X"
                                 << "unknown root";
        QTest::newRow("empty-store") << "HKLM"
                                     << "no such key";
    }
    void exportErrors()
    {
        QFETCH(QString, key);
        QFETCH(QString, error);
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "T").isOpen());
        QByteArray text("untouched");
        const TRegExportResult result = RegExportKey(key, &text);
        QVERIFY(!result.Ok);
        QVERIFY2(result.Error.contains(error), qPrintable(result.Error));
        QCOMPARE(text, QByteArray("untouched"));
    }

    void hostileInput_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("afterKept");
        QTest::addColumn<int>("skippedLine");
        QTest::addColumn<QString>("reason");

        const QByteArray five(qsizetype{5} * 1024 * 1024, 'a');
        QTest::newRow("very-long-line") << "\"v\"=\"" + five + "\"" << true << 5 << "longer than 4 MiB";
        QTest::newRow("text-over-1-mib")
            << "\"v\"=\"" + QByteArray(1100000, 'a') + "\"" << true << 5 << "longer than 1 MiB";
        QByteArray hexLines("\"v\"=hex:");
        for (int i = 0; i < 60000; ++i)
            hexLines += "00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,\\\r\n  ";
        QTest::newRow("hex-list-over-1-mib") << hexLines + "00" << true << 5 << "longer than 1 MiB";
        QByteArray endless("\"v\"=hex:00,\\");
        for (int i = 0; i < 200000; ++i)
            endless += "\r\n  00,00,00,00,00,00,\\";
        QTest::newRow("continued-to-the-end-beyond-the-limit")
            << endless << false << 5 << "longer than 1 MiB";
        QByteArray deep("[HKCU\\T");
        for (int i = 0; i < 100000; ++i)
            deep += "\\d";
        QTest::newRow("deep-nesting") << deep + "]\r\n[HKCU\\T]" << true << 5 << "deeper than 512";
        QTest::newRow("nul-bytes") << QByteArray("\"v\"=\0\0\0\"x\"", 10) << true << 5 << "NUL";
        QTest::newRow("unterminated-name") << QByteArray("\"v=dword:1") << true << 5 << "no closing quote";
        QTest::newRow("escape-at-line-end") << QByteArray("\"v\"=\"abc\\") << true << 5 << "no closing quote";
        QTest::newRow("control-characters")
            << QByteArray("[HKEY_\x1b[2J\x07\\T]\r\n[HKCU\\T]") << true << 5 << "unknown root";
        QTest::newRow("long-name") << "\"" + QByteArray(16384, 'n') + "\"=dword:1" << true << 5
                                   << "longer than 16383";
        QByteArray junk;
        quint32 seed = 12345;
        for (int i = 0; i < 65536; ++i) {
            seed = seed * 1103515245u + 12345u;
            junk.append(static_cast<char>(seed >> 24));
        }
        QTest::newRow("binary-junk") << junk + "\r\n[HKCU\\T]" << true << 0 << "";
    }
    void hostileInput()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, afterKept);
        QFETCH(int, skippedLine);
        QFETCH(QString, reason);
        const TRegImportResult result =
            RegImportBytes(KeyT + "\"before\"=\"1\"\r\n" + body + "\r\n\"after\"=\"1\"\r\n");
        QVERIFY2(result.Ok, qPrintable(result.Error));
        const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, "T");
        QVERIFY(key.hasValue("before"));
        QCOMPARE(key.hasValue("after"), afterKept);
        QVERIFY(!key.hasValue("v"));
        if (skippedLine > 0) {
            QVERIFY(!result.Skipped.isEmpty());
            QCOMPARE(result.Skipped.first().Line, skippedLine);
            QVERIFY2(result.Skipped.first().Reason.contains(reason),
                     qPrintable(result.Skipped.first().Reason));
            QVERIFY(result.Skipped.first().Reason.size() < 200);
        }
        for (const TRegSkippedLine& s : result.Skipped) {
            for (const QChar c : s.Reason)
                QVERIFY2(c.category() != QChar::Other_Control, qPrintable(s.Reason));
        }
    }

    void skippedListIsBounded()
    {
        QByteArray junk;
        for (int i = 0; i < 5000; ++i)
            junk += "junk\r\n";
        const TRegImportResult result = RegImportBytes(KeyT + junk);
        QVERIFY(result.Ok);
        QCOMPARE(result.SkippedCount, 5000);
        QCOMPARE(result.Skipped.size(), TRegLimits::ReportedSkips);
        QCOMPARE(result.Skipped.last().Line, 3 + TRegLimits::ReportedSkips);
    }

    void fileErrors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing") << "missing.reg"
                                 << "no such file";
        QTest::newRow("folder") << "folder"
                                << "not a regular file";
        QTest::newRow("device") << "/dev/zero"
                                << "not a regular file";
        QTest::newRow("too-large") << "large.reg"
                                   << "larger than 64 MiB";
        QTest::newRow("unreadable") << "locked.reg"
                                    << "cannot read";
    }
    void fileErrors()
    {
        QFETCH(QString, name);
        QFETCH(QString, error);
        QVERIFY(QDir(m_dir.path()).mkdir("folder"));
        QFile large(m_dir.filePath("large.reg"));
        QVERIFY(large.open(QIODevice::WriteOnly));
        QVERIFY(large.write(KeyT) > 0);
        QVERIFY(large.resize(TRegLimits::FileBytes + 1));
        large.close();
        QFile locked(m_dir.filePath("locked.reg"));
        QVERIFY(locked.open(QIODevice::WriteOnly));
        locked.write(KeyT);
        locked.close();
        QVERIFY(locked.setPermissions(QFileDevice::Permissions()));
        if (error == "cannot read" && QFile(locked.fileName()).open(QIODevice::ReadOnly))
            QSKIP("running with rights that read any file");

        const TRegImportResult result = RegImportFile(name.startsWith('/') ? name : m_dir.filePath(name));
        QVERIFY(!result.Ok);
        QVERIFY2(result.Error.contains(error), qPrintable(result.Error));
        QVERIFY(allKeys().isEmpty());
    }

    void importFileReadsTheFile()
    {
        QFile file(m_dir.filePath("a.reg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(KeyT + "\"v\"=dword:7\r\n");
        file.close();
        const TRegImportResult result = RegImportFile(file.fileName());
        QVERIFY(result.Ok);
        QCOMPARE(result.KeysWritten, 1);
        QCOMPARE(result.ValuesWritten, 1);
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "T").readDword("v"), std::optional<qint32>(7));
    }
};

QTEST_GUILESS_MAIN(tst_TRegImport)
#include "tst_TRegImport.moc"
