#include "platform/TRegImport.h"

#include "platform/TRegistryStore.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cstring>

namespace {

// Windows-1252 for 0x80..0x9f; its five unassigned bytes keep their Latin-1 meaning.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeCp1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uchar>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(Cp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

qsizetype skipBlanks(QByteArrayView line, qsizetype pos)
{
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    return pos;
}

QByteArrayView trimLeft(QByteArrayView line)
{
    return line.sliced(skipBlanks(line, 0));
}

// Nothing but white space or a ";" comment from pos on.
bool restIsEnd(QByteArrayView line, qsizetype pos)
{
    pos = skipBlanks(line, pos);
    return pos >= line.size() || line[pos] == ';';
}

// File text quoted in a message: control characters and overlong text would garble a terminal.
QString shown(const QString& text)
{
    constexpr int MaxChars = 80;
    QString out = text.left(MaxChars);
    for (QChar& c : out) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    }
    return text.size() > MaxChars ? out + QStringLiteral("...") : out;
}

QString shownChar(char c)
{
    const auto b = static_cast<uchar>(c);
    if (b > 0x20 && b < 0x7f)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("byte 0x%1").arg(b, 2, 16, QLatin1Char('0'));
}

QString lineProblem(QByteArrayView line)
{
    if (line.size() > TRegLimits::LineBytes)
        return QStringLiteral("line longer than %1 MiB").arg(TRegLimits::LineBytes / (1024 * 1024));
    if (std::memchr(line.data(), '\0', static_cast<size_t>(line.size())))
        return QStringLiteral("line holds a NUL byte");
    return {};
}

bool isHeader(QByteArrayView line)
{
    qsizetype end = line.size();
    while (end > 0 && isBlank(line[end - 1]))
        --end;
    const QByteArrayView text = trimLeft(line.first(end));
    return text == QByteArrayView("REGEDIT4") ||
           text == QByteArrayView("Windows Registry Editor Version 5.00");
}

int rootIndex(TRegRoot root)
{
    return root == TRegRoot::CurrentUser ? 0 : 1;
}

enum class THexState
{
    Start, // right after "hex:" / "hex(N):"
    AfterByte,
    AfterComma,
    LineStart // at the start of a continuation line
};

class TRegImporter
{
public:
    TRegImportResult run(const QByteArray& content, const TRegImportOptions& options);

private:
    bool nextLine(QByteArrayView* line);
    QString decode(QByteArrayView bytes) const
    {
        return m_utf8 ? QString::fromUtf8(bytes) : decodeCp1252(bytes);
    }
    void skip(int line, const QString& reason);
    void fail(const QString& error);
    bool beginRoot(TRegRoot root);
    void finish();

    void keyLine(QByteArrayView line, int lineNo);
    void valueLine(QByteArrayView line, int lineNo);
    bool parseQuoted(QByteArrayView line, qsizetype* pos, QByteArray* out, QString* why) const;
    bool parseHexList(QByteArrayView line, qsizetype pos, int firstLine, QByteArray* data, QString* why);
    void terminateText(QByteArray* bytes) const;
    // The key's id; 0 when the store failed, -1 when the import has reached TRegLimits::ImportKeys.
    qint64 createKey(const TRegKeyPath& path);

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    int m_lineNo = 0;
    bool m_utf8 = true;
    // The file came as UTF-16LE: hex(N) text data is then in 16-bit units.
    bool m_utf16 = false;

    bool m_hasOnly = false;
    TRegKeyPath m_only;

    // The key that value lines write to.
    bool m_keyOpen = false;
    TRegRoot m_keyRoot = TRegRoot::CurrentUser;
    qint64 m_keyId = 0;
    QString m_noKeyReason = QStringLiteral("no key line before this value");

    // The last key created, level by level: a catalog names each parent again and again.
    bool m_haveLast = false;
    TRegRoot m_lastRoot = TRegRoot::CurrentUser;
    QStringList m_lastFolded;
    QVector<qint64> m_lastIds;
    qint64 m_keySteps = 0;

