#include "viewer/TTempFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

QString usualName(const QString& root)
{
    return root + QStringLiteral("/vrel-web-camera-%1").arg(::geteuid());
}

} // namespace

class tst_TTempFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameForm_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<quint32>("random");
        QTest::addColumn<QString>("expected");
        QTest::newRow("midnight") << QTime(0, 0) << 0u << "/t/00.gif";
        QTest::newRow("noon") << QTime(12, 0) << 42u << "/t/5000000042.gif";
        // 4 ms is 4.63 units: rounded to the nearest, not truncated.
        QTest::newRow("rounds-to-nearest") << QTime(0, 0, 0, 4) << 7u << "/t/57.gif";
        QTest::newRow("largest-random") << QTime(23, 59, 59, 999) << 123456788u << "/t/99999999123456788.gif";
    }
    void nameForm()
    {
        QFETCH(QTime, time);
        QFETCH(quint32, random);
        QFETCH(QString, expected);
        QCOMPARE(TTempFiles::FileNameFor(QStringLiteral("/t/"), time, random, QStringLiteral(".gif")),
                 expected);
    }

    void privateFolder_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("fresh") << "";
        QTest::newRow("own-folder-too-open") << "open-folder";
        QTest::newRow("symlink-to-elsewhere") << "symlink";
        QTest::newRow("plain-file") << "file";
        QTest::newRow("other-users-folder") << "foreign-folder";
    }
    void privateFolder()
    {
        QFETCH(QString, planted);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString usual = usualName(root.path());
        const QString elsewhere = root.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkdir(elsewhere));
        bool usualIsOk = true;
        if (planted == QLatin1String("open-folder")) {
            QVERIFY(QDir().mkdir(usual));
            QVERIFY(::chmod(QFile::encodeName(usual).constData(), 0777) == 0);
        } else if (planted == QLatin1String("symlink")) {
            QVERIFY(QFile::link(elsewhere, usual));
            usualIsOk = false;
        } else if (planted == QLatin1String("file")) {
            QFile f(usual);
            QVERIFY(f.open(QIODevice::WriteOnly));
            usualIsOk = false;
        } else if (planted == QLatin1String("foreign-folder")) {
            if (::geteuid() != 0)
                QSKIP("only root can make a folder that belongs to another user");
            QVERIFY(QDir().mkdir(usual));
            QVERIFY(::chown(QFile::encodeName(usual).constData(), 65534, 65534) == 0);
            usualIsOk = false;
        }

        const QString folder = TTempFiles::MakePrivateFolder(root.path());
        QVERIFY(folder.endsWith(QLatin1Char('/')));
        const QString dir = folder.chopped(1);
        if (usualIsOk)
            QCOMPARE(dir, usual);
        else
            QVERIFY2(dir.startsWith(usual + QLatin1Char('-')), qPrintable(dir));
        QCOMPARE(modeOf(dir) & 0777, mode_t(0700));
        QVERIFY(QFileInfo(dir).isDir() && !QFileInfo(dir).isSymLink());
        QVERIFY(QDir(elsewhere).isEmpty());
    }

    void createsDistinctEmptyFilesInPrivateFolder()
    {
        const QString a = TTempFiles::Create(QStringLiteral(".gif"));
        const QString b = TTempFiles::Create(QStringLiteral(".gif"));
        auto cleanup = qScopeGuard([&] {
            QFile::remove(a);
            QFile::remove(b);
        });
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        QVERIFY(a != b);
        const QRegularExpression form(QRegularExpression::escape(TTempFiles::PrivateFolder()) +
                                      QStringLiteral("\\d+\\.gif$"));
        QVERIFY2(form.match(a).hasMatch(), qPrintable(a));
        QVERIFY(QFileInfo(a).isFile());
        QCOMPARE(QFileInfo(a).size(), 0);
        // What a camera sends is for the user's eyes only.
        QCOMPARE(modeOf(a) & 0777, mode_t(0600));
        QCOMPARE(modeOf(TTempFiles::PrivateFolder().chopped(1)) & 0777, mode_t(0700));
    }

    void removesLeftoversOnlyWhenNoOtherCopyUsesTheFolder_data()
    {
        QTest::addColumn<bool>("otherCopy");
        QTest::newRow("folder-to-itself") << false;
        QTest::newRow("another-copy-holds-the-folder") << true;
    }
    void removesLeftoversOnlyWhenNoOtherCopyUsesTheFolder()
    {
        QFETCH(bool, otherCopy);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString folder = TTempFiles::MakePrivateFolder(root.path());
        QVERIFY(!folder.isEmpty());
        for (const char* name : {"4523118812345.gif", "77.jpg", "9.reg"}) {
            QFile left(folder + QLatin1String(name));
            QVERIFY(left.open(QIODevice::WriteOnly));
            left.write("partial download");
        }
        // A lock of its own (another open of the file) stands for a second process.
        int other = -1;
        if (otherCopy) {
            other = ::open(QFile::encodeName(folder + QStringLiteral(".in-use")).constData(),
                           O_RDWR | O_CREAT, 0600);
            QVERIFY(other >= 0);
            QCOMPARE(::flock(other, LOCK_SH), 0);
        }
        auto release = qScopeGuard([other] {
            if (other >= 0)
                ::close(other);
        });

        const QStringList removed = TTempFiles::RemoveLeftovers(folder);
        const QStringList remaining = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        if (otherCopy) {
            QCOMPARE(removed, QStringList());
            QCOMPARE(remaining, (QStringList{".in-use", "4523118812345.gif", "77.jpg", "9.reg"}));
        } else {
            QCOMPARE(removed.size(), 3);
            QVERIFY(removed.contains(folder + QStringLiteral("77.jpg")));
            QCOMPARE(remaining, QStringList{".in-use"});
        }
    }

    void abandonedFileRewrittenLaterIsRemoved()
    {
        const QString name = TTempFiles::Create(QStringLiteral(".gif"));
        QVERIFY(!name.isEmpty());
        QFile::remove(name);
        TTempFiles::Abandon(name);
        // A stopped worker that got past its last stop check writes the file once more.
        QFile late(name);
        QVERIFY(late.open(QIODevice::WriteOnly));
        late.write("late bytes");
        late.close();
        const QString next = TTempFiles::Create(QStringLiteral(".gif"));
        QFile::remove(next);
        QVERIFY(!QFile::exists(name));
    }
};

QTEST_APPLESS_MAIN(tst_TTempFiles)
#include "tst_TTempFiles.moc"
