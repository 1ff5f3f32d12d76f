#include "platform/TRegParser.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Body lines start on line 2, below the header.
const QByteArray H("REGEDIT4\r\n");

QString shownStep(TRegParser::TStep step, const TRegRecord& r, const TRegSkippedLine& s)
{
    if (step == TRegParser::TStep::Skipped)
        return QStringLiteral("%1 skip: %2").arg(s.Line).arg(s.Reason);
    switch (r.Kind) {
    case TRegRecord::TKind::Key:
        return QStringLiteral("%1 key %2").arg(r.Line).arg(r.Path.text());
    case TRegRecord::TKind::DeleteKey:
        return QStringLiteral("%1 delete-key %2").arg(r.Line).arg(r.Path.text());
    case TRegRecord::TKind::Value:
        return QStringLiteral("%1 value %2=%3:%4")
            .arg(r.Line)
            .arg(r.Name)
            .arg(r.Type)
            .arg(QString::fromLatin1(r.Data.toHex()));
    case TRegRecord::TKind::DeleteValue:
        return QStringLiteral("%1 delete-value %2").arg(r.Line).arg(r.Name);
    }
    return QStringLiteral("unknown kind");
}

// Everything the parser makes of content, one text per record or skipped line.
QStringList parsed(const QByteArray& content, std::optional<TRegKeyPath> only = std::nullopt)
{
    TRegParser parser(content, std::move(only));
    QStringList out;
    if (!parser.error().isEmpty())
        out.append(QStringLiteral("error: ") + parser.error());
    TRegRecord record;
    TRegSkippedLine skipped;
    for (TRegParser::TStep step; (step = parser.next(&record, &skipped)) != TRegParser::TStep::End;)
        out.append(shownStep(step, record, skipped));
    return out;
}

// Lines of a catalog and of hand-written files, broken ones included, for the mutations to start from.
const char* const SeedLines[] = {
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites\\Europe]",
    "[HKCU\\T\\A]",
    "[-HKCU\\T\\A]",
    "[-HKLM]",
    "[HKEY_USERS\\x]",
    "\"URL\"=\"http://cam.example/image.jpg\"",
    "\"Description\"=\"a \\\"quoted\\\" \\\\ name\"",
    "@=\"default\"",
    "\"UpdateInterval\"=dword:0000000a",
    "\"Scale\"=dword:64 ; percent",
    "\"b\"=hex:00,01,02,ff,\\",
    "  aa,bb,cc",
    "\"e\"=hex(2):25,00,53,00,\\",
    "\"m\"=hex(7):61,00,00,62,00,00,00",
    "\"t\"=hex(ffffffff):01",
    "\"gone\"=-",
    "; a comment",
    "",
    "   \t",
    "#not a comment",
    "\"v\"=\"caf\xE9 \x93q\x94\"",
    "\"v\"=\"caf\xC3\xA9\"",
};

// Bytes that steer the parser: quotes, escapes, brackets, separators, line breaks, hex digits.
const char Steering[] = "\"\\[]-@=;:,()hexdword0123456789abcdefABCDEF \t\r\n\0\xff";

QByteArray mutated(QRandomGenerator& random, QByteArray line)
{
    const auto pick = [&](qsizetype size) { return static_cast<qsizetype>(random.bounded(qint64(size))); };
    const int steps = 1 + random.bounded(4);
    for (int i = 0; i < steps; ++i) {
        const auto byte = [&] {
            return random.bounded(4) == 0 ? static_cast<char>(random.bounded(256))
                                          : Steering[pick(sizeof(Steering) - 1)];
        };
        switch (random.bounded(6)) {
        case 0:
            if (!line.isEmpty())
                line[pick(line.size())] = byte();
            break;
        case 1:
            line.insert(pick(line.size() + 1), byte());
            break;
        case 2:
            if (!line.isEmpty())
                line.remove(pick(line.size()), 1 + pick(4));
            break;
        case 3:
            if (!line.isEmpty())
                line.truncate(pick(line.size()));
            break;
        case 4: {
            const qsizetype from = pick(line.size() + 1);
            line.insert(pick(line.size() + 1), line.mid(from, 1 + pick(16)));
            break;
        }
        default:
            line += QByteArray(SeedLines[pick(std::size(SeedLines))]).mid(pick(8));
            break;
        }
    }
    return line;
}

} // namespace

