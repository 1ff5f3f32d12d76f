#include "camera/TfrmCameraSettings.h"
#include "dialogs/fTipsForm.h"
#include "dialogs/fmAbout.h"
#include "lang/Lang.h"
#include "lang/TProfileFile.h"
#include "lang/TPropertyRegistry.h"
#include "lang/TWidgetProperties.h"
#include "options/TfrmOptionsForm.h"
#include "platform/TRegistryStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The language files the build puts beside the program: every property path names a window,
// a component of it and a property that exist, every path a window carries is translated, and
// every message is there. A renamed widget shows up here.
namespace {

const QStringList Codes{"EN", "DE", "RU"};
const QStringList Messages{"nCharset", "vchAbout", "vchOptions", "vchClearPersonalSettings"};

QString languageFile(const QString& code)
{
    return QStringLiteral(VREL_BIN_DIR "/vrel-web-camera.") + code;
}

// The keys of [Translations], in file order (the names are ASCII in every file).
QStringList translationKeys(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList keys;
    bool inSection = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('['))
            inSection = line == "[Translations]";
        else if (inSection && line.contains('='))
            keys << QString::fromLatin1(line.left(line.indexOf('=')).trimmed());
    }
    return keys;
}

std::unique_ptr<QWidget> windowNamed(const QString& name)
{
    if (name == "frmTipsForm")
        return std::make_unique<TfrmTipsForm>();
    if (name == "AboutForm")
        return std::make_unique<TAboutForm>();
    if (name == "frmCameraSettings")
        return std::make_unique<TfrmCameraSettings>();
    if (name == "frmOptionsForm")
        return std::make_unique<TfrmOptionsForm>();
    return nullptr;
}

// The windows whose language component carries paths.
const QStringList TranslatedWindows{"frmTipsForm", "AboutForm", "frmOptionsForm"};

// A component of the window by name, letter case ignored, as the language component finds it.
QObject* componentNamed(QObject* window, const QString& name)
{
    const QList<QObject*> all = window->findChildren<QObject*>();
    for (QObject* component : all) {
        if (component->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return component;
    }
    return nullptr;
}

} // namespace

class tst_LanguageFiles : public QObject
{
    Q_OBJECT

    // The options window lists the favourites of a store when it is made: an empty one.
    QTemporaryDir m_store;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_store.isValid());
        qputenv("VREL_USER_REGISTRY", m_store.filePath("user.db").toUtf8());
        qputenv("VREL_MACHINE_REGISTRY", m_store.filePath("machine.db").toUtf8());
        RegisterWidgetProperties();
    }
    void cleanupTestCase() { TRegistryStore::closeAll(); }

    void everyPathNamesSomethingThatExists_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& code : Codes) {
            const QStringList keys = translationKeys(languageFile(code));
            QVERIFY2(!keys.isEmpty(), qPrintable(languageFile(code)));
            for (const QString& key : keys)
                QTest::addRow("%s:%s", qPrintable(code), qPrintable(key)) << key;
        }
    }
    void everyPathNamesSomethingThatExists()
    {
        QFETCH(QString, path);
        const QStringList segments = path.split('.');
        QVERIFY2(segments.size() >= 2, "no window in the path");
        const auto window = windowNamed(segments.first());
        QVERIFY2(window, "no window of that name");
        const auto* language = window->findChild<TLanguage*>("lngLanguage");
        QVERIFY(language);
        QVERIFY2(language->Properties().contains(path), "the window does not carry this path");
        QObject* target = window.get();
        if (segments.size() == 3)
            target = componentNamed(window.get(), segments.at(1));
        QVERIFY2(target, "no component of that name");
        QVERIFY2(TPropertyRegistry::Find(target, segments.last()), "no property of that name");
    }

    // Every translatable window owns its language component under the one name the language
    // step looks for, with the paths it carries.
    void windowsCarryTheirLanguageComponent_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("paths");
        QTest::newRow("frmTipsForm") << "frmTipsForm" << 5;
        QTest::newRow("AboutForm") << "AboutForm" << 4;
        QTest::newRow("frmCameraSettings") << "frmCameraSettings" << 0;
        // Sixteen paths and two blank lines.
        QTest::newRow("frmOptionsForm") << "frmOptionsForm" << 18;
    }
    void windowsCarryTheirLanguageComponent()
    {
        QFETCH(QString, window);
        QFETCH(int, paths);
        const auto form = windowNamed(window);
        QCOMPARE(form->objectName(), window);
        const auto* language = form->findChild<TLanguage*>("lngLanguage");
        QVERIFY(language);
        QCOMPARE(language->Properties().size(), paths);
    }

    void everyCarriedPathAndMessageIsTranslated_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        for (const QString& code : Codes) {
            for (const QString& window : TranslatedWindows) {
                for (const QString& line :
                     windowNamed(window)->findChild<TLanguage*>("lngLanguage")->Properties()) {
                    if (TrimBlanks(line).isEmpty())
                        continue;
                    QTest::addRow("%s:%s", qPrintable(code), qPrintable(line))
                        << code << "Translations" << line;
                }
            }
            for (const QString& key : Messages)
                QTest::addRow("%s:%s", qPrintable(code), qPrintable(key)) << code << "Messages" << key;
        }
    }
    void everyCarriedPathAndMessageIsTranslated()
    {
        QFETCH(QString, code);
        QFETCH(QString, section);
        QFETCH(QString, key);
        const QString text = TProfileFile(languageFile(code)).ReadString(section, key, QString());
        QVERIFY2(!text.isEmpty(), "missing or empty");
        QVERIFY2(!text.contains(QChar(0xFFFD)), "bytes the file's code page does not define");
    }

    // The files are written in their languages' code pages and say so.
    void characterSets_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QString>("message");
        QTest::newRow("EN") << "EN"
                            << "0"
                            << "Options";
        QTest::newRow("DE") << "DE"
                            << "0" << QString::fromUtf8("Optionen");
        QTest::newRow("RU") << "RU"
                            << "204" << QString::fromUtf8("Настройки");
    }
    void characterSets()
    {
        QFETCH(QString, code);
        QFETCH(QString, charset);
        QFETCH(QString, message);
        const TProfileFile file(languageFile(code));
        QCOMPARE(file.ReadString("Messages", "nCharset", QString()), charset);
        QCOMPARE(file.ReadString("Messages", "vchOptions", QString()), message);
    }

    void tipsFiles_data()
    {
        QTest::addColumn<QString>("code");
        for (const QString& code : Codes)
            QTest::newRow(qPrintable(code)) << code;
    }
    void tipsFiles()
    {
        QFETCH(QString, code);
        QFile file(QStringLiteral(VREL_BIN_DIR "/TIPS.") + code);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        int tips = 0;
        for (const QByteArray& line : lines)
            tips += line.trimmed().isEmpty() ? 0 : 1;
        QVERIFY2(tips >= 15, qPrintable(QString::number(tips)));
    }
};

QTEST_MAIN(tst_LanguageFiles)
#include "tst_LanguageFiles.moc"
