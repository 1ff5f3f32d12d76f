#include "lang/Lang.h"
#include "lang/TPropertyRegistry.h"
#include "options/fOptionsNew.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

// A component with one text, one list property and (through QObject) "Tag", so the language
// component can be driven without widgets.
class TFakeControl : public QObject
{
    Q_OBJECT

public:
    TFakeControl(const QString& name, const QString& caption, QObject* owner)
        : QObject(owner), Caption(caption)
    {
        setObjectName(name);
    }
    QString Caption;
    QStringList Items;
};

namespace {

void registerFakeControl()
{
    TPropertyAccess caption;
    caption.Kind = TPropertyKind::Text;
    caption.ReadText = [](QObject* o) { return static_cast<TFakeControl*>(o)->Caption; };
    caption.WriteText = [](QObject* o, const QString& v) { static_cast<TFakeControl*>(o)->Caption = v; };
    TPropertyRegistry::Register("TFakeControl", "Caption", caption);
    TPropertyAccess items;
    items.Kind = TPropertyKind::TextList;
    items.WriteList = [](QObject* o, const QStringList& v) { static_cast<TFakeControl*>(o)->Items = v; };
    TPropertyRegistry::Register("TFakeControl", "Items", items);
}

// A window as the tips window is built: itself, two buttons and a panel holding a label.
struct TFakeWindow
{
    TFakeControl Form{"frmTipsForm", "Tip of the Day", nullptr};
    TFakeControl* btnNextTip = new TFakeControl("btnNextTip", "&Next Tip", &Form);
    TFakeControl* btnClose = new TFakeControl("btnClose", "&Close", &Form);
    TFakeControl* pnlTips = new TFakeControl("pnlTips", "", &Form);
    TFakeControl* lblDidYouKnow = new TFakeControl("lblDidYouKnow", "Did you know...", pnlTips);
    TLanguage* lngLanguage = new TLanguage(&Form);

    QString Captions() const
    {
        return QStringList{Form.Caption, btnNextTip->Caption, btnClose->Caption, lblDidYouKnow->Caption}.join(
            '|');
    }
};

} // namespace

