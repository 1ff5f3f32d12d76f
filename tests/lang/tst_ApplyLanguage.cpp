#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "lang/TPanel.h"
#include "lang/TWidgetProperties.h"
#include "options/fOptionsNew.h"
#include "platform/TUserPrompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

// A window with one control of each kind the language files may address.
class TTestWindow : public QWidget
{
    Q_OBJECT

public:
    TTestWindow()
    {
        setObjectName("frmTest");
        setWindowTitle("Test");
        setFixedSize(300, 200);
        const auto named = [](auto* widget, const char* name) {
            widget->setObjectName(name);
            return widget;
        };
        btnA = named(new QPushButton("Button", this), "btnA");
        lblA = named(new QLabel("Label", this), "lblA");
        chkA = named(new QCheckBox("Check", this), "chkA");
        optA = named(new QRadioButton("Radio", this), "optA");
        grpA = named(new QGroupBox("Group", this), "grpA");
        pnlA = named(new TPanel(this), "pnlA");
        lblInPanel = named(new QLabel("Inner", pnlA), "lblInPanel");
        bvlA = named(new QFrame(this), "bvlA");
        edtA = named(new QLineEdit("Edit", this), "edtA");
        cbxA = named(new QComboBox(this), "cbxA");
        cbxA->setEditable(true);
        lstA = named(new QListWidget(this), "lstA");
        memA = named(new QPlainTextEdit(this), "memA");
        mnuA = named(new QMenu("Menu", this), "mnuA");
        actA = named(new QAction("Item", mnuA), "actA");
        mnuA->addAction(actA);
        lngLanguage = new TLanguage(this);
    }

    Q_INVOKABLE void LanguageUpdated(QObject* Sender) { UpdatedBy.append(Sender); }

    QPushButton* btnA;
    QLabel* lblA;
    QCheckBox* chkA;
    QRadioButton* optA;
    QGroupBox* grpA;
    TPanel* pnlA;
    QLabel* lblInPanel;
    QFrame* bvlA;
    QLineEdit* edtA;
    QComboBox* cbxA;
    QListWidget* lstA;
    QPlainTextEdit* memA;
    QMenu* mnuA;
    QAction* actA;
    TLanguage* lngLanguage;
    QList<QObject*> UpdatedBy;
};

namespace {

QString observed(TTestWindow& w, const QString& what)
{
    if (what == "title")
        return w.windowTitle();
    if (what == "geometry")
        return QString("%1,%2 %3x%4")
            .arg(w.btnA->x())
            .arg(w.btnA->y())
            .arg(w.btnA->width())
            .arg(w.btnA->height());
    if (what == "window-size")
        return QString("%1x%2 fixed %3")
            .arg(w.width())
            .arg(w.height())
            .arg(w.minimumSize() == w.maximumSize());
    const QMap<QString, std::function<QString()>> readers{
        {"btnA.text", [&] { return w.btnA->text(); }},
        {"btnA.toolTip", [&] { return w.btnA->toolTip(); }},
        {"btnA.tag", [&] { return w.btnA->property("Tag").toString(); }},
        {"btnA.helpContext", [&] { return w.btnA->property("HelpContext").toString(); }},
        {"lblA.text", [&] { return w.lblA->text(); }},
        {"lblInPanel.text", [&] { return w.lblInPanel->text(); }},
        {"chkA.text", [&] { return w.chkA->text(); }},
        {"optA.text", [&] { return w.optA->text(); }},
        {"grpA.title", [&] { return w.grpA->title(); }},
        {"edtA.text", [&] { return w.edtA->text(); }},
        {"cbxA.text", [&] { return w.cbxA->currentText(); }},
        {"cbxA.items",
         [&] {
             QStringList items;
             for (int i = 0; i < w.cbxA->count(); ++i)
                 items << w.cbxA->itemText(i);
             return items.join('|');
         }},
        {"lstA.items",
         [&] {
             QStringList items;
             for (int i = 0; i < w.lstA->count(); ++i)
                 items << w.lstA->item(i)->text();
             return items.join('|');
         }},
        {"memA.text", [&] { return w.memA->toPlainText(); }},
        {"mnuA.title", [&] { return w.mnuA->title(); }},
        {"actA.text", [&] { return w.actA->text(); }},
        {"actA.statusTip", [&] { return w.actA->statusTip(); }},
    };
    return readers.value(what, [] { return QString("<no reader>"); })();
}

} // namespace