class tst_TRegParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void records_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("only");
        QTest::addColumn<QStringList>("steps");

        QTest::newRow("key-and-each-kind-of-value")
            << H + "[HKCU\\T]\r\n\"s\"=\"x\"\r\n@=dword:1\r\n\"b\"=hex:01,\\\r\n  02\r\n\"d\"=-\r\n"
            << ""
            << QStringList{"2 key HKEY_CURRENT_USER\\T", "3 value s=1:7800", "4 value =4:01000000",
                           "5 value b=3:0102", "7 delete-value d"};
        QTest::newRow("deleting-a-key-the-store-may-lack")
            << H + "[-HKCU\\Nope\\x]"
            << "" << QStringList{"2 delete-key HKEY_CURRENT_USER\\Nope\\x"};
        QTest::newRow("value-before-any-key") << H + "\"v\"=\"x\""
                                              << "" << QStringList{"2 skip: no key line before this value"};
        QTest::newRow("values-after-a-skipped-key")
            << H + "[HKCU\\T\r\n\"v\"=\"x\""
            << ""
            << QStringList{"2 skip: no closing ] on the key line", "3 skip: its key on line 2 was skipped"};
        QTest::newRow("values-after-a-deletion")
            << H + "[HKCU\\T]\r\n[-HKCU\\T\\A]\r\n\"v\"=\"x\""
            << ""
            << QStringList{"2 key HKEY_CURRENT_USER\\T", "3 delete-key HKEY_CURRENT_USER\\T\\A",
                           "4 skip: no key is open after the deletion on line 3"};
        QTest::newRow("root-deletion") << H + "[-HKCU]\r\n\"v\"=\"x\""
                                       << ""
                                       << QStringList{"2 skip: a root cannot be deleted",
                                                      "3 skip: no key is open after the deletion on line 2"};
        QTest::newRow("bad-value-without-key-names-its-own-fault")
            << H + "\"v\"=dword:"
            << "" << QStringList{"2 skip: dword: needs 1 to 8 hex digits"};
        QTest::newRow("continued-value-gives-its-first-line")
            << H + "[HKCU\\T]\r\n\"v\"=hex:01,\\\r\n\r\n;c\r\n02\r\n\"w\"=\"y\""
            << "" << QStringList{"2 key HKEY_CURRENT_USER\\T", "3 value v=3:0102", "7 value w=1:7900"};
        QTest::newRow("fault-on-a-continued-line-names-it")
            << H + "[HKCU\\T]\r\n\"v\"=hex:01,\\\r\n  zz"
            << ""
            << QStringList{"2 key HKEY_CURRENT_USER\\T",
                           "3 skip: 'z' is not a hex byte (continued on line 4)"};
        QTest::newRow("root-of-another-system")
            << H + "[hkey_users\\T]"
            << "" << QStringList{"2 skip: the root HKEY_USERS does not exist here"};
        QTest::newRow("control-characters-in-a-reason")
            << H + "[HK\x1b[2J\\T]"
            << "" << QStringList{"2 skip: unknown root \"HK?[2J\""};
        QTest::newRow("line-that-is-nothing")
            << H + "#\"v\"=\"x\""
            << "" << QStringList{"2 skip: not a key, value or comment line"};
        QTest::newRow("nul-byte") << H + QByteArray("[HKCU\\T]\r\n\"v\"=\"a\0\"", 19) << ""
                                  << QStringList{"2 key HKEY_CURRENT_USER\\T",
                                                 "3 skip: line holds a NUL byte"};
        QTest::newRow("windows-1252-names-and-text")
            << H + "[HKCU\\caf\xE9]\r\n\"\x80\"=\"\x93\""
            << "" << QStringList{"2 key HKEY_CURRENT_USER\\caf\u00e9", "3 value \u20ac=1:e2809c00"};
        QTest::newRow("only-below-one-key")
            << H + "[HKLM\\SOFTWARE\\V\\Cam]\r\n\"URL\"=\"u\"\r\n[HKCU\\SOFTWARE\\V]\r\n\"x\"=\"y\"\r\n"
                   "[-hklm\\software\\v]"
            << "HKLM\\SOFTWARE\\V"
            << QStringList{"2 key HKEY_LOCAL_MACHINE\\SOFTWARE\\V\\Cam", "3 value URL=1:7500",
                           "4 skip: outside HKEY_LOCAL_MACHINE\\SOFTWARE\\V: HKEY_CURRENT_USER\\SOFTWARE\\V",
                           "5 skip: its key on line 4 was skipped",
                           "6 delete-key HKEY_LOCAL_MACHINE\\software\\v"};
        QTest::newRow("not-a-registry-file")
            << QByteArray("<html>\r\n[HKCU\\T]") << ""
            << QStringList{"error: not a registry file: the first line must be REGEDIT4"};
    }
    void records()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, only);
        QFETCH(QStringList, steps);
        std::optional<TRegKeyPath> onlyPath;
        if (!only.isEmpty()) {
            onlyPath.emplace();
            QCOMPARE(RegParseKeyPath(only, &*onlyPath), QString());
        }
        QCOMPARE(parsed(content, onlyPath), steps);
    }

    // Mutated files from a fixed seed: the parser must end, read each line at most once, and give
    // every step as a well-formed record or a skipped line with its reason.
    void mutatedLinesGiveRecordsOrReasons()
    {
        QRandomGenerator random(20261210);
        int records = 0;
        int skips = 0;
        for (int file = 0; file < 60; ++file) {
            QByteArray content =
                random.bounded(10) == 0 ? mutated(random, "REGEDIT4") : QByteArray("REGEDIT4");
            const char* const ends[] = {"\r\n", "\n", "\r"};
            for (int i = 0; i < 60; ++i) {
                const QByteArray seed(SeedLines[random.bounded(int(std::size(SeedLines)))]);
                content += ends[random.bounded(3)];
                // A clean key line now and then, or a value's chances of a key to go into are slim.
                const int kind = random.bounded(6);
                content += kind == 0 ? QByteArray("[HKCU\\T\\A]") : kind < 3 ? seed : mutated(random, seed);
            }
            // Each line ends with CR, LF or both: more breaks than lines is impossible.
            const qsizetype lines = content.count('\r') + content.count('\n') + 1;
            const QByteArray where =
                "file " + QByteArray::number(file) + ": " + content.toPercentEncoding(" ");

            TRegParser parser(content);
            TRegRecord record;
            TRegSkippedLine skipped;
            int lastLine = 1;
            int steps = 0;
            TRegParser::TStep step;
            while ((step = parser.next(&record, &skipped)) != TRegParser::TStep::End) {
                QVERIFY2(parser.error().isEmpty(), where.constData());
                QVERIFY2(++steps < lines, where.constData());
                const int line = step == TRegParser::TStep::Record ? record.Line : skipped.Line;
                QVERIFY2(line > lastLine && line <= lines, where.constData());
                lastLine = line;
                if (step == TRegParser::TStep::Skipped) {
                    ++skips;
                    QVERIFY2(!skipped.Reason.isEmpty(), where.constData());
                    for (const QChar c : std::as_const(skipped.Reason))
                        QVERIFY2(c.category() != QChar::Other_Control, where.constData());
                    continue;
                }
                ++records;
                switch (record.Kind) {
                case TRegRecord::TKind::DeleteKey:
                    QVERIFY2(!record.Path.Names.isEmpty(), where.constData());
                    Q_FALLTHROUGH();
                case TRegRecord::TKind::Key:
                    QVERIFY2(record.Path.Names.size() <= TRegLimits::PathDepth, where.constData());
                    for (const QString& name : std::as_const(record.Path.Names))
                        QVERIFY2(!name.isEmpty() && name.size() <= TRegLimits::KeyNameChars,
                                 where.constData());
                    break;
                case TRegRecord::TKind::DeleteValue:
                    QVERIFY2(record.Data.isEmpty(), where.constData());
                    break;
                case TRegRecord::TKind::Value:
                    QVERIFY2(record.Name.size() <= TRegLimits::ValueNameChars, where.constData());
                    QVERIFY2(record.Data.size() <= TRegLimits::ValueDataBytes + 2, where.constData());
                    break;
                }
            }
            QVERIFY2(steps == 0 || parser.error().isEmpty(), where.constData());
        }
        // Mutations that only ever broke lines, or never did, would test half the parser.
        QVERIFY2(records > 500 && skips > 500,
                 qPrintable(QStringLiteral("%1 records, %2 skipped lines").arg(records).arg(skips)));
    }
};

QTEST_GUILESS_MAIN(tst_TRegParser)
#include "tst_TRegParser.moc"
