#include "camera/RegistryLayout.h"
#include "options/ERegistryError.h"
#include "options/fOptionsNew.h"
#include "platform/TAutostart.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

namespace {

const QString ProgramKey = RegistryLayout::ProgramKey;

TRegKey programKey()
{
    return TRegKey::create(TRegRoot::CurrentUser, ProgramKey);
}

QByteArray dwordBytes(qint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian<qint32>(value, data.data());
    return data;
}

// The options window's controls as the options record sees them.
class TFormControls : public TOptionsFormControls
{
public:
    bool StartWithWindows = false;
    bool CheckForUpdates = false;
    QStringList Entries{"Engish", "Deutsch"};
    int Selected = -1;

    bool StartWithWindowsChecked() const override { return StartWithWindows; }
    void SetStartWithWindowsChecked(bool checked) override { StartWithWindows = checked; }
    bool CheckForUpdatesChecked() const override { return CheckForUpdates; }
    void SetCheckForUpdatesChecked(bool checked) override { CheckForUpdates = checked; }
    QStringList LanguageEntries() const override { return Entries; }
    int SelectedLanguageIndex() const override { return Selected; }
    void SelectLanguageIndex(int index) override { Selected = index; }
};

} // namespace

class tst_fOptionsNew : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

    QString autostartFile() const { return m_dir.filePath("config/autostart/vrel-web-camera.desktop"); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.Reset());
        OptionsForm = nullptr;
    }
    void cleanup()
    {
        OptionsForm = nullptr;
        TRegistryStore::closeAll();
    }

    void firstLoadOnEmptyStore()
    {
        TProgramOptions options;
        QVERIFY(options.LoadOptions());
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, ProgramKey));
        QVERIFY(TRegKey::open(TRegRoot::CurrentUser, ProgramKey).valueNames().isEmpty());
        QCOMPARE(options.ShowTipsOnStartup, true);
        QCOMPARE(options.CheckForUpdatesOnStartup, true);
        QCOMPARE(options.StartOnStartup, false);
        QCOMPARE(options.LastUpdateSize, 0);
        QCOMPARE(options.Language, QString());
        QCOMPARE(options.Loaded, 1u);
        QVERIFY(!QFileInfo::exists(autostartFile()));
    }

    // One stored value at a time over the first load's defaults.
    void loadReadsEachValueOnItsOwn_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("tips-5-is-true")
            << "ShowTipsOnStartup" << TRegType::Dword << dwordBytes(5) << "tips" << QVariant(true);
        QTest::newRow("tips-0") << "ShowTipsOnStartup" << TRegType::Dword << dwordBytes(0) << "tips"
                                << QVariant(false);
        QTest::newRow("tips-as-string-keeps-default")
            << "ShowTipsOnStartup" << TRegType::Sz << QByteArray("0\0", 2) << "tips" << QVariant(true);
        QTest::newRow("updates-0") << "CheckForUpdatesOnStartup" << TRegType::Dword << dwordBytes(0)
                                   << "updates" << QVariant(false);
        QTest::newRow("size-as-string-keeps-0")
            << "LastUpdateSize" << TRegType::Sz << QByteArray("1234\0", 5) << "size" << QVariant(0);
        QTest::newRow("size-12345") << "LastUpdateSize" << TRegType::Dword << dwordBytes(12345) << "size"
                                    << QVariant(12345);
        QTest::newRow("language-name")
            << "Language" << TRegType::Sz << QByteArray("Engish\0", 7) << "language" << QVariant("Engish");
        QTest::newRow("language-as-number-keeps-default")
            << "Language" << TRegType::Dword << dwordBytes(1) << "language" << QVariant("EN");
    }
    void loadReadsEachValueOnItsOwn()
    {
        QFETCH(QString, value);
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, field);
        QFETCH(QVariant, expected);
        QVERIFY(programKey().setValue(value, type, data));
        // A neighbour that is readable must not be disturbed by the odd value.
        QVERIFY(programKey().writeDword("StartOnStartup", 0));

        TProgramOptions options;
        options.LoadOptions();

        const QHash<QString, QVariant> fields{{"tips", options.ShowTipsOnStartup},
                                              {"updates", options.CheckForUpdatesOnStartup},
                                              {"size", options.LastUpdateSize},
                                              {"language", options.Language}};
        QCOMPARE(fields.value(field), expected);
        QCOMPARE(options.StartOnStartup, false);
    }

    void laterLoadKeepsCurrentValuesForUnreadableOnes()
    {
        TProgramOptions options;
        options.LoadOptions();
        options.SetLastUpdateSize(777);
        options.SetShowTipsOnStartup(false);
        QVERIFY(programKey().writeString("LastUpdateSize", "junk"));
        options.LoadOptions();
        QCOMPARE(options.LastUpdateSize, 777);
        QCOMPARE(options.ShowTipsOnStartup, false);
    }

    void saveWritesNumbersAndExePath()
    {
        QVERIFY(programKey().writeDword("ShowTipsOnStartup", 5));
        QVERIFY(programKey().writeString("LastUpdateSize", "junk"));
        TProgramOptions options;
        options.LoadOptions();
        options.SaveOptions();

        const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, ProgramKey);
        QCOMPARE(key.queryValue("ShowTipsOnStartup")->Data, dwordBytes(1));
        QCOMPARE(key.queryValue("LastUpdateSize")->Type, TRegType::Dword);
        QCOMPARE(key.readDword("LastUpdateSize"), std::optional<qint32>(0));
        QCOMPARE(key.readDword("CheckForUpdatesOnStartup"), std::optional<qint32>(1));
        QCOMPARE(key.readDword("StartOnStartup"), std::optional<qint32>(0));
        QCOMPARE(key.readString("Language"), std::optional<QString>(QString()));
        const QString exeFolder = QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath() + "/";
        QCOMPARE(key.readString("ExePath"), std::optional<QString>(exeFolder));
    }

    void autostartEntryFollowsTheLoadedOption()
    {
        QVERIFY(programKey().writeDword("StartOnStartup", 1));
        TProgramOptions options;
        options.LoadOptions();
        QFile entry(autostartFile());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        entry.close();
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
        QVERIFY2(text.contains("\nExec=" + exe + " -start\n"), qPrintable(text));

        // Saving a cleared option does not touch the entry; the next load does.
        options.StartOnStartup = false;
        options.SaveOptions();
        QVERIFY(QFileInfo::exists(autostartFile()));
        options.LoadOptions();
        QVERIFY(!QFileInfo::exists(autostartFile()));
    }

    void autostartEntryIsRewrittenForAMovedProgram()
    {
        QVERIFY(programKey().writeDword("StartOnStartup", 1));
        QDir().mkpath(QFileInfo(autostartFile()).absolutePath());
        QFile stale(autostartFile());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("[Desktop Entry]\nType=Application\nName=Vrel Web "
                    "Camera\nExec=/old/place/vrel-web-camera -start\n");
        stale.close();

        TProgramOptions options;
        options.LoadOptions();
        QVERIFY(stale.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(stale.readAll());
        QVERIFY(!text.contains("/old/place"));
        QVERIFY(text.contains(QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath() +
                              " -start"));
    }

    void unwritableStore()
    {
        QFile blocker(m_dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TRegistryStore::closeAll();
        m_dir.Set("VREL_USER_REGISTRY", m_dir.filePath("blocker/user.db").toUtf8());

        TProgramOptions options;
        QVERIFY(!options.LoadOptions());
        QCOMPARE(options.Language, QString("EN"));
        QCOMPARE(options.ShowTipsOnStartup, true);
        QCOMPARE(options.Loaded, 1u);
        try {
            options.SaveOptions();
            QFAIL("saving into an unwritable store reported no failure");
        } catch (const ERegistryError& error) {
            QCOMPARE(error.message(), QString("Failed to set data for 'ExePath'"));
        }
    }

    void unwritableAutostartFolderRaises()
    {
        QFile blocker(m_dir.filePath("config"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TProgramOptions options;
        try {
            options.SetStartOnStartup(true);
            QFAIL("writing the autostart entry below a file reported no failure");
        } catch (const ERegistryError& error) {
            QCOMPARE(error.message(), QString("Failed to set data for 'Vrel Web Camera'"));
        }
        QCOMPARE(options.StartOnStartup, true);
    }

    void setLanguageSelectsInTheOpenWindow_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("selected");
        QTest::newRow("exact") << "Deutsch" << 1;
        QTest::newRow("lower-case-name") << "engish" << 0;
        QTest::newRow("upper-case-name") << "DEUTSCH" << 1;
        QTest::newRow("code-matches-no-entry") << "EN" << 0;
        QTest::newRow("empty") << QString() << 0;
    }
    void setLanguageSelectsInTheOpenWindow()
    {
        QFETCH(QString, language);
        QFETCH(int, selected);
        TFormControls form;
        form.Selected = -1;
        OptionsForm = &form;
        TProgramOptions options;
        options.SetLanguage(language);
        QCOMPARE(form.Selected, selected);
        QCOMPARE(options.Language, language);
    }

    void loadRefreshesTheOpenWindow()
    {
        QVERIFY(programKey().writeDword("CheckForUpdatesOnStartup", 0));
        QVERIFY(programKey().writeString("Language", "deutsch"));
        TFormControls form;
        form.CheckForUpdates = true;
        form.StartWithWindows = true;
        OptionsForm = &form;
        TProgramOptions options;
        options.LoadOptions();
        QCOMPARE(form.CheckForUpdates, false);
        QCOMPARE(form.StartWithWindows, false);
        QCOMPARE(form.Selected, 1);
    }

    void saveTakesTheWindowsControls_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("stored");
        QTest::newRow("second-entry") << 1 << "Deutsch";
        QTest::newRow("nothing-selected") << -1 << "EN";
    }
    void saveTakesTheWindowsControls()
    {
        QFETCH(int, selected);
        QFETCH(QString, stored);
        TProgramOptions options;
        options.LoadOptions();
        TFormControls form;
        form.Selected = selected;
        form.StartWithWindows = true;
        form.CheckForUpdates = false;
        OptionsForm = &form;
        options.SaveOptions();

        const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, ProgramKey);
        QCOMPARE(key.readString("Language"), std::optional<QString>(stored));
        QCOMPARE(key.readDword("StartOnStartup"), std::optional<qint32>(1));
        QCOMPARE(key.readDword("CheckForUpdatesOnStartup"), std::optional<qint32>(0));
        QCOMPARE(options.Language, stored);
        // The entry follows at the next load, not at saving.
        QVERIFY(!QFileInfo::exists(autostartFile()));
    }
};

QTEST_GUILESS_MAIN(tst_fOptionsNew)
#include "tst_fOptionsNew.moc"
