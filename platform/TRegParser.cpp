#include "platform/TRegParser.h"

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
        return QStringLiteral("line longer than %1 MiB").arg(TRegLimits::LineBytes / TRegLimits::MiB);
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

bool parseQuoted(QByteArrayView line, qsizetype* pos, QByteArray* out, QString* why)
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

enum class THexState
{
    Start, // right after "hex:" / "hex(N):"
    AfterByte,
    AfterComma,
    LineStart // at the start of a continuation line
};

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

QString RegShownText(const QString& text)
{
    constexpr int MaxChars = 80;
    QString out = text.left(MaxChars);
    for (QChar& c : out) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    }
    return text.size() > MaxChars ? out + QStringLiteral("...") : out;
}

TRegParser::TRegParser(const QByteArray& content, std::optional<TRegKeyPath> only)
    : m_content(content), m_only(std::move(only))
{
    m_text = m_content;
    if (m_text.startsWith("\xEF\xBB\xBF")) {
        m_text = m_text.sliced(3);
    } else if (m_text.startsWith("\xFF\xFE")) {
        const QByteArrayView units = m_text.sliced(2);
        m_utf16AsUtf8 =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2).toUtf8();
        m_text = m_utf16AsUtf8;
        m_utf16 = true;
    }
    m_utf8 = m_text.isValidUtf8();

    QByteArrayView line;
    if (!nextLine(&line) || !isHeader(line)) {
        m_error = QStringLiteral("not a registry file: the first line must be REGEDIT4");
        m_pos = m_text.size();
    }
}

QString TRegParser::decode(QByteArrayView bytes) const
{
    return m_utf8 ? QString::fromUtf8(bytes) : decodeCp1252(bytes);
}

bool TRegParser::nextLine(QByteArrayView* line)
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

TRegParser::TStep TRegParser::skip(TRegSkippedLine* skipped, int line, const QString& reason) const
{
    *skipped = {line, reason};
    return TStep::Skipped;
}

TRegParser::TStep TRegParser::next(TRegRecord* record, TRegSkippedLine* skipped)
{
    QByteArrayView line;
    while (nextLine(&line)) {
        const int lineNo = m_lineNo;
        const QString problem = lineProblem(line);
        if (!problem.isEmpty())
            return skip(skipped, lineNo, problem);
        line = trimLeft(line);
        if (line.isEmpty() || line[0] == ';')
            continue;
        if (line[0] == '[')
            return keyLine(line, lineNo, record, skipped);
        if (line[0] == '"' || line[0] == '@')
            return valueLine(line, lineNo, record, skipped);
        return skip(skipped, lineNo, QStringLiteral("not a key, value or comment line"));
    }
    return TStep::End;
}

TRegParser::TStep TRegParser::keyLine(QByteArrayView line, int lineNo, TRegRecord* record,
                                      TRegSkippedLine* skipped)
{
    m_keyOpen = false;
    m_noKeyReason = QStringLiteral("its key on line %1 was skipped").arg(lineNo);

    qsizetype pos = 1;
    const bool remove = pos < line.size() && line[pos] == '-';
    if (remove)
        ++pos;
    // The key name runs to the last "]": key names may hold "]" themselves.
    const qsizetype close = line.lastIndexOf(']');
    if (close < pos)
        return skip(skipped, lineNo, QStringLiteral("no closing ] on the key line"));
    if (close == pos || isBlank(line[pos]))
        return skip(skipped, lineNo, QStringLiteral("the key path must follow the bracket directly"));
    TRegKeyPath path;
    const QString why = RegParseKeyPath(decode(line.sliced(pos, close - pos)), &path);
    if (!why.isEmpty())
        return skip(skipped, lineNo, why);
    if (m_only && !path.isAtOrBelow(*m_only)) {
        return skip(skipped, lineNo,
                    QStringLiteral("outside %1: %2").arg(m_only->text(), RegShownText(path.text())));
    }

    if (remove) {
        m_noKeyReason = QStringLiteral("no key is open after the deletion on line %1").arg(lineNo);
        if (path.Names.isEmpty())
            return skip(skipped, lineNo, QStringLiteral("a root cannot be deleted"));
    } else {
        m_keyOpen = true;
    }
    *record = {};
    record->Kind = remove ? TRegRecord::TKind::DeleteKey : TRegRecord::TKind::Key;
    record->Line = lineNo;
    record->Path = std::move(path);
    return TStep::Record;
}

