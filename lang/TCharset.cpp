#include "lang/TCharset.h"

#include <cerrno>

#include <iconv.h>

namespace TCharset {

const char* CodePageName(int charset)
{
    switch (charset) {
    case 204:
        return "CP1251";
    case 238:
        return "CP1250";
    case 161:
        return "CP1253";
    case 162:
        return "CP1254";
    case 177:
        return "CP1255";
    case 178:
        return "CP1256";
    case 186:
        return "CP1257";
    case 222:
        return "CP874";
    // Code page 932, the Windows form of Shift_JIS, which files written there use.
    case 128:
        return "CP932";
    case 129:
        return "CP949";
    case 134:
        return "GBK";
    case 136:
        return "BIG5";
    default:
        return "CP1252";
    }
}

QString Decode(const QByteArray& bytes, int charset)
{
    if (bytes.isEmpty())
        return QString();
    iconv_t cd = iconv_open("UTF-8", CodePageName(charset));
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString::fromLatin1(bytes);

    QByteArray out;
    out.reserve(bytes.size() * 2);
    char buffer[4096];
    // iconv's interface takes a non-const input pointer but does not write through it.
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    const QByteArray replacement = QStringLiteral("\uFFFD").toUtf8();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (result != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // An undefined byte or a multi-byte sequence cut short: mark it and go on after it.
        out.append(replacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Some converters (CP1255, CP1258) hold back the last letter for a combining mark that may
    // follow: flush it.
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
    iconv_close(cd);
    return QString::fromUtf8(out);
}

bool TUtf8Check::Feed(const QByteArray& bytes)
{
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (m_needed > 0) {
            if (b < m_low || b > m_high)
                return false;
            m_low = 0x80;
            m_high = 0xBF;
            --m_needed;
            continue;
        }
        if (b < 0x80)
            continue;
        if (b >= 0xC2 && b <= 0xDF) {
            m_needed = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            m_needed = 2;
            m_low = b == 0xE0 ? 0xA0 : 0x80;
            m_high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            m_needed = 3;
            m_low = b == 0xF0 ? 0x90 : 0x80;
            m_high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
    }
    return true;
}

bool HasUtf8Bom(const QByteArray& bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

QString DecodeFile(const QByteArray& bytes, int charset)
{
    if (HasUtf8Bom(bytes)) {
        const QByteArray text = bytes.mid(3);
        TUtf8Check check;
        if (check.Feed(text) && check.Complete())
            return QString::fromUtf8(text);
    }
    return Decode(bytes, charset);
}

} // namespace TCharset