    std::array<bool, 2> m_begun{};
    TRegImportResult m_result;
};

bool TRegImporter::nextLine(QByteArrayView* line)
{
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return false;
    const char* data = m_text.data();
    qsizetype end = m_pos;
    while (end < size && data[end] != '\n' && data[end] != '\r')
        ++end;
    *line = m_text.sliced(m_pos, end - m_pos);
    if (end < size)
        end += (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
    m_pos = end;
    ++m_lineNo;
    return true;
}

void TRegImporter::skip(int line, const QString& reason)
{
    ++m_result.SkippedCount;
    if (m_result.Skipped.size() < TRegLimits::ReportedSkips)
        m_result.Skipped.append({line, reason});
}

void TRegImporter::fail(const QString& error)
{
    if (m_result.Error.isEmpty())
        m_result.Error = error;
}

bool TRegImporter::beginRoot(TRegRoot root)
{
    bool& begun = m_begun[rootIndex(root)];
    if (begun)
        return true;
    if (!TRegistryStore::of(root).begin()) {
        fail(QStringLiteral("cannot write %1 (store %2)")
                 .arg(regRootName(root), TRegistryStore::pathFor(root)));
        return false;
    }
    begun = true;
    return true;
}

void TRegImporter::finish()
{
    const std::array<TRegRoot, 2> roots{TRegRoot::CurrentUser, TRegRoot::LocalMachine};
    for (TRegRoot root : roots) {
        bool& begun = m_begun[rootIndex(root)];
        if (!begun)
            continue;
        begun = false;
        if (!m_result.Error.isEmpty()) {
            TRegistryStore::of(root).rollback();
        } else if (!TRegistryStore::of(root).commit()) {
            fail(QStringLiteral("cannot save the changes to %1 (store %2)")
                     .arg(regRootName(root), TRegistryStore::pathFor(root)));
        }
    }
    m_result.Ok = m_result.Error.isEmpty();
    if (!m_result.Ok) {
        m_result.KeysWritten = 0;
        m_result.KeysDeleted = 0;
        m_result.ValuesWritten = 0;
        m_result.ValuesDeleted = 0;
    }
}

TRegImportResult TRegImporter::run(const QByteArray& content, const TRegImportOptions& options)
{
    if (!options.OnlyKey.isEmpty()) {
        const QString why = RegParseKeyPath(options.OnlyKey, &m_only);
        if (!why.isEmpty()) {
            m_result.Error = QStringLiteral("the key to import into is not valid: %1").arg(why);
            return m_result;
        }
        m_hasOnly = true;
    }

    QByteArray utf16AsUtf8;
    m_text = content;
    if (m_text.startsWith("\xEF\xBB\xBF")) {
        m_text = m_text.sliced(3);
    } else if (m_text.startsWith("\xFF\xFE")) {
        const QByteArrayView units = m_text.sliced(2);
        utf16AsUtf8 =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2).toUtf8();
        m_text = utf16AsUtf8;
        m_utf16 = true;
    }
    m_utf8 = m_text.isValidUtf8();

    QByteArrayView line;
    if (!nextLine(&line) || !isHeader(line)) {
        m_result.Error = QStringLiteral("not a registry file: the first line must be REGEDIT4");
        return m_result;
    }

    while (m_result.Error.isEmpty() && nextLine(&line)) {
        const int lineNo = m_lineNo;
        const QString problem = lineProblem(line);
        if (!problem.isEmpty()) {
            skip(lineNo, problem);
            continue;
        }
        line = trimLeft(line);
        if (line.isEmpty() || line[0] == ';')
            continue;
        if (line[0] == '[')
            keyLine(line, lineNo);
        else if (line[0] == '"' || line[0] == '@')
            valueLine(line, lineNo);
        else
            skip(lineNo, QStringLiteral("not a key, value or comment line"));
    }
    finish();
    return m_result;
}

