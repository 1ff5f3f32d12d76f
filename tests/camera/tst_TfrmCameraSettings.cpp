#include "camera/TSpinEdit.h"
#include "camera/TfrmCameraSettings.h"
#include "platform/TUserPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class tst_TfrmCameraSettings : public QObject
{
    Q_OBJECT

    QStringList m_messages;

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        TUserPrompt::setResponder([this](const TUserPrompt::TRequest& r) {
            m_messages.append(r.Text);
            return QStringLiteral("ok");
        });
    }
    void cleanup() { TUserPrompt::setResponder({}); }

    void objectNamesExist_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::newRow("edtURL") << "edtURL"
                                << "QLineEdit"
                                << "";
        QTest::newRow("edtDescr") << "edtDescr"
                                  << "QLineEdit"
                                  << "";
        QTest::newRow("edtPeriod") << "edtPeriod"
                                   << "TSpinEdit"
                                   << "";
        QTest::newRow("cbxScale") << "cbxScale"
                                  << "QComboBox"
                                  << "";
        QTest::newRow("chkStartup") << "chkStartup"
                                    << "QCheckBox"
                                    << "Open on program startup";
        QTest::newRow("chkTop") << "chkTop"
                                << "QCheckBox"
                                << "Stay on top";
        QTest::newRow("chkAdd") << "chkAdd"
                                << "QCheckBox"
                                << "Add Web camera to Favorites";
        QTest::newRow("btnOk") << "btnOk"
                               << "QPushButton"
                               << "Ok";
        QTest::newRow("btnCancel") << "btnCancel"
                                   << "QPushButton"
                                   << "Cancel";
        QTest::newRow("header") << "lblHeader"
                                << "QLabel"
                                << "                  Specify Web camera settings";
        QTest::newRow("url-label") << "lblURL"
                                   << "QLabel"
                                   << "&URL:";
        QTest::newRow("descr-label") << "lblDescr"
                                     << "QLabel"
                                     << "Enter &description:";
        QTest::newRow("period-label") << "lblPeriod"
                                      << "QLabel"
                                      << "Update &every";
        QTest::newRow("minutes-label") << "lblMinutes"
                                       << "QLabel"
                                       << "minute(s)*";
        QTest::newRow("manual-note") << "lblManualNote"
                                     << "QLabel"
                                     << "* set 0 to refresh camera manually";
        QTest::newRow("scale-label") << "lblScale"
                                     << "QLabel"
                                     << "Scale: ";
        QTest::newRow("url-group") << "lblUrlGroup"
                                   << "QLabel"
                                   << "URL and Description ";
        QTest::newRow("options-group") << "lblOptionsGroup"
                                       << "QLabel"
                                       << "Additional options ";
    }
    void objectNamesExist()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, text);
        TfrmCameraSettings dialog;
        QWidget* w = dialog.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
        if (!text.isEmpty())
            QCOMPARE(w->property("text").toString(), text);
    }

    void freshDialogAsTheUserSeesIt()
    {
        TfrmCameraSettings dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Web Camera Settings"));
        QCOMPARE(dialog.size(), QSize(423, 245));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!dialog.btnOk->isEnabled());
        QVERIFY(dialog.btnOk->isDefault());
        QCOMPARE(dialog.cbxScale->currentText(), QStringLiteral("Original Size"));
        QCOMPARE(dialog.cbxScale->count(), 3);
        QVERIFY(dialog.chkStartup->isChecked() && dialog.chkStartup->isEnabled());
        QVERIFY(dialog.chkTop->isChecked());
        QVERIFY(dialog.chkAdd->isChecked() && dialog.chkAdd->isEnabled());
        QCOMPARE(dialog.edtDescr->maxLength(), 60);
        QCOMPARE(dialog.edtPeriod->minimum(), 0);
        QCOMPARE(dialog.edtPeriod->maximum(), 99);

        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.edtPeriod->value(), 1);
        QCOMPARE(QApplication::focusWidget(), dialog.edtURL);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(dialog.pos(), QPoint((screen.width() - 423) / 2, (screen.height() - 245) / 2));
    }

    void showRaisesZeroIntervalOnlyWhenNotEditing_data()
    {
        QTest::addColumn<bool>("editMode");
        QTest::addColumn<int>("given");
        QTest::addColumn<int>("shown");
        QTest::newRow("new-camera-0-becomes-1") << false << 0 << 1;
        QTest::newRow("new-camera-7-stays") << false << 7 << 7;
        QTest::newRow("editing-0-stays-0") << true << 0 << 0;
        QTest::newRow("catalog-10000-clamped") << false << 10000 << 99;
        QTest::newRow("negative-clamped") << true << -3 << 0;
    }
    void showRaisesZeroIntervalOnlyWhenNotEditing()
    {
        QFETCH(bool, editMode);
        QFETCH(int, given);
        QFETCH(int, shown);
        TfrmCameraSettings dialog;
        dialog.EditMode = editMode;
        dialog.edtPeriod->setValue(given);
        dialog.show();
        QCOMPARE(dialog.edtPeriod->value(), shown);
    }

    void tabOrder()
    {
        TfrmCameraSettings dialog;
        const QStringList expected = {
            QStringLiteral("edtURL"),   QStringLiteral("edtDescr"),   QStringLiteral("edtPeriod"),
            QStringLiteral("cbxScale"), QStringLiteral("chkStartup"), QStringLiteral("chkTop"),
            QStringLiteral("chkAdd"),   QStringLiteral("btnOk"),      QStringLiteral("btnCancel")};
        QStringList seen;
        QWidget* w = dialog.edtURL;
        do {
            if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
                seen.append(w->objectName());
            w = w->nextInFocusChain();
        } while (w != dialog.edtURL);
        QCOMPARE(seen, expected);
    }

    void okFollowsTrimmedURL_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks-only") << "    " << false;
        QTest::newRow("tab-and-control-chars") << "\t\x01\x1f " << false;
        QTest::newRow("blanks-around-url") << "  cam/a.jpg  " << true;
        QTest::newRow("single-char") << "x" << true;
    }
    void okFollowsTrimmedURL()
    {
        QFETCH(QString, url);
        QFETCH(bool, enabled);
        TfrmCameraSettings dialog;
        dialog.edtURL->setText(QStringLiteral("something"));
        dialog.edtURL->setText(url);
        QCOMPARE(dialog.btnOk->isEnabled(), enabled);
    }

    void addBoxDrivesStartupBox()
    {
        TfrmCameraSettings dialog;
        dialog.show();
        QTest::mouseClick(dialog.chkAdd, Qt::LeftButton);
        QVERIFY(!dialog.chkAdd->isChecked());
        QVERIFY(!dialog.chkStartup->isEnabled());
        QVERIFY(dialog.chkStartup->isChecked());
        QTest::mouseClick(dialog.chkAdd, Qt::LeftButton);
        QVERIFY(dialog.chkStartup->isEnabled());
        // An opener setting the box runs the same handler.
        dialog.chkAdd->setChecked(false);
        QVERIFY(!dialog.chkStartup->isEnabled());
    }

    void okChecksTextsAsTyped_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("storedDescription");
        QTest::newRow("empty-description") << "cam/a.jpg"
                                           << ""
                                           << "Please enter description!"
                                           << "";
        QTest::newRow("blank-description") << "cam/a.jpg"
                                           << "  \t "
                                           << "Please enter description!"
                                           << "";
        QTest::newRow("description-trimmed") << " cam/a.jpg "
                                             << "\t Garden \x02"
                                             << ""
                                             << "Garden";
    }
    void okChecksTextsAsTyped()
    {
        QFETCH(QString, url);
        QFETCH(QString, description);
        QFETCH(QString, message);
        QFETCH(QString, storedDescription);
        TfrmCameraSettings dialog;
        dialog.show();
        dialog.edtURL->setText(url);
        dialog.edtDescr->setText(description);
        QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
        if (!message.isEmpty()) {
            QCOMPARE(m_messages, QStringList{message});
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.edtDescr->text(), description);
            return;
        }
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), TfrmCameraSettings::mrOk);
        QCOMPARE(dialog.edtURL->text(), QStringLiteral("cam/a.jpg"));
        QCOMPARE(dialog.edtDescr->text(), storedDescription);
    }

    void okWithoutURLAsksForIt()
    {
        // Reached only by the handler itself: the button is disabled while the URL is empty.
        TfrmCameraSettings dialog;
        dialog.show();
        dialog.edtDescr->setText(QStringLiteral("Garden"));
        dialog.btnOkClick();
        QCOMPARE(m_messages, QStringList{QStringLiteral("Please enter URL!")});
        QVERIFY(dialog.isVisible());
    }

    void everyCloseTrimsAndCancelIsTwo_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel-button") << "button";
        QTest::newRow("escape-key") << "escape";
        QTest::newRow("close-box") << "close";
        QTest::newRow("opener-cancels") << "hide";
    }
    void everyCloseTrimsAndCancelIsTwo()
    {
        QFETCH(QString, how);
        TfrmCameraSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.edtURL->setText(QStringLiteral("  cam/b.jpg\t"));
        dialog.edtDescr->setText(QStringLiteral(" Street "));
        if (how == QLatin1String("button"))
            QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(dialog.edtURL, Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            dialog.close();
        else {
            dialog.setResult(TfrmCameraSettings::mrCancel);
            dialog.hide();
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), TfrmCameraSettings::mrCancel);
        QCOMPARE(dialog.edtURL->text(), QStringLiteral("cam/b.jpg"));
        QCOMPARE(dialog.edtDescr->text(), QStringLiteral("Street"));
    }

    void intervalCannotBeTyped()
    {
        TfrmCameraSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.edtPeriod->setFocus();
        QCOMPARE(dialog.edtPeriod->value(), 1);
        QTest::keyClicks(dialog.edtPeriod, QStringLiteral("42"));
        QTest::keyClick(dialog.edtPeriod, Qt::Key_Backspace);
        QCOMPARE(dialog.edtPeriod->value(), 1);
        QCOMPARE(dialog.edtPeriod->text(), QStringLiteral("1"));
        QTest::keyClick(dialog.edtPeriod, Qt::Key_Up);
        QTest::keyClick(dialog.edtPeriod, Qt::Key_Up);
        QCOMPARE(dialog.edtPeriod->value(), 3);
        QTest::keyClick(dialog.edtPeriod, Qt::Key_Down);
        QCOMPARE(dialog.edtPeriod->value(), 2);
    }

    void scaleMapping_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("back");
        QTest::newRow("25") << 25 << "25%" << 25;
        QTest::newRow("50") << 50 << "50%" << 50;
        QTest::newRow("100") << 100 << "Original Size" << 100;
        QTest::newRow("75-shows-original") << 75 << "Original Size" << 100;
        QTest::newRow("0-shows-original") << 0 << "Original Size" << 100;
    }
    void scaleMapping()
    {
        QFETCH(int, scale);
        QFETCH(QString, shown);
        QFETCH(int, back);
        TfrmCameraSettings dialog;
        dialog.SetScale(scale);
        QCOMPARE(dialog.cbxScale->currentText(), shown);
        QCOMPARE(dialog.Scale(), back);
    }

    void noSelectionReadsAsOriginalSize()
    {
        TfrmCameraSettings dialog;
        dialog.cbxScale->setCurrentIndex(-1);
        QCOMPARE(dialog.Scale(), 100);
    }
};

QTEST_MAIN(tst_TfrmCameraSettings)
#include "tst_TfrmCameraSettings.moc"
