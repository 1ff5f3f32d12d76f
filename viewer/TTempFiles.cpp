#include "viewer/TTempFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <cmath>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TTempFiles {
namespace {

// A folder we may use: a real directory (not a link), ours, closed to everyone else.
bool isPrivateFolder(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString MakePrivateFolder(const QString& tempRoot)
{
    const QString base = tempRoot + QStringLiteral("/vrel-web-camera-%1").arg(::geteuid());
    const QByteArray path = QFile::encodeName(base);
    if ((::mkdir(path.constData(), 0700) == 0 || errno == EEXIST) && isPrivateFolder(path))
        return base + QLatin1Char('/');
    // Someone else holds the usual name: take a fresh folder of our own instead.
    QByteArray pattern = path + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        return QFile::decodeName(pattern) + QLatin1Char('/');
    return QString();
}

namespace {

struct TAbandoned
{
    QString Name;
    QDeadlineTimer KeepUntil;
};

QList<TAbandoned>& abandoned()
{
    static QList<TAbandoned> names;
    return names;
}

// A stopped worker gives up at its next stop check, long before the entry expires.
constexpr int KeepAbandonedMs = 10 * 60 * 1000;

void removeAbandoned()
{
    for (const TAbandoned& a : std::as_const(abandoned()))
        QFile::remove(a.Name);
    abandoned().removeIf([](const TAbandoned& a) { return a.KeepUntil.hasExpired(); });
}

void sweepAtExit()
{
    removeAbandoned();
    abandoned().clear();
}

} // namespace

QString FileNameFor(const QString& folder, const QTime& time, quint32 random, const QString& ext)
{
    const double fraction = time.msecsSinceStartOfDay() / 86400000.0;
    const qint64 stamp = std::llround(fraction * 100000000.0);
    return folder + QString::number(stamp) + QString::number(random) + ext;
}

QString PrivateFolder()
{
    static const QString folder = [] {
        const QString made = MakePrivateFolder(QDir::tempPath());
        if (!made.isEmpty())
            HoldFolder(made);
        return made;
    }();
    return folder;
}

namespace {

const QString InUseName = QStringLiteral(".in-use");

// The descriptors that hold a folder, by folder; they stay open until the process ends, and with
// them the lock, which the system drops by itself however the process ends.
QHash<QString, int>& heldFolders()
{
    static QHash<QString, int> folders;
    return folders;
}

int lockWithRetry(int fd, int operation)
{
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace

bool HoldFolder(const QString& folder)
{
    if (heldFolders().contains(folder))
        return true;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(InUseName));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (lockWithRetry(fd, LOCK_SH) != 0) {
        ::close(fd);
        return false;
    }
    heldFolders().insert(folder, fd);
    return true;
}

QStringList RemoveLeftovers(const QString& folder)
{
    if (folder.isEmpty() || !HoldFolder(folder))
        return {};
    const int fd = heldFolders().value(folder);
    // Only with the folder to ourselves: any other holder is a running copy (or a test) whose
    // downloads are in there.
    if (lockWithRetry(fd, LOCK_EX | LOCK_NB) != 0)
        return {};
    QStringList removed;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name != InUseName && QFile::remove(dir.filePath(name)))
            removed.append(dir.filePath(name));
    }
    lockWithRetry(fd, LOCK_SH);
    return removed;
}

QString Create(const QString& ext)
{
    static const bool registered = [] {
        qAddPostRoutine(sweepAtExit);
        return true;
    }();
    Q_UNUSED(registered);
    removeAbandoned();

    const QString folder = PrivateFolder();
    if (folder.isEmpty())
        return QString();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const quint32 random = QRandomGenerator::global()->bounded(RandomLimit);
        const QString name = FileNameFor(folder, QTime::currentTime(), random, ext);
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return name;
    }
    return QString();
}

void Abandon(const QString& fileName)
{
    if (!fileName.isEmpty())
        abandoned().append({fileName, QDeadlineTimer(KeepAbandonedMs)});
}

} // namespace TTempFiles
