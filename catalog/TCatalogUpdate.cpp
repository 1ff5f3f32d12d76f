#include "catalog/TCatalogUpdate.h"

#include "camera/RegistryLayout.h"
#include "platform/TMakerSite.h"
#include "platform/TRegistry.h"

#include <QList>
#include <QRegularExpression>

#include <cmath>

namespace TCatalogUpdate {

QString CatalogRootKey()
{
    return QStringLiteral("HKEY_LOCAL_MACHINE\\") + RegistryLayout::CatalogKey;
}

QString CatalogAddress()
{
    const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
    if (key.isOpen()) {
        const std::optional<QString> own = key.readString(QStringLiteral("CatalogURL"));
        if (own && !own->trimmed().isEmpty())
            return own->trimmed();
    }
    return MakerWebHost() + QStringLiteral("/info/vwcfavorites.reg");
}

QString UserName()
{
    return QStringLiteral(VREL_CATALOG_USER);
}

QString Password()
{
    return QStringLiteral(VREL_CATALOG_PASSWORD);
}

int ProgressPercent(qint32 total, qint32 readed)
{
    // 64-bit: readed × 100 overflows 32 bits from 21 MB on.
    const double percent = static_cast<double>(static_cast<qint64>(readed) * 100) / total;
    return static_cast<int>(std::nearbyint(percent));
}

QByteArray WithRegeditHeader(const QByteArray& content)
{
    QByteArray text = content;
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    QList<QByteArray> lines;
    int start = 0;
    while (start < text.size()) {
        int end = start;
        while (end < text.size() && text.at(end) != '\r' && text.at(end) != '\n')
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < text.size() && text.at(end) == '\r' && end + 1 < text.size() && text.at(end + 1) == '\n')
            ++end;
        start = end + 1;
    }
    if (lines.isEmpty())
        lines.append(QByteArray());
    lines[0] = "REGEDIT4";
    QByteArray out;
    out.reserve(text.size() + lines.size() + 16);
    for (const QByteArray& line : std::as_const(lines))
        out += line + "\r\n";
    return out;
}

bool NamesCatalogKeys(const QByteArray& content)
{
    static const QRegularExpression keyLine(
        QStringLiteral("^\\[-?(HKEY_LOCAL_MACHINE|HKLM)\\\\SOFTWARE\\\\Vrel Kestro Software\\\\Vrel Kestro "
                       "Web Camera\\\\Favorites(\\\\|\\])"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    return keyLine.match(QString::fromLatin1(content)).hasMatch();
}

} // namespace TCatalogUpdate