void TRegImporter::keyLine(QByteArrayView line, int lineNo)
{
    m_keyOpen = false;
    m_noKeyReason = QStringLiteral("its key on line %1 was skipped").arg(lineNo);

    qsizetype pos = 1;
    const bool remove = pos < line.size() && line[pos] == '-';
    if (remove)
        ++pos;
    // The key name runs to the last "]": key names may hold "]" themselves.
    const qsizetype close = line.lastIndexOf(']');
    if (close < pos) {
        skip(lineNo, QStringLiteral("no closing ] on the key line"));
        return;
    }
    if (close == pos || isBlank(line[pos])) {
        skip(lineNo, QStringLiteral("the key path must follow the bracket directly"));
        return;
    }
    TRegKeyPath path;
    const QString why = RegParseKeyPath(decode(line.sliced(pos, close - pos)), &path);
    if (!why.isEmpty()) {
        skip(lineNo, why);
        return;
    }
    if (m_hasOnly && !path.isAtOrBelow(m_only)) {
        skip(lineNo, QStringLiteral("outside %1: %2").arg(m_only.text(), shown(path.text())));
        return;
    }

    if (remove) {
        m_noKeyReason = QStringLiteral("no key is open after the deletion on line %1").arg(lineNo);
        if (path.Names.isEmpty()) {
            skip(lineNo, QStringLiteral("a root cannot be deleted"));
            return;
        }
        if (!beginRoot(path.Root))
            return;
        auto& store = TRegistryStore::of(path.Root);
        if (const qint64 id = store.findKey(path.Names)) {
            if (!store.deleteSubtree(id)) {
                fail(QStringLiteral("cannot delete %1").arg(shown(path.text())));
                return;
            }
            ++m_result.KeysDeleted;
            m_haveLast = false;
        }
        return;
    }

    if (!beginRoot(path.Root))
        return;
    const qint64 id = createKey(path);
    if (id < 0) {
        skip(lineNo, QStringLiteral("more than %1 keys in one import").arg(TRegLimits::ImportKeys));
        return;
    }
    if (id == 0) {
        fail(QStringLiteral("cannot create %1 (store %2)")
                 .arg(shown(path.text()), TRegistryStore::pathFor(path.Root)));
        return;
    }
    m_keyOpen = true;
    m_keyRoot = path.Root;
    m_keyId = id;
    ++m_result.KeysWritten;
}

qint64 TRegImporter::createKey(const TRegKeyPath& path)
{
    auto& store = TRegistryStore::of(path.Root);
    if (!m_haveLast || m_lastRoot != path.Root) {
        m_lastFolded.clear();
        m_lastIds.clear();
        m_lastRoot = path.Root;
        m_haveLast = true;
    }
    qsizetype common = 0;
    while (common < path.Names.size() && common < m_lastFolded.size() &&
           m_lastFolded[common] == RegFoldName(path.Names[common]))
        ++common;
    if (m_keySteps + (path.Names.size() - common) > TRegLimits::ImportKeys)
        return -1;
    m_keySteps += path.Names.size() - common;
    m_lastFolded.resize(common);
    m_lastIds.resize(common);
    qint64 id = common > 0 ? m_lastIds.last() : TRegistryStore::RootKey;
    for (qsizetype i = common; i < path.Names.size(); ++i) {
        id = store.createChild(id, path.Names[i]);
        if (id == 0) {
            m_haveLast = false;
            return 0;
        }
        m_lastFolded.append(RegFoldName(path.Names[i]));
        m_lastIds.append(id);
    }
    return id;
}

