#include "viewer/TKeptPicture.h"

#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "viewer/TPicture.h"
#include "viewer/TRevalidation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

namespace TKeptPicture {
namespace {

const QString ETagValue = QStringLiteral("ETag");
const QString LastModifiedValue = QStringLiteral("LastModified");
const QString PictureURLValue = QStringLiteral("PictureURL");
const QString URLValue = QStringLiteral("URL");

QString favoriteURL(const TRegKey& key)
{
    return key.readString(URLValue).value_or(QString()).trimmed();
}

QString folder()
{
    // Tests (and scripts) that move the store move the kept pictures with it.
    if (!qEnvironmentVariableIsEmpty("VREL_USER_REGISTRY"))
        return QFileInfo(TRegistryStore::pathFor(TRegRoot::CurrentUser)).absolutePath() +
               QStringLiteral("/pictures");
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/vrel-web-camera/pictures");
}

void removeKept(TRegKey& key, const QString& keyPath)
{
    key.deleteValue(ETagValue);
    key.deleteValue(LastModifiedValue);
    key.deleteValue(PictureURLValue);
    QFile::remove(FilePath(keyPath));
}

// keyPath and every key below it.
void collectKeyPaths(const QString& keyPath, QStringList* paths)
{
    paths->append(keyPath);
    const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, keyPath);
    for (const QString& below : key.subKeyNames())
        collectKeyPaths(keyPath + QLatin1Char('\\') + below, paths);
}

// A name FilePath gives, or one of QSaveFile's leftovers beside it.
bool isPictureFileName(const QString& name)
{
    static const QRegularExpression pictureName(QStringLiteral("^[0-9a-f]{40}(\\..*)?$"));
    return pictureName.match(name).hasMatch();
}

} // namespace

void ForgetOrphans(const QString& favoritesKeyPath)
{
    const QDir pictures(folder());
    if (!pictures.exists())
        return;
    const QString parent = favoritesKeyPath.section(QLatin1Char('\\'), 0, -2);
    if (!parent.isEmpty() && !TRegKey::exists(TRegRoot::CurrentUser, parent))
        return;
    QSet<QString> owned;
    if (TRegKey::exists(TRegRoot::CurrentUser, favoritesKeyPath)) {
        QStringList keyPaths;
        collectKeyPaths(favoritesKeyPath, &keyPaths);
        for (const QString& keyPath : keyPaths)
            owned.insert(QFileInfo(FilePath(keyPath)).fileName());
    }
    for (const QString& name : pictures.entryList(QDir::Files | QDir::Hidden)) {
        if (isPictureFileName(name) && !owned.contains(name))
            QFile::remove(pictures.filePath(name));
    }
}

QString FilePath(const QString& keyPath)
{
    // Key names ignore letter case, so the file name does too.
    const QByteArray name =
        QCryptographicHash::hash(keyPath.toLower().toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder() + QLatin1Char('/') + QString::fromLatin1(name);
}

void Forget(const QString& keyPath)
{
    TRegKey key = TRegKey::open(TRegRoot::CurrentUser, keyPath);
    if (!key.isOpen())
        return;
    // A description with "\" names a favourite below another one, and its key goes with the tree.
    for (const QString& below : key.subKeyNames())
        Forget(keyPath + QLatin1Char('\\') + below);
    removeKept(key, keyPath);
}

bool Load(const QString& keyPath, TKept* kept)
{
    *kept = TKept();
    const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, keyPath);
    if (!key.isOpen())
        return false;
    TKept found;
    found.ETag = TRevalidation::Sanitized(key.readString(ETagValue).value_or(QString()).toUtf8());
    found.LastModified =
        TRevalidation::Sanitized(key.readString(LastModifiedValue).value_or(QString()).toUtf8());
    if (found.ETag.isEmpty() && found.LastModified.isEmpty())
        return false;
    // Validators of another address could earn a 304 there for a picture it never sent.
    found.URL = key.readString(PictureURLValue).value_or(QString()).trimmed();
    if (found.URL.isEmpty() || found.URL != favoriteURL(key))
        return false;
    QFile file(FilePath(keyPath));
    if (!file.open(QIODevice::ReadOnly) || file.size() > TPicture::MaxFileBytes)
        return false;
    found.Body = file.readAll();
    if (found.Body.isEmpty())
        return false;
    *kept = std::move(found);
    return true;
}

bool Store(const QString& keyPath, const TKept& kept)
{
    if (!TRegKey::exists(TRegRoot::CurrentUser, keyPath))
        return false;
    TRegKey key = TRegKey::open(TRegRoot::CurrentUser, keyPath);
    const QByteArray etag = TRevalidation::Sanitized(kept.ETag);
    const QByteArray lastModified = TRevalidation::Sanitized(kept.LastModified);
    if ((etag.isEmpty() && lastModified.isEmpty()) || kept.Body.isEmpty()) {
        removeKept(key, keyPath);
        return true;
    }
    // The file first: validators without their picture would ask for a picture nobody has.
    QDir().mkpath(folder());
    QSaveFile file(FilePath(keyPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(kept.Body) != kept.Body.size() || !file.commit()) {
        removeKept(key, keyPath);
        return false;
    }
    QFile::setPermissions(FilePath(keyPath), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString pictureURL = kept.URL.trimmed().isEmpty() ? favoriteURL(key) : kept.URL.trimmed();
    TRegTransaction tx(TRegRoot::CurrentUser);
    bool written = key.writeString(PictureURLValue, pictureURL);
    if (etag.isEmpty())
        key.deleteValue(ETagValue);
    else
        written = written && key.writeString(ETagValue, QString::fromUtf8(etag));
    if (lastModified.isEmpty())
        key.deleteValue(LastModifiedValue);
    else
        written = written && key.writeString(LastModifiedValue, QString::fromUtf8(lastModified));
    return written && tx.commit();
}

} // namespace TKeptPicture