class tst_ApplyLanguage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The language file of code "DE" beside a program in the temporary folder.
    void writeGermanFile(const QByteArray& bytes)
    {
        QFile file(m_dir.filePath("prog.DE"));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the language file");
        SetProgramFilePath(m_dir.filePath("prog"));
        ProgramOptions.Language = "Deutsch";
    }

private Q_SLOTS:
    void initTestCase() { RegisterWidgetProperties(); }
    void cleanup()
    {
        SetProgramFilePath(QString());
        ProgramOptions.Language = "EN";
        TUserPrompt::setResponder(nullptr);
    }

    void widgetProperties_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("window-caption") << "frmTest.Caption"
                                        << "Fenster"
                                        << "title"
                                        << "Fenster";
        QTest::newRow("button-caption") << "frmTest.btnA.Caption"
                                        << "&Weiter"
                                        << "btnA.text"
                                        << "&Weiter";
        QTest::newRow("button-hint") << "frmTest.btnA.Hint"
                                     << "Zeigt mehr"
                                     << "btnA.toolTip"
                                     << "Zeigt mehr";
        QTest::newRow("label-caption") << "frmTest.lblA.Caption"
                                       << "Etikett"
                                       << "lblA.text"
                                       << "Etikett";
        QTest::newRow("label-in-panel") << "frmTest.lblInPanel.Caption"
                                        << "Innen"
                                        << "lblInPanel.text"
                                        << "Innen";
        QTest::newRow("check-box-caption") << "frmTest.chkA.Caption"
                                           << "Ankreuzen"
                                           << "chkA.text"
                                           << "Ankreuzen";
        QTest::newRow("radio-caption") << "frmTest.optA.Caption"
                                       << "Wahl"
                                       << "optA.text"
                                       << "Wahl";
        QTest::newRow("group-caption") << "frmTest.grpA.Caption"
                                       << "Gruppe"
                                       << "grpA.title"
                                       << "Gruppe";
        QTest::newRow("edit-text") << "frmTest.edtA.Text"
                                   << "Eingabe"
                                   << "edtA.text"
                                   << "Eingabe";
        QTest::newRow("combo-text") << "frmTest.cbxA.Text"
                                    << "Wert"
                                    << "cbxA.text"
                                    << "Wert";
        QTest::newRow("memo-text") << "frmTest.memA.Text"
                                   << "Notiz"
                                   << "memA.text"
                                   << "Notiz";
        QTest::newRow("combo-items") << "frmTest.cbxA.Items"
                                     << "eins, zwei ,drei"
                                     << "cbxA.items"
                                     << "eins|zwei|drei";
        QTest::newRow("list-items") << "frmTest.lstA.Items"
                                    << "a,b"
                                    << "lstA.items"
                                    << "a|b";
        QTest::newRow("memo-lines") << "frmTest.memA.Lines"
                                    << "erste,zweite"
                                    << "memA.text"
                                    << "erste\nzweite";
        QTest::newRow("menu-caption") << "frmTest.mnuA.Caption"
                                      << "Menü"
                                      << "mnuA.title"
                                      << "Menü";
        QTest::newRow("menu-item-caption") << "frmTest.actA.Caption"
                                           << "Eintrag"
                                           << "actA.text"
                                           << "Eintrag";
        QTest::newRow("menu-item-hint") << "frmTest.actA.Hint"
                                        << "Hilfe"
                                        << "actA.statusTip"
                                        << "Hilfe";
        QTest::newRow("property-name-case") << "frmTest.btnA.CAPTION"
                                            << "Gross"
                                            << "btnA.text"
                                            << "Gross";
        QTest::newRow("left") << "frmTest.btnA.Left"
                              << "7"
                              << "geometry"
                              << "7,0 100x30";
        QTest::newRow("top") << "frmTest.btnA.Top"
                             << "9"
                             << "geometry"
                             << "0,9 100x30";
        QTest::newRow("width") << "frmTest.btnA.Width"
                               << "120"
                               << "geometry"
                               << "0,0 120x30";
        QTest::newRow("height") << "frmTest.btnA.Height"
                                << "40"
                                << "geometry"
                                << "0,0 100x40";
        QTest::newRow("fixed-window-width") << "frmTest.Width"
                                            << "320"
                                            << "window-size"
                                            << "320x200 fixed 1";
        QTest::newRow("tag") << "frmTest.btnA.Tag"
                             << "-1"
                             << "btnA.tag"
                             << "-1";
        QTest::newRow("help-context") << "frmTest.btnA.HelpContext"
                                      << "31"
                                      << "btnA.helpContext"
                                      << "31";
        QTest::newRow("label-has-no-text-property") << "frmTest.lblA.Text"
                                                    << "X"
                                                    << "lblA.text"
                                                    << "Label";
    }
    void widgetProperties()
    {
        QFETCH(QString, path);
        QFETCH(QString, value);
        QFETCH(QString, what);
        QFETCH(QString, expected);
        TTestWindow window;
        window.btnA->setGeometry(0, 0, 100, 30);
        window.lngLanguage->SetSeparator(",");
        window.lngLanguage->ApplyPair(path, value);
        QCOMPARE(observed(window, what), expected);
    }

    // An auto-sized label grows with a longer caption; a fixed one keeps its size.
    void autoSizeLabelFitsItsCaption_data()
    {
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<bool>("grows");
        QTest::newRow("auto-size") << true << true;
        QTest::newRow("fixed") << false << false;
    }
    void autoSizeLabelFitsItsCaption()
    {
        QFETCH(bool, autoSize);
        QFETCH(bool, grows);
        TTestWindow window;
        window.lblA->adjustSize();
        window.lblA->setProperty(AutoSizeProperty, autoSize);
        const int before = window.lblA->width();
        window.lngLanguage->ApplyPair("frmTest.lblA.Caption", "A much longer caption than before");
        QCOMPARE(window.lblA->width() > before, grows);
    }

    // The event reads the current text of a widget's text property.
    void oldValueOfAWidgetText()
    {
        TTestWindow window;
        QString oldValue;
        window.lngLanguage->OnTranslate = [&](TLanguage*, QObject*, const QString&, const QString& old,
                                              QString&) { oldValue = old; };
        window.lngLanguage->ApplyPair("frmTest.chkA.Caption", "Neu");
        QCOMPARE(oldValue, QString("Check"));
    }

    // The character set reaches the window and its check boxes, buttons, labels, list boxes,
    // panels and radio buttons, not the other controls.
    void characterSet_data()
    {
        QTest::addColumn<QByteArray>("messages");
        QTest::addColumn<int>("charset");
        QTest::newRow("cyrillic") << QByteArray("nCharset=204") << 204;
        QTest::newRow("missing") << QByteArray("vchAbout=Info") << 0;
        QTest::newRow("not-a-number") << QByteArray("nCharset=cyr") << 0;
    }
    void characterSet()
    {
        QFETCH(QByteArray, messages);
        QFETCH(int, charset);
        writeGermanFile("[Messages]\n" + messages + "\n");
        TTestWindow window;
        ApplyLanguage(&window);
        const QList<QObject*> taking{&window,     window.btnA, window.lblA,       window.chkA,
                                     window.optA, window.pnlA, window.lblInPanel, window.lstA};
        for (QObject* o : taking)
            QVERIFY2(o->property(FontCharsetProperty) == QVariant(charset), qPrintable(o->objectName()));
        const QList<QObject*> keeping{window.edtA, window.cbxA, window.memA, window.bvlA, window.grpA};
        for (QObject* o : keeping)
            QVERIFY2(!o->property(FontCharsetProperty).isValid(), qPrintable(o->objectName()));
    }

    // The current language's file translates the window's paths in its own code page, and the
    // window hears about it.
    void appliesTheCurrentLanguage()
    {
        writeGermanFile(
            "[Messages]\nnCharset=204\n[Translations]\nfrmTest.btnA.Caption=\xC4\xE0\xEB\xE5\xE5\n");
        TTestWindow window;
        window.lngLanguage->SetProperties({"frmTest.btnA.Caption"});
        ApplyLanguage(&window);
        QCOMPARE(window.lngLanguage->LanguageFile(), m_dir.filePath("prog.DE"));
        QCOMPARE(window.btnA->text(), QString::fromUtf8("Далее"));
        QCOMPARE(window.UpdatedBy, QList<QObject*>{&window});
    }

    // A dialog that a window owns is a window of its own: applying the language to the owner
    // neither finds the dialog's language component nor writes the dialog's controls.
    void ownedDialogIsAWindowOfItsOwn()
    {
        writeGermanFile("[Messages]\nnCharset=204\n[Translations]\nfrmTest.btnA.Caption=Weiter\n");
        TTestWindow owner;
        delete owner.lngLanguage;
        auto* dialog = new TTestWindow;
        dialog->setParent(&owner, Qt::Dialog);
        dialog->lngLanguage->SetProperties({"frmTest.btnA.Caption"});
        ApplyLanguage(&owner);
        QCOMPARE(dialog->btnA->text(), QString("Button"));
        QVERIFY(!dialog->btnA->property(FontCharsetProperty).isValid());
        owner.lngLanguage = new TLanguage(&owner);
        owner.lngLanguage->SetProperties({"frmTest.btnA.Caption"});
        ApplyLanguage(&owner);
        QCOMPARE(owner.btnA->text(), QString("Weiter"));
        QCOMPARE(dialog->btnA->text(), QString("Button"));
        ApplyLanguage(dialog);
        QCOMPARE(dialog->btnA->text(), QString("Weiter"));
    }

    // A window without language component still hears LanguageUpdated; nothing else changes.
    void windowWithoutLanguageComponent()
    {
        writeGermanFile("[Messages]\nnCharset=204\n[Translations]\nfrmTest.btnA.Caption=X\n");
        TTestWindow window;
        delete window.lngLanguage;
        ApplyLanguage(&window);
        QCOMPARE(window.btnA->text(), QString("Button"));
        QVERIFY(!window.property(FontCharsetProperty).isValid());
        QCOMPARE(window.UpdatedBy, QList<QObject*>{&window});
    }

    // A non-integer for an integer property: one message, the pass and the window's update end.
    void conversionErrorIsShownOnce()
    {
        writeGermanFile("[Translations]\nfrmTest.btnA.Width=breit\nfrmTest.btnA.Caption=Weiter\n");
        QStringList prompts;
        TUserPrompt::setResponder([&](const TUserPrompt::TRequest& request) {
            prompts << request.Text;
            return QString("ok");
        });
        TTestWindow window;
        window.lngLanguage->SetProperties({"frmTest.btnA.Width", "frmTest.btnA.Caption"});
        ApplyLanguage(&window);
        QCOMPARE(prompts, QStringList{"'breit' is not a valid integer value"});
        QCOMPARE(window.btnA->text(), QString("Button"));
        QVERIFY(window.UpdatedBy.isEmpty());
    }
};

QTEST_MAIN(tst_ApplyLanguage)
#include "tst_ApplyLanguage.moc"
