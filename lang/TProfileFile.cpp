#include "lang/TProfileFile.h"

#include "lang/TCharset.h"

#include <QFile>

namespace {

constexpr int Utf8 = -1;
constexpr qint64 ChunkSize = 64 * 1024;
// Longer lines keep only their start: enough for any key and for a value past the length cut.
constexpr qsizetype MaxKeptLine = 16 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QByteArray trimmedBlanks(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes.at(begin)))
        ++begin;
    while (end > begin && isBlank(bytes.at(end - 1)))
        --end;
    return bytes.mid(begin, end - begin);
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are compared in the file's bytes; letter case of ASCII letters does not count.
bool sameName(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a.at(i)) != asciiLower(b.at(i)))
            return false;
    }
    return true;
}

// Calls onLine for each line of the file (without its end: CR, LF or CR LF) until it returns
// false. Lines longer than MaxKeptLine are cut. False when the file cannot be opened.
template <typename F> bool forEachLine(const QString& fileName, F&& onLine)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray line;
    bool overlong = false;
    bool first = true;
    while (true) {
        const QByteArray chunk = file.read(ChunkSize);
        if (chunk.isEmpty())
            break;
        qsizetype start = 0;
        while (start < chunk.size()) {
            qsizetype end = start;
            while (end < chunk.size() && chunk.at(end) != '\n' && chunk.at(end) != '\r')
                ++end;
            if (!overlong) {
                const qsizetype room = MaxKeptLine - line.size();
                const qsizetype take = qMin(room, end - start);
                line.append(chunk.constData() + start, take);
                overlong = take < end - start;
            }
            if (end == chunk.size())
                break;
            // A line break ends the line; CR LF counts as one break, an empty line between
            // them is harmless for a reader that skips empty lines.
            if (first && TCharset::HasUtf8Bom(line))
                line.remove(0, 3);
            first = false;
            if (!onLine(line))
                return true;
            line.clear();
            overlong = false;
            start = end + 1;
        }
    }
    if (first && TCharset::HasUtf8Bom(line))
        line.remove(0, 3);
    if (!line.isEmpty())
        onLine(line);
    return true;
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<QByteArray> sectionName(const QByteArray& line)
{
    const QByteArray text = trimmedBlanks(line);
    if (!text.startsWith('['))
        return std::nullopt;
    qsizetype close = text.indexOf(']');
    if (close < 0)
        close = text.size();
    return trimmedBlanks(text.mid(1, close - 1));
}

bool fileIsUtf8(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !TCharset::HasUtf8Bom(file.read(3)))
        return false;
    TCharset::TUtf8Check check;
    while (true) {
        const QByteArray chunk = file.read(ChunkSize);
        if (chunk.isEmpty())
            break;
        if (!check.Feed(chunk))
            return false;
    }
    return check.Complete();
}

} // namespace

TProfileFile::TProfileFile(const QString& fileName, std::optional<int> charset)
    : m_fileName(fileName), m_charset(charset)
{
}

int TProfileFile::Charset() const
{
    if (m_charset)
        return *m_charset;
    if (fileIsUtf8(m_fileName)) {
        m_charset = Utf8;
        return Utf8;
    }
    // The number is plain digits, so it reads the same in every 8-bit code page.
    int charset = 0;
    if (const auto raw = FindRaw("Messages", "nCharset")) {
        bool ok = false;
        const int number = QString::fromLatin1(*raw).toInt(&ok);
        if (ok)
            charset = number;
    }
    m_charset = charset;
    return charset;
}

QString TProfileFile::Decode(const QByteArray& bytes) const
{
    if (Charset() == Utf8)
        return QString::fromUtf8(bytes);
    return TCharset::Decode(bytes, Charset());
}

std::optional<QByteArray> TProfileFile::FindRaw(const QByteArray& section, const QByteArray& key) const
{
    std::optional<QByteArray> found;
    bool inSection = false;
    forEachLine(m_fileName, [&](const QByteArray& line) {
        if (const auto name = sectionName(line)) {
            // Only the first section of that name counts.
            if (inSection)
                return false;
            inSection = sameName(*name, section);
            return true;
        }
        if (!inSection)
            return true;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || !sameName(trimmedBlanks(line.left(equals)), key))
            return true;
        QByteArray value = trimmedBlanks(line.mid(equals + 1));
        // The text ends at a NUL byte, as a C string would.
        const qsizetype nul = value.indexOf('\0');
        if (nul >= 0)
            value.truncate(nul);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        found = value;
        return false;
    });
    return found;
}

QString TProfileFile::ReadString(const QString& section, const QString& key,
                                 const QString& defaultValue) const
{
    // Names are ASCII in practice; others are looked up in the file's own encoding.
    const auto encode = [this](const QString& name) {
        return Charset() == Utf8 ? name.toUtf8() : name.toLatin1();
    };
    // The names asked for are trimmed like the names in the file.
    const auto raw = FindRaw(trimmedBlanks(encode(section)), trimmedBlanks(encode(key)));
    if (!raw)
        return defaultValue;
    QString value = Decode(*raw);
    if (value.size() > MaxValueLength)
        value.truncate(MaxValueLength);
    return value;
}
