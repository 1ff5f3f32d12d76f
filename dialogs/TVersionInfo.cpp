#include "dialogs/TVersionInfo.h"

#include "lang/Lang.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray BlockMagic = "VERSIONINFO";

// "1.2.3.4" as the two words; nothing for text that is not four numbers of 16 bits.
std::optional<std::pair<quint32, quint32>> parseVersion(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 numbers[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint value = parts.at(i).toUInt(&ok);
        if (!ok || value > 0xFFFF)
            return std::nullopt;
        numbers[i] = value;
    }
    return std::make_pair((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3]);
}

QString valueOf(const QStringList& lines, const QString& name)
{
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

bool isOwnProgram(const QString& fileName)
{
    const QFileInfo wanted(fileName);
    return wanted == QFileInfo(ProgramFilePath());
}

} // namespace

TVersionInfo::TVersionInfo(const QString& fileName) : m_fileName(fileName)
{
    QByteArray block;
    if (isOwnProgram(fileName)) {
        block = ProgramVersionBlock();
    } else {
        QFile file(fileName);
        // A version block is small; a file that starts otherwise has none.
        if (file.open(QIODevice::ReadOnly) && file.peek(BlockMagic.size()) == BlockMagic)
            block = file.read(64 * 1024);
    }
    if (!block.startsWith(BlockMagic))
        return;
    m_size = block.size();
    QString section;
    for (const QByteArray& raw : block.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            section = line.mid(1, line.size() - 2).toUpper();
        else if (!line.isEmpty() && !section.isEmpty())
            m_block[section].append(line);
    }
    m_valid = m_size > 0;
}

std::optional<quint32> TVersionInfo::Translation() const
{
    if (!m_valid)
        return std::nullopt;
    const QStringList entries = m_block.value(QStringLiteral("\\VARFILEINFO\\TRANSLATION"));
    if (entries.isEmpty())
        return std::nullopt;
    const QStringList parts = entries.first().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool okLanguage = false;
    bool okCodePage = false;
    const uint language = parts.value(0).toUInt(&okLanguage, 16);
    const uint codePage = parts.value(1).toUInt(&okCodePage, 16);
    if (parts.size() != 2 || !okLanguage || !okCodePage || language > 0xFFFF || codePage > 0xFFFF)
        return std::nullopt;
    return (codePage << 16) | language;
}

QString TVersionInfo::TranslationKey() const
{
    const auto translation = Translation();
    if (!translation)
        return QString();
    return QStringLiteral("%1%2")
        .arg(*translation & 0xFFFF, 4, 16, QLatin1Char('0'))
        .arg(*translation >> 16, 4, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<TFixedFileInfo> TVersionInfo::FixedInfo() const
{
    if (!m_valid || !m_block.contains(QStringLiteral("\\")))
        return std::nullopt;
    const QStringList lines = m_block.value(QStringLiteral("\\"));
    const auto product = parseVersion(valueOf(lines, QStringLiteral("ProductVersion")));
    if (!product)
        return std::nullopt;
    TFixedFileInfo info;
    info.ProductVersionMS = product->first;
    info.ProductVersionLS = product->second;
    if (const auto file = parseVersion(valueOf(lines, QStringLiteral("FileVersion")))) {
        info.FileVersionMS = file->first;
        info.FileVersionLS = file->second;
    }
    return info;
}

std::pair<quint32, quint32> TVersionInfo::ProductVersion() const
{
    const auto info = FixedInfo();
    if (!info)
        return {0, 0};
    return {info->ProductVersionMS, info->ProductVersionLS};
}

QString TVersionInfo::StringValue(const QString& name) const
{
    if (!m_valid)
        return QString();
    const QString key = TranslationKey();
    if (key.isEmpty())
        return QString();
    return valueOf(m_block.value(QStringLiteral("\\STRINGFILEINFO\\") + key), name);
}

QString TVersionInfo::VersionText(quint32 versionMS, quint32 versionLS)
{
    QString text = QStringLiteral("%1.%2").arg(versionMS >> 16).arg(versionMS & 0xFFFF);
    const quint32 release = versionLS >> 16;
    if (release != 0)
        text += QString::number(release);
    return text;
}
