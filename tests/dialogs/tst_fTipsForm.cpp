#include "camera/RegistryLayout.h"
#include "dialogs/fTipsForm.h"
#include "lang/Lang.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/WhenModalShows.h"

#include "TFakeMainForm.h"

class tst_fTipsForm : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

    QString writeTips(const QByteArray& content)
    {
        const QString path = m_dir.filePath("TIPS.EN");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the tips");
        return path;
    }

    // Shows the window on a fixed random start and returns the tips shown by the opening and
    // by each further "Next Tip".
    QStringList shownTips(const QByteArray& content, double r, int presses)
    {
        TfrmTipsForm form;
        form.TipsFile = writeTips(content);
        form.Random = [r] { return r; };
        form.show();
        QStringList shown{form.lblTip->text()};
        for (int i = 0; i < presses; ++i) {
            QTest::mouseClick(form.btnNextTip, Qt::LeftButton);
            shown << form.lblTip->text();
        }
        return shown;
    }

private Q_SLOTS:
    void initTestCase() { SetProgramFilePath(m_dir.filePath("vrel-web-camera")); }

    void layoutAndTexts()
    {
        TfrmTipsForm form;
        QCOMPARE(form.objectName(), QString("frmTipsForm"));
        QCOMPARE(form.windowTitle(), QString("Tip of the Day"));
        QCOMPARE(form.size(), QSize(425, 280));
        QCOMPARE(form.btnNextTip->text(), QString("&Next Tip"));
        QVERIFY(form.btnNextTip->isDefault());
        QCOMPARE(form.btnClose->text(), QString("&Close"));
        QCOMPARE(form.cbxShowTipNextTime->text(), QString("&Show tips at startup"));
        QCOMPARE(form.lblDidYouKnow->text(), QString("Did you know..."));
        QVERIFY(form.lblTip->wordWrap());
        QCOMPARE(form.lblTip->geometry(), QRect(62, 64, 339, 161));
        QCOMPARE(form.TipIndex, -1);
    }

    // Tips follow the file from the random start and wrap from the last to the first.
    void tipsFollowTheFileFromTheStart_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<double>("r");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("start-on-second-of-three") << QByteArray("first\r\nsecond\r\nthird\r\n") << 0.34
                                                  << QStringList{"second", "third", "first", "second"};
        QTest::newRow("near-one-starts-on-first") << QByteArray("first\r\nsecond\r\nthird\r\n") << 0.9
                                                  << QStringList{"first", "second", "third", "first"};
        QTest::newRow("one-tip-every-time")
            << QByteArray("only\r\n") << 0.5 << QStringList{"only", "only", "only"};
        QTest::newRow("line-break-in-a-tip")
            << QByteArray("one\\ntwo\r\n") << 0.0 << QStringList{"one\r\ntwo", "one\r\ntwo"};
    }
    void tipsFollowTheFileFromTheStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(double, r);
        QFETCH(QStringList, shown);
        QCOMPARE(shownTips(content, r, int(shown.size()) - 1), shown);
    }

    // No tips: the window opens and closes without error and "Next Tip" does nothing.
    void emptyOrMissingFile_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("empty-file") << true;
        QTest::newRow("missing-file") << false;
    }
    void emptyOrMissingFile()
    {
        QFETCH(bool, exists);
        TfrmTipsForm form;
        form.TipsFile = exists ? writeTips(QByteArray()) : m_dir.filePath("TIPS.XX");
        form.show();
        QTest::mouseClick(form.btnNextTip, Qt::LeftButton);
        QCOMPARE(form.lblTip->text(), QString());
        QCOMPARE(form.TipIndex, -1);
        QTest::mouseClick(form.btnClose, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), 2);
    }

    // The tips file is decoded in the language's character set.
    void tipsInTheLanguagesCharacterSet()
    {
        TfrmTipsForm form;
        form.TipsCharset = 204;
        form.TipsFile = writeTips("\xD1\xEE\xE2\xE5\xF2\r\n");
        form.show();
        QCOMPARE(form.lblTip->text(), QString::fromUtf8("Совет"));
    }

    // The opener: the dialog protocol, then the check box saved as ShowTipsOnStartup however
    // the window closed.
    void closingStoresTheCheckBox_data()
    {
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QString>("closeWith");
        QTest::newRow("cleared-then-close") << true << true << "btnClose";
        QTest::newRow("ticked-then-escape") << false << true << "escape";
        QTest::newRow("unchanged-then-cancelled-by-opener") << true << false << "cancel";
    }
    void closingStoresTheCheckBox()
    {
        QFETCH(bool, before);
        QFETCH(bool, click);
        QFETCH(QString, closeWith);
        writeTips("a\r\nb\r\n");
        ProgramOptions.ShowTipsOnStartup = before;
        TFakeMainForm mainForm;
        QString tipsFile;
        bool checkedWhenShown = !before;
        whenModalShows<TfrmTipsForm>([&](TfrmTipsForm* form) {
            tipsFile = form->TipsFile;
            checkedWhenShown = form->cbxShowTipNextTime->isChecked();
            if (click)
                QTest::mouseClick(form->cbxShowTipNextTime, Qt::LeftButton);
            if (closeWith == "btnClose")
                QTest::mouseClick(form->btnClose, Qt::LeftButton);
            else if (closeWith == "escape")
                QTest::keyClick(form, Qt::Key_Escape);
            else
                form->done(QDialog::Rejected);
        });
        TfrmTipsForm::Execute(mainForm, nullptr);
        QCOMPARE(tipsFile, m_dir.filePath("TIPS.EN"));
        QCOMPARE(checkedWhenShown, before);
        QCOMPARE(mainForm.Calls, (QStringList{"cancel", "register frmTipsForm", "unregister frmTipsForm"}));
        const bool after = click ? !before : before;
        QCOMPARE(ProgramOptions.ShowTipsOnStartup, after);
        TRegistryStore::closeAll();
        const auto stored =
            TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).readDword("ShowTipsOnStartup");
        QCOMPARE(stored, std::optional<qint32>(after ? 1 : 0));
    }
};

QTEST_MAIN(tst_fTipsForm)
#include "tst_fTipsForm.moc"