TRegParser::TStep TRegParser::valueLine(QByteArrayView line, int lineNo, TRegRecord* record,
                                        TRegSkippedLine* skipped)
{
    qsizetype pos = 0;
    QString name;
    QString why;
    if (line[0] == '@') {
        pos = 1;
    } else {
        QByteArray raw;
        if (!parseQuoted(line, &pos, &raw, &why))
            return skip(skipped, lineNo, QStringLiteral("value name: %1").arg(why));
        name = decode(raw);
        if (name.size() > TRegLimits::ValueNameChars) {
            return skip(
                skipped, lineNo,
                QStringLiteral("value name longer than %1 characters").arg(TRegLimits::ValueNameChars));
        }
    }
    pos = skipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=')
        return skip(skipped, lineNo, QStringLiteral("no = after the value name"));
    pos = skipBlanks(line, pos + 1);
    const QByteArrayView data = line.sliced(pos);

    bool remove = false;
    quint32 type = TRegType::Sz;
    QByteArray bytes;
    if (data.isEmpty() || data[0] == ';') {
        return skip(skipped, lineNo, QStringLiteral("no data after ="));
    } else if (data[0] == '"') {
        QByteArray raw;
        qsizetype end = pos;
        if (!parseQuoted(line, &end, &raw, &why))
            return skip(skipped, lineNo, QStringLiteral("text data: %1").arg(why));
        if (!restIsEnd(line, end))
            return skip(skipped, lineNo, QStringLiteral("text after the closing quote"));
        if (raw.size() >= TRegLimits::ValueDataBytes)
            return skip(skipped, lineNo, QStringLiteral("value data longer than 1 MiB"));
        bytes = decode(raw).toUtf8();
        bytes.append('\0');
    } else if (data[0] == '-') {
        if (!restIsEnd(data, 1))
            return skip(skipped, lineNo, QStringLiteral("text after =-"));
        remove = true;
    } else if (data.startsWith("dword:")) {
        qsizetype p = skipBlanks(data, 6);
        const qsizetype start = p;
        quint32 value = 0;
        while (p < data.size() && hexDigit(data[p]) >= 0 && p - start < 9)
            value = value * 16 + static_cast<quint32>(hexDigit(data[p++]));
        if (p == start || p - start > 8)
            return skip(skipped, lineNo, QStringLiteral("dword: needs 1 to 8 hex digits"));
        if (!restIsEnd(data, p))
            return skip(skipped, lineNo, QStringLiteral("text after the dword value"));
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
            if (p == start || p - start > 8 || !data.sliced(p).startsWith("):"))
                return skip(skipped, lineNo,
                            QStringLiteral("hex(N): needs a type number of 1 to 8 hex digits"));
            type = static_cast<quint32>(number);
            p += 2;
        }
        if (!parseHexList(line, pos + p, lineNo, &bytes, &why))
            return skip(skipped, lineNo, why);
        if (type == TRegType::ExpandSz || type == TRegType::MultiSz)
            terminateText(&bytes);
    } else {
        return skip(skipped, lineNo, QStringLiteral("unknown data type"));
    }

    if (!m_keyOpen)
        return skip(skipped, lineNo, m_noKeyReason);
    *record = {};
    record->Kind = remove ? TRegRecord::TKind::DeleteValue : TRegRecord::TKind::Value;
    record->Line = lineNo;
    record->Name = std::move(name);
    if (!remove) {
        record->Type = type;
        record->Data = std::move(bytes);
    }
    return TStep::Record;
}

// The platform's editor ends REG_EXPAND_SZ and REG_MULTI_SZ byte lists with a NUL when the file
// does not: one byte in an 8-bit file, one 16-bit unit in a UTF-16 file.
void TRegParser::terminateText(QByteArray* bytes) const
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
bool TRegParser::parseHexList(QByteArrayView line, qsizetype pos, int firstLine, QByteArray* data,
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
        return QStringLiteral("unknown root \"%1\"").arg(RegShownText(root));
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
