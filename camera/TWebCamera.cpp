#include "camera/TWebCamera.h"

#include "camera/RegistryLayout.h"
#include "platform/TMakerSite.h"
#include "platform/TRegistry.h"
#include "viewer/TKeptPicture.h"

namespace {

qint32 dwordOr(const TRegKey& key, const QString& name, qint32 fallback)
{
    return key.readDword(name).value_or(fallback);
}

bool flagOr(const TRegKey& key, const QString& name, bool fallback)
{
    const auto v = key.readDword(name);
    return v ? *v != 0 : fallback;
}

// A description made only of "\" (or empty) names no key of its own: without this guard it
// would address the whole favourites tree, and ClearReg would delete every favourite.
bool namesAKey(const QString& description)
{
    return !description.split(QLatin1Char('\\'), Qt::SkipEmptyParts).isEmpty();
}

} // namespace

QString TWebCamera::DefaultImageURL()
{
    return MakerWebHost() + QStringLiteral("/images/logo.jpg");
}

QString TWebCamera::FavoriteKeyPath() const
{
    return RegistryLayout::MyFavoritesKey + QLatin1Char('\\') + Description;
}

QString TWebCamera::CatalogKeyPath() const
{
    return RegistryLayout::CatalogKey + QLatin1Char('\\') + CatalogPath + QLatin1Char('\\') + Description;
}

void TWebCamera::LoadFromReg()
{
    if (!namesAKey(Description))
        return;
    const bool fromCatalog = !CatalogPath.isEmpty();
    const TRegKey key = fromCatalog ? TRegKey::open(TRegRoot::LocalMachine, CatalogKeyPath())
                                    : TRegKey::open(TRegRoot::CurrentUser, FavoriteKeyPath());
    if (!key.isOpen())
        return;
    // A value without data reads as empty whatever its type; only data of a non-text type
    // gets the default picture.
    const auto url = key.queryValue(QStringLiteral("URL"));
    if (!url || url->Data.isEmpty())
        URL.clear();
    else if (url->Type == TRegType::Sz || url->Type == TRegType::ExpandSz)
        URL = key.readString(QStringLiteral("URL")).value_or(QString());
    else
        URL = DefaultImageURL();
    UpdateInterval = dwordOr(key, QStringLiteral("UpdateInterval"), 10000);
    Scale = dwordOr(key, QStringLiteral("Scale"), 100);
    Left = dwordOr(key, QStringLiteral("Left"), 0);
    Top = dwordOr(key, QStringLiteral("Top"), 0);
    RunOnStartup = flagOr(key, QStringLiteral("RunOnStartup"), false);
    AlwaysOnTop = flagOr(key, QStringLiteral("AlwaysOnTop"), true);
    Opened = flagOr(key, QStringLiteral("Opened"), false);
}

bool TWebCamera::SaveToReg() const
{
    if (!namesAKey(Description))
        return false;
    TRegTransaction tx(TRegRoot::CurrentUser);
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, FavoriteKeyPath());
    const bool ok = key.isOpen() && key.writeString(QStringLiteral("URL"), URL) &&
                    key.writeDword(QStringLiteral("UpdateInterval"), UpdateInterval) &&
                    key.writeDword(QStringLiteral("Scale"), Scale) &&
                    key.writeDword(QStringLiteral("Left"), Left) &&
                    key.writeDword(QStringLiteral("Top"), Top) &&
                    key.writeDword(QStringLiteral("RunOnStartup"), RunOnStartup ? 1 : 0) &&
                    key.writeDword(QStringLiteral("AlwaysOnTop"), AlwaysOnTop ? 1 : 0) &&
                    key.writeDword(QStringLiteral("Opened"), Opened ? 1 : 0);
    // All eight values land together or not at all.
    return ok && tx.commit();
}

void TWebCamera::ClearReg() const
{
    if (!isFavorite())
        return;
    // The kept picture's file lies outside the store, and nothing else would ever remove it.
    TKeptPicture::Forget(FavoriteKeyPath());
    TRegKey::deleteTree(TRegRoot::CurrentUser, FavoriteKeyPath());
}

bool TWebCamera::isFavorite() const
{
    return namesAKey(Description) && TRegKey::exists(TRegRoot::CurrentUser, FavoriteKeyPath());
}

void TWebCamera::doOpen()
{
    Opened = true;
    if (!namesAKey(Description))
        return;
    TRegKey key = TRegKey::open(TRegRoot::LocalMachine, CatalogKeyPath());
    if (key.isOpen())
        key.writeDword(QStringLiteral("Opened"), 1);
}
