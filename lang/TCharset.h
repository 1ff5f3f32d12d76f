#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit character sets a language file may name in its "nCharset" message (the numbers of
// the Windows font interface), and the decoding of 8-bit text in them through iconv.
namespace TCharset {

// The iconv name of the code page behind a font character set: 0 is Windows-1252, 204 is
// Windows-1251 and so on; an unknown number falls back to Windows-1252.
const char* CodePageName(int charset);

// Decodes 8-bit text of the given character set. Bytes the code page does not define become
// U+FFFD; nothing is dropped silently and no input makes this fail.
QString Decode(const QByteArray& bytes, int charset);

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF), fed in pieces:
// a sequence may continue in the next piece.
class TUtf8Check
{
public:
    // False as soon as the bytes so far cannot be UTF-8.
    bool Feed(const QByteArray& bytes);
    // True when no sequence is left open.
    bool Complete() const { return m_needed == 0; }

private:
    int m_needed = 0;
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
};

// True when bytes start with the UTF-8 byte-order mark.
bool HasUtf8Bom(const QByteArray& bytes);
// Decodes a whole text file's bytes: valid UTF-8 behind a byte-order mark is read as UTF-8
// (without the mark), anything else as 8-bit text of the given character set.
QString DecodeFile(const QByteArray& bytes, int charset);

} // namespace TCharset