bool TRegImporter::parseQuoted(QByteArrayView line, qsizetype* pos, QByteArray* out, QString* why) const
{
    qsizetype i = *pos + 1;
    const qsizetype size = line.size();
    while (i < size) {
        qsizetype run = i;
        while (run < size && line[run] != '"' && line[run] != '\\')
            ++run;
        out->append(line.sliced(i, run - i));
        i = run;
        if (i >= size)
            break;
        if (line[i] == '"') {
            *pos = i + 1;
            return true;
        }
        if (i + 1 >= size)
            break;
        const char escaped = line[i + 1];
        if (escaped != '\\' && escaped != '"') {
            *why = QStringLiteral("unknown escape \\ followed by %1").arg(shownChar(escaped));
            return false;
        }
        out->append(escaped);
        i += 2;
    }
    *why = QStringLiteral("no closing quote");
    return false;
}

void TRegImporter::valueLine(QByteArrayView line, int lineNo)
{
    qsizetype pos = 0;
    QString name;
    QString why;
    if (line[0] == '@') {
        pos = 1;
    } else {
        QByteArray raw;
        if (!parseQuoted(line, &pos, &raw, &why)) {
            skip(lineNo, QStringLiteral("value name: %1").arg(why));
            return;
        }
        name = decode(raw);
        if (name.size() > TRegLimits::ValueNameChars) {
            skip(lineNo,
                 QStringLiteral("value name longer than %1 characters").arg(TRegLimits::ValueNameChars));
            return;
        }
    }
    pos = skipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') {
        skip(lineNo, QStringLiteral("no = after the value name"));
        return;
    }
    pos = skipBlanks(line, pos + 1);
    const QByteArrayView data = line.sliced(pos);

    bool remove = false;
    quint32 type = TRegType::Sz;
    QByteArray bytes;
    if (data.isEmpty() || data[0] == ';') {
        skip(lineNo, QStringLiteral("no data after ="));
        return;
    } else if (data[0] == '"') {
        QByteArray raw;
        qsizetype end = pos;
        if (!parseQuoted(line, &end, &raw, &why)) {
            skip(lineNo, QStringLiteral("text data: %1").arg(why));
            return;
        }
        if (!restIsEnd(line, end)) {
            skip(lineNo, QStringLiteral("text after the closing quote"));
            return;
        }
        if (raw.size() >= TRegLimits::ValueDataBytes) {
            skip(lineNo, QStringLiteral("value data longer than 1 MiB"));
            return;
        }
        bytes = decode(raw).toUtf8();
        bytes.append('\0');
    } else if (data[0] == '-') {
        if (!restIsEnd(data, 1)) {
            skip(lineNo, QStringLiteral("text after =-"));
            return;
        }
        remove = true;
    } else if (data.startsWith("dword:")) {
        qsizetype p = skipBlanks(data, 6);
        const qsizetype start = p;
        quint32 value = 0;
        while (p < data.size() && hexDigit(data[p]) >= 0 && p - start < 9)
            value = value * 16 + static_cast<quint32>(hexDigit(data[p++]));
        if (p == start || p - start > 8) {
            skip(lineNo, QStringLiteral("dword: needs 1 to 8 hex digits"));
            return;
        }
        if (!restIsEnd(data, p)) {
            skip(lineNo, QStringLiteral("text after the dword value"));
            return;
        }
        type = TRegType::Dword;
        bytes.resize(4);
        qToLittleEndian<quint32>(value, bytes.data());
    } else if (data.startsWith("hex:") || data.startsWith("hex(")) {
        qsizetype p = 4;
        type = TRegType::Binary;
        if (data[3] == '(') {
            const qsizetype start = p;
            quint64 number = 0;
            while (p < data.size() && hexDigit(data[p]) >= 0 && p - start < 9)
                number = number * 16 + static_cast<quint64>(hexDigit(data[p++]));
            if (p == start || p - start > 8 || !data.sliced(p).startsWith("):")) {
                skip(lineNo, QStringLiteral("hex(N): needs a type number of 1 to 8 hex digits"));
                return;
            }
            type = static_cast<quint32>(number);
            p += 2;
        }
        if (!parseHexList(line, pos + p, lineNo, &bytes, &why)) {
            skip(lineNo, why);
            return;
        }
        if (type == TRegType::ExpandSz || type == TRegType::MultiSz)
            terminateText(&bytes);
    } else {
        skip(lineNo, QStringLiteral("unknown data type"));
        return;
    }

    if (!m_keyOpen) {
        skip(lineNo, m_noKeyReason);
        return;
    }
    auto& store = TRegistryStore::of(m_keyRoot);
    if (remove) {
        if (store.deleteValue(m_keyId, name))
            ++m_result.ValuesDeleted;
        return;
    }
    if (!store.setValue(m_keyId, name, type, bytes)) {
        fail(QStringLiteral("cannot write a value (store %1)").arg(TRegistryStore::pathFor(m_keyRoot)));
        return;
    }
    ++m_result.ValuesWritten;
}