class tst_Lang : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeLanguageFile(const QByteArray& bytes, const QString& name = "lang.EN")
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void initTestCase() { registerFakeControl(); }

    void languageCodeFromOption_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("code");
        QTest::newRow("display-name") << "Engish"
                                      << "EN";
        QTest::newRow("code") << "EN"
                              << "EN";
        QTest::newRow("name-in-lower-case") << "engish"
                                            << "EN";
        QTest::newRow("empty") << QString() << "EN";
        QTest::newRow("unknown") << "Klingon"
                                 << "EN";
        QTest::newRow("german") << "Deutsch"
                                << "DE";
        QTest::newRow("german-lower-case") << "deutsch"
                                           << "EN";
        QTest::newRow("russian") << QString::fromUtf8("Русский") << "RU";
    }
    void languageCodeFromOption()
    {
        QFETCH(QString, option);
        QFETCH(QString, code);
        QCOMPARE(GetLanguageCode(option), code);
        ProgramOptions.Language = option;
        QCOMPARE(GetLanguageCode(), code);
    }

    void languageNameFromCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("upper") << "EN"
                               << "Engish";
        QTest::newRow("lower") << "en"
                               << "Engish";
        QTest::newRow("mixed") << "eN"
                               << "Engish";
        QTest::newRow("unknown") << "-L"
                                 << "Engish";
        QTest::newRow("empty") << QString() << "Engish";
        QTest::newRow("german-lower") << "de"
                                      << "Deutsch";
        QTest::newRow("russian") << "RU" << QString::fromUtf8("Русский");
    }
    void languageNameFromCode()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QCOMPARE(GetLanguageName(code), name);
    }

    // The options record falls back to the table's first code without linking this module.
    void firstRowIsTheOptionsDefault()
    {
        QCOMPARE(LanguageTable().first().Code, TProgramOptions::DefaultLanguage());
        QCOMPARE(DefaultLanguageCode(), TProgramOptions::DefaultLanguage());
    }

    void fileNamesBesideTheExecutable_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("tips");
        QTest::newRow("no-extension") << "/opt/vrel/vrel-web-camera"
                                      << "/opt/vrel/vrel-web-camera.DE"
                                      << "/opt/vrel/TIPS.DE";
        QTest::newRow("extension-replaced") << "/opt/vrel/vrelcam.exe"
                                            << "/opt/vrel/vrelcam.DE"
                                            << "/opt/vrel/TIPS.DE";
        QTest::newRow("dot-in-folder-only") << "/opt/v1.2/vrel-web-camera"
                                            << "/opt/v1.2/vrel-web-camera.DE"
                                            << "/opt/v1.2/TIPS.DE";
    }
    void fileNamesBesideTheExecutable()
    {
        QFETCH(QString, program);
        QFETCH(QString, language);
        QFETCH(QString, tips);
        SetProgramFilePath(program);
        const auto restore = qScopeGuard([] { SetProgramFilePath(QString()); });
        QCOMPARE(LanguageFileName("DE"), language);
        QCOMPARE(TipsFileName("DE"), tips);
        QCOMPARE(HelpFileName("DE"), QFileInfo(tips).path() + "/Options.DE");
    }

    void translatesPropertyPaths_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("translations");
        QTest::addColumn<QString>("captions");
        const QString untouched = "Tip of the Day|&Next Tip|&Close|Did you know...";
        QTest::newRow("button-caption")
            << "frmTipsForm.btnNextTip.Caption" << QByteArray("frmTipsForm.btnNextTip.Caption=&Weiter")
            << "Tip of the Day|&Weiter|&Close|Did you know...";
        QTest::newRow("empty-value-keeps-caption")
            << "frmTipsForm.btnNextTip.Caption" << QByteArray("frmTipsForm.btnNextTip.Caption=") << untouched;
        QTest::newRow("missing-key-keeps-caption")
            << "frmTipsForm.btnNextTip.Caption" << QByteArray("frmTipsForm.btnClose.Caption=Zu") << untouched;
        QTest::newRow("window-caption") << "frmTipsForm.Caption" << QByteArray("frmTipsForm.Caption=Tipp")
                                        << "Tipp|&Next Tip|&Close|Did you know...";
        QTest::newRow("component-inside-a-panel")
            << "frmTipsForm.lblDidYouKnow.Caption"
            << QByteArray("frmTipsForm.lblDidYouKnow.Caption=Wussten Sie")
            << "Tip of the Day|&Next Tip|&Close|Wussten Sie";
        QTest::newRow("only-last-segment-counts")
            << "frmOptionsForm.btnClose.Caption" << QByteArray("frmOptionsForm.btnClose.Caption=Zu")
            << "Tip of the Day|&Next Tip|Zu|Did you know...";
        QTest::newRow("last-segment-names-nothing")
            << "frmTipsForm.btnMissing.Caption" << QByteArray("frmTipsForm.btnMissing.Caption=X")
            << untouched;
        QTest::newRow("unknown-property")
            << "frmTipsForm.btnClose.Colour" << QByteArray("frmTipsForm.btnClose.Colour=Red") << untouched;
        QTest::newRow("names-in-capitals")
            << "FRMTIPSFORM.BTNCLOSE.CAPTION" << QByteArray("frmtipsform.btnclose.caption=Zu")
            << "Tip of the Day|&Next Tip|Zu|Did you know...";
        QTest::newRow("blank-line-skipped") << "   " << QByteArray("   =X") << untouched;
        QTest::newRow("one-tilde") << "frmTipsForm.btnClose.Caption"
                                   << QByteArray("frmTipsForm.btnClose.Caption=a~b")
                                   << "Tip of the Day|&Next Tip|a\tb|Did you know...";
        QTest::newRow("several-tildes")
            << "frmTipsForm.btnClose.Caption" << QByteArray("frmTipsForm.btnClose.Caption=~a~~b~")
            << "Tip of the Day|&Next Tip|\ta\t\tb\t|Did you know...";
    }
    void translatesPropertyPaths()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, translations);
        QFETCH(QString, captions);
        TFakeWindow window;
        window.lngLanguage->SetLanguageFile(writeLanguageFile("[Translations]\n" + translations + "\n"));
        window.lngLanguage->SetProperties({line});
        window.lngLanguage->Translate();
        QCOMPARE(window.Captions(), captions);
    }

    // A path without "." names a property of the application object.
    void pathWithoutDotWritesTheApplication()
    {
        const QString before = QCoreApplication::applicationName();
        const auto restore = qScopeGuard([before] { QCoreApplication::setApplicationName(before); });
        TFakeWindow window;
        window.lngLanguage->SetLanguageFile(writeLanguageFile("[Translations]\nTitle=Web-Kamera\n"));
        window.lngLanguage->SetProperties({"Title"});
        window.lngLanguage->Translate();
        QCOMPARE(QCoreApplication::applicationName(), QString("Web-Kamera"));
    }

    // Without an owner every segment resolves to nothing.
    void componentWithoutOwnerWritesNoComponent()
    {
        TFakeWindow window;
        TLanguage language;
        language.SetLanguageFile(writeLanguageFile("[Translations]\nfrmTipsForm.btnClose.Caption=Zu\n"));
        language.SetProperties({"frmTipsForm.btnClose.Caption"});
        language.Translate();
        QCOMPARE(window.btnClose->Caption, QString("&Close"));
    }

    void listValues_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("empty-separator-one-line")
            << QString() << QByteArray(" a,b , c ") << QStringList{"a,b , c"};
        QTest::newRow("comma") << "," << QByteArray("a, b ,c") << QStringList{"a", "b", "c"};
        QTest::newRow("two-in-a-row-give-empty-line")
            << "," << QByteArray("a,,b") << QStringList{"a", "", "b"};
        QTest::newRow("separator-at-end-adds-nothing") << "," << QByteArray("a,b,") << QStringList{"a", "b"};
        QTest::newRow("longer-separator") << "||" << QByteArray("x||y|z") << QStringList{"x", "y|z"};
    }
    void listValues()
    {
        QFETCH(QString, separator);
        QFETCH(QByteArray, value);
        QFETCH(QStringList, items);
        TFakeWindow window;
        if (!separator.isEmpty())
            window.lngLanguage->SetSeparator(separator);
        window.lngLanguage->SetLanguageFile(
            writeLanguageFile("[Translations]\nfrmTipsForm.btnClose.Items=" + value));
        window.lngLanguage->SetProperties({"frmTipsForm.btnClose.Items"});
        window.lngLanguage->Translate();
        QCOMPARE(window.btnClose->Items, items);
    }

    void separatorSetter_data()
    {
        QTest::addColumn<QString>("assigned");
        QTest::addColumn<QString>("stored");
        QTest::newRow("blank") << " "
                               << ",";
        QTest::newRow("empty") << QString() << ",";
        QTest::newRow("tab") << "\t"
                             << ",";
        QTest::newRow("kept-untrimmed") << " ; "
                                        << " ; ";
    }
    void separatorSetter()
    {
        QFETCH(QString, assigned);
        QFETCH(QString, stored);
        TLanguage language;
        QCOMPARE(language.Separator(), QString());
        language.SetSeparator(assigned);
        QCOMPARE(language.Separator(), stored);
    }

    void integerProperties_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("tag");
        QTest::newRow("decimal") << QByteArray("12") << 12;
        QTest::newRow("negative") << QByteArray("-7") << -7;
        QTest::newRow("hex-dollar") << QByteArray("$1F") << 31;
        QTest::newRow("hex-0x") << QByteArray("0x10") << 16;
        QTest::newRow("lowest") << QByteArray("-2147483648") << -2147483647 - 1;
    }
    void integerProperties()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, tag);
        TFakeWindow window;
        window.lngLanguage->SetLanguageFile(
            writeLanguageFile("[Translations]\nfrmTipsForm.btnClose.Tag=" + value));
        window.lngLanguage->SetProperties({"frmTipsForm.btnClose.Tag"});
        window.lngLanguage->Translate();
        QCOMPARE(window.btnClose->property("Tag").toInt(), tag);
    }

    // A text that is no integer ends the pass at its line: later lines stay untouched and the
    // end-of-pass event does not come.
    void nonIntegerEndsThePass_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << QByteArray("abc") << "'abc' is not a valid integer value";
        QTest::newRow("trailing-letters") << QByteArray("12px") << "'12px' is not a valid integer value";
        QTest::newRow("too-big") << QByteArray("2147483648") << "'2147483648' is not a valid integer value";
        QTest::newRow("sign-only") << QByteArray("-") << "'-' is not a valid integer value";
    }
    void nonIntegerEndsThePass()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, message);
        TFakeWindow window;
        window.lngLanguage->SetLanguageFile(
            writeLanguageFile("[Translations]\nfrmTipsForm.Caption=Tipp\nfrmTipsForm.btnClose.Tag=" + value +
                              "\nfrmTipsForm.btnClose.Caption=Zu\n"));
        window.lngLanguage->SetProperties(
            {"frmTipsForm.Caption", "frmTipsForm.btnClose.Tag", "frmTipsForm.btnClose.Caption"});
        QStringList events;
        window.lngLanguage->OnBeforeTranslation = [&](TLanguage*) { events << "before"; };
        window.lngLanguage->OnAfterTranslation = [&](TLanguage*) { events << "after"; };
        QString thrown;
        try {
            window.lngLanguage->Translate();
        } catch (const EConvertError& error) {
            thrown = error.message();
        }
        QCOMPARE(thrown, message);
        QCOMPARE(window.Captions(), QString("Tipp|&Next Tip|&Close|Did you know..."));
        QCOMPARE(events, QStringList{"before"});
    }

    // The event sees each property about to change and may replace the text.
    void translateEventSeesAndReplacesTheValue()
    {
        TFakeWindow window;
        window.lngLanguage->SetLanguageFile(
            writeLanguageFile("[Translations]\nfrmTipsForm.btnClose.Caption=Zu\nfrmTipsForm.btnClose.Tag=5\n"
                              "frmTipsForm.btnMissing.Caption=X\n"));
        window.lngLanguage->SetProperties(
            {"frmTipsForm.btnClose.Caption", "frmTipsForm.btnClose.Tag", "frmTipsForm.btnMissing.Caption"});
        QStringList calls;
        window.lngLanguage->OnBeforeTranslation = [&](TLanguage* sender) {
            calls << QString("before %1").arg(sender == window.lngLanguage);
        };
        window.lngLanguage->OnTranslate = [&](TLanguage* sender, QObject* component, const QString& property,
                                              const QString& oldValue, QString& newValue) {
            calls << QString("%1 %2 %3 [%4] [%5]")
                         .arg(sender == window.lngLanguage)
                         .arg(component->objectName(), property, oldValue, newValue);
            if (property == "Caption")
                newValue = "Schließen";
        };
        window.lngLanguage->OnAfterTranslation = [&](TLanguage*) { calls << "after"; };
        window.lngLanguage->Translate();
        QCOMPARE(calls, (QStringList{"before 1", "1 btnClose Caption [&Close] [Zu]", "1 btnClose Tag [] [5]",
                                     "after"}));
        QCOMPARE(window.btnClose->Caption, QString("Schließen"));
    }

    void autoTranslateOnANewFileName()
    {
        TFakeWindow window;
        const QString first = writeLanguageFile("[Translations]\nfrmTipsForm.btnClose.Caption=Zu\n", "a.DE");
        const QString second =
            writeLanguageFile("[Translations]\nfrmTipsForm.btnClose.Caption=Fermer\n", "a.FR");
        window.lngLanguage->SetProperties({"frmTipsForm.btnClose.Caption"});
        int passes = 0;
        window.lngLanguage->OnBeforeTranslation = [&](TLanguage*) { ++passes; };

        window.lngLanguage->SetLanguageFile(first);
        QCOMPARE(passes, 0);
        window.lngLanguage->AutoTranslate = true;
        window.lngLanguage->SetLanguageFile(first);
        QCOMPARE(passes, 0);
        window.lngLanguage->SetLanguageFile(second);
        QCOMPARE(passes, 1);
        QCOMPARE(window.btnClose->Caption, QString("Fermer"));
        window.lngLanguage->BeginLoading();
        window.lngLanguage->SetLanguageFile(first);
        QCOMPARE(passes, 1);
        window.lngLanguage->EndLoading();
        // Letter case counts: another spelling is another name.
        window.lngLanguage->SetLanguageFile(second.toLower());
        QCOMPARE(passes, 2);
    }

    void readMessage_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("present") << QByteArray("[Messages]\nvchOptions=Optionen\n") << "vchOptions"
                                 << "Optionen";
        QTest::newRow("missing-key") << QByteArray("[Messages]\nvchAbout=Info\n") << "vchOptions"
                                     << "vchOptions";
        QTest::newRow("only-in-translations") << QByteArray("[Translations]\nvchOptions=X\n") << "vchOptions"
                                              << "vchOptions";
        QTest::newRow("cyrillic-file")
            << QByteArray("[Messages]\nnCharset=204\nvchAbout=\xCE \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE5\n")
            << "vchAbout" << QString::fromUtf8("О программе");
    }
    void readMessage()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(QString, text);
        TLanguage language;
        language.SetLanguageFile(writeLanguageFile(content));
        QCOMPARE(language.ReadMessage(key), text);
    }

    void loadMessages_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("all-present") << QByteArray("[Messages]\nvchAbout=Info\nvchOptions=Optionen\n"
                                                   "vchClearPersonalSettings=Daten von %s l\xF6schen?\n")
                                     << QStringList{"Info", "Optionen",
                                                    QString::fromUtf8("Daten von %s löschen?")};
        QTest::newRow("one-missing") << QByteArray("[Messages]\nvchAbout=Info\nvchOptions=Optionen\n")
                                     << QStringList{"Info", "Optionen", "vchClearPersonalSettings"};
    }
    void loadMessages()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, texts);
        writeLanguageFile(content, "prog.DE");
        SetProgramFilePath(m_dir.filePath("prog"));
        ProgramOptions.Language = "Deutsch";
        const auto restore = qScopeGuard([] {
            SetProgramFilePath(QString());
            ProgramOptions.Language = "EN";
        });
        LoadMessages();
        QCOMPARE((QStringList{vchAbout, vchOptions, vchClearPersonalSettings}), texts);
        QCOMPARE(MessageText("vchOptions"), texts.at(1));
        QCOMPARE(QCoreApplication::instance()->property("HelpFile").toString(), m_dir.filePath("Options.DE"));
    }

    // No language file: every message holds its key; unknown keys come back as they are.
    void messagesFromAMissingFile()
    {
        SetProgramFilePath(m_dir.filePath("absent/prog"));
        const auto restore = qScopeGuard([] { SetProgramFilePath(QString()); });
        LoadMessages();
        QCOMPARE((QStringList{vchAbout, vchOptions, vchClearPersonalSettings}),
                 (QStringList{"vchAbout", "vchOptions", "vchClearPersonalSettings"}));
        QCOMPARE(MessageText("vchNoSuchMessage"), QString("vchNoSuchMessage"));
        QCOMPARE(LanguageCharset(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_Lang)
#include "tst_Lang.moc"