// The platform's editor ends REG_EXPAND_SZ and REG_MULTI_SZ byte lists with a NUL when the file
// does not: one byte in an 8-bit file, one 16-bit unit in a UTF-16 file.
void TRegImporter::terminateText(QByteArray* bytes) const
{
    if (!m_utf16) {
        if (bytes->isEmpty() || !bytes->endsWith('\0'))
            bytes->append('\0');
        return;
    }
    if (bytes->size() % 2 != 0)
        bytes->append('\0');
    if (bytes->isEmpty() || !bytes->endsWith(QByteArrayView("\0\0", 2)))
        bytes->append(QByteArrayView("\0\0", 2));
}

// The byte list of hex: and hex(N): data. As the platform's editor reads it: a backslash after a
// comma (or right after the colon) continues the list on the next line that is neither blank nor
// a ";" comment; that line is taken whatever it holds, and the file's end also ends the list.
bool TRegImporter::parseHexList(QByteArrayView line, qsizetype pos, int firstLine, QByteArray* data,
                                QString* why)
{
    bool tooLong = false;
    // Once the list has outgrown the limit, that is the reason whatever else goes wrong.
    const auto failed = [&](const QString& reason) {
        if (tooLong)
            *why = QStringLiteral("value data longer than 1 MiB");
        else
            *why = m_lineNo == firstLine ? reason
                                         : reason + QStringLiteral(" (continued on line %1)").arg(m_lineNo);
        return false;
    };
    THexState state = THexState::Start;
    for (;;) {
        pos = skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] == ';')
            break;
        const char c = line[pos];
        if (c == ',') {
            if (state != THexState::AfterByte)
                return failed(QStringLiteral("empty byte in the hex list"));
            state = THexState::AfterComma;
            ++pos;
            continue;
        }
        if (c == '\\') {
            if (state != THexState::Start && state != THexState::AfterComma)
                return failed(QStringLiteral("a continuation backslash must follow a comma"));
            if (!restIsEnd(line, pos + 1))
                return failed(QStringLiteral("text after the continuation backslash"));
            QByteArrayView next;
            for (;;) {
                if (!nextLine(&next)) {
                    next = {};
                    break;
                }
                const QString problem = lineProblem(next);
                if (!problem.isEmpty())
                    return failed(problem);
                next = trimLeft(next);
                if (!next.isEmpty() && next[0] != ';')
                    break;
            }
            if (next.isEmpty())
                break;
            line = next;
            pos = 0;
            state = THexState::LineStart;
            continue;
        }
        const int high = hexDigit(c);
        if (high < 0)
            return failed(QStringLiteral("%1 is not a hex byte").arg(shownChar(c)));
        if (state == THexState::AfterByte)
            return failed(QStringLiteral("missing comma between hex bytes"));
        int value = high;
        ++pos;
        if (pos < line.size() && hexDigit(line[pos]) >= 0)
            value = value * 16 + hexDigit(line[pos++]);
        if (pos < line.size() && hexDigit(line[pos]) >= 0)
            return failed(QStringLiteral("hex byte with more than two digits"));
        if (data->size() < TRegLimits::ValueDataBytes)
            data->append(static_cast<char>(value));
        else
            tooLong = true;
        state = THexState::AfterByte;
    }
    return tooLong ? failed(QString()) : true;
}

bool isOtherRoot(const QString& root)
{
    static const char* const Others[] = {
        "HKEY_CLASSES_ROOT",   "HKCR", "HKEY_USERS",    "HKU",
        "HKEY_CURRENT_CONFIG", "HKCC", "HKEY_DYN_DATA", "HKEY_PERFORMANCE_DATA"};
    for (const char* other : Others) {
        if (root.compare(QLatin1String(other), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QString TRegKeyPath::text() const
{
    QString out = regRootName(Root);
    for (const QString& name : Names) {
        out += QLatin1Char('\\');
        out += name;
    }
    return out;
}

bool TRegKeyPath::isAtOrBelow(const TRegKeyPath& other) const
{
    if (Root != other.Root || Names.size() < other.Names.size())
        return false;
    for (qsizetype i = 0; i < other.Names.size(); ++i) {
        if (RegFoldName(Names[i]) != RegFoldName(other.Names[i]))
            return false;
    }
    return true;
}

QString RegParseKeyPath(const QString& text, TRegKeyPath* path)
{
    QStringList parts = text.split(QLatin1Char('\\'));
    while (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast();
    const QString root = parts.takeFirst();
    TRegRoot parsed;
    if (root.compare(QLatin1String("HKEY_CURRENT_USER"), Qt::CaseInsensitive) == 0 ||
        root.compare(QLatin1String("HKCU"), Qt::CaseInsensitive) == 0) {
        parsed = TRegRoot::CurrentUser;
    } else if (root.compare(QLatin1String("HKEY_LOCAL_MACHINE"), Qt::CaseInsensitive) == 0 ||
               root.compare(QLatin1String("HKLM"), Qt::CaseInsensitive) == 0) {
        parsed = TRegRoot::LocalMachine;
    } else if (isOtherRoot(root)) {
        return QStringLiteral("the root %1 does not exist here").arg(root.toUpper());
    } else if (root.isEmpty()) {
        return QStringLiteral("the key path must start with HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE");
    } else {
        return QStringLiteral("unknown root \"%1\"").arg(shown(root));
    }
    if (parts.size() > TRegLimits::PathDepth)
        return QStringLiteral("key path deeper than %1 levels").arg(TRegLimits::PathDepth);
    for (const QString& name : std::as_const(parts)) {
        if (name.isEmpty())
            return QStringLiteral("empty key name in the path");
        if (name.size() > TRegLimits::KeyNameChars)
            return QStringLiteral("key name longer than %1 characters").arg(TRegLimits::KeyNameChars);
    }
    path->Root = parsed;
    path->Names = parts;
    return {};
}

TRegImportResult RegImportBytes(const QByteArray& content, const TRegImportOptions& options)
{
    TRegImporter importer;
    return importer.run(content, options);
}

TRegImportResult RegImportFile(const QString& path, const TRegImportOptions& options)
{
    TRegImportResult result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.Error = QStringLiteral("no such file: %1").arg(path);
        return result;
    }
    // A device or a pipe could feed an endless stream.
    if (!info.isFile()) {
        result.Error = QStringLiteral("not a regular file: %1").arg(path);
        return result;
    }
    const QString tooLarge =
        QStringLiteral("file larger than %1 MiB: %2").arg(TRegLimits::FileBytes / (1024 * 1024)).arg(path);
    if (info.size() > TRegLimits::FileBytes) {
        result.Error = tooLarge;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.Error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray content = file.read(TRegLimits::FileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.Error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    if (content.size() > TRegLimits::FileBytes) {
        result.Error = tooLarge;
        return result;
    }
    return RegImportBytes(content, options);
}
