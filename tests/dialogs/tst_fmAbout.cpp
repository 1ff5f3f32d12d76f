#include "dialogs/URLLabel.h"
#include "dialogs/fmAbout.h"
#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "options/fOptionsNew.h"
#include "platform/TShell.h"

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "tests/support/WhenModalShows.h"

#include "TFakeMainForm.h"

namespace {

// A string table with count products; icons exist for the first iconCount of them.
TAboutResources products(const std::optional<QString>& count, int iconCount, const QString& versionFile)
{
    TAboutResources resources = TAboutResources::Program();
    resources.VersionFile = versionFile;
    resources.String = [count](int id) -> std::optional<QString> {
        if (id == 0)
            return count;
        const int k = id / 10;
        switch (id % 10) {
        case 1:
            return QString("Product %1").arg(k);
        case 2:
            return QString("Description %1").arg(k);
        case 3:
            return k == 1 ? QString() : QString("http://maker.test/p%1.html").arg(k);
        default:
            return std::nullopt;
        }
    };
    const TAboutResources program = TAboutResources::Program();
    resources.Icon = [iconCount, program](const QString& name) {
        if (name.startsWith("ProductIcon") && name.mid(11).toInt() >= iconCount)
            return QIcon();
        return program.Icon(name.startsWith("ProductIcon") ? "ProductIcon0" : name);
    };
    return resources;
}

QStringList rows(const TAboutForm& form)
{
    QStringList result;
    for (int i = 0; i < form.lstPropositions->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = form.lstPropositions->topLevelItem(i);
        result << item->text(0) + "|" + item->text(1);
    }
    return result;
}

} // namespace

class tst_fmAbout : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_opened;
    bool m_openResult = true;

    QString versionFile(const QByteArray& version)
    {
        const QString path = m_dir.filePath("version-" + QString::fromLatin1(version));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the version block");
        file.write("VERSIONINFO\n[\\]\nProductVersion=" + version +
                   "\n[\\VarFileInfo\\Translation]\n0409 04E4\n[\\StringFileInfo\\040904E4]\n"
                   "ProductName=Vrel Web Camera\nCompanyName=Vrel Kestro Software\nComments=Slogan\n"
                   "LegalCopyright=(C) Maker\n");
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("VREL_WEB_HOST", "maker.test");
        TShell::setLauncher([this](const QString& address) {
            m_opened << address;
            return m_openResult;
        });
    }
    void init()
    {
        m_opened.clear();
        m_openResult = true;
    }

    // The program's own version block and string table.
    void programAboutBox()
    {
        TAboutForm form;
        QCOMPARE(form.objectName(), QString("AboutForm"));
        QCOMPARE(form.windowTitle(), QString("About Vrel Web Camera"));
        QCOMPARE(form.lblProductName->text(), QString("Vrel Web Camera 1.2"));
        QVERIFY(!form.lblComments->text().isEmpty());
        QVERIFY(form.lblComments->text() != "%s");
        QCOMPARE(form.lblPropositions->text(),
                 QString("Other interesting propositions from Vrel Kestro Software:"));
        QVERIFY(form.lblCopyright->text().contains("Vrel Kestro Software"));
        QCOMPARE(form.lblCopyright->URL, QString("http://maker.test"));
        QCOMPARE(form.lstPropositions->topLevelItemCount(), 4);
        QCOMPARE(form.imgList.size(), 4);
        QVERIFY(!form.imgIcon->pixmap().isNull());
        QCOMPARE(form.OKButton->text(), QString("OK"));
        QCOMPARE(form.HelpButton->text(), QString("&Help"));
        QCOMPARE(form.width(), 454);
    }

    void versionTextRule_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QString>("banner");
        QTest::newRow("1.2.0.0") << QByteArray("1.2.0.0") << "Vrel Web Camera 1.2";
        QTest::newRow("1.2.3.0") << QByteArray("1.2.3.0") << "Vrel Web Camera 1.23";
        QTest::newRow("1.2.0.7") << QByteArray("1.2.0.7") << "Vrel Web Camera 1.2";
    }
    void versionTextRule()
    {
        QFETCH(QByteArray, version);
        QFETCH(QString, banner);
        TAboutForm form(nullptr, products("0", 0, versionFile(version)));
        QCOMPARE(form.lblProductName->text(), banner);
        QCOMPARE(form.lblComments->text(), QString("Slogan"));
        QCOMPARE(form.lblCopyright->text(), QString("(C) Maker"));
    }

    // Without any version block the window still opens and names the program.
    void noVersionBlock()
    {
        TAboutForm form(nullptr, products("0", 0, m_dir.filePath("absent")));
        QCOMPARE(form.lblProductName->text(), QCoreApplication::applicationName());
        QCOMPARE(form.windowTitle(), "About " + QCoreApplication::applicationName());
    }

    // The list fills row by row and stops quietly at the first failure.
    void productListFilling_data()
    {
        QTest::addColumn<std::optional<QString>>("count");
        QTest::addColumn<int>("icons");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("two") << std::optional<QString>("2") << 9
                             << QStringList{"Product 0|Description 0", "Product 1|Description 1"};
        QTest::newRow("zero") << std::optional<QString>("0") << 9 << QStringList{};
        QTest::newRow("no-string-0") << std::optional<QString>() << 9 << QStringList{};
        QTest::newRow("count-not-a-number") << std::optional<QString>("four") << 9 << QStringList{};
        QTest::newRow("icon-missing-stops")
            << std::optional<QString>("3") << 1 << QStringList{"Product 0|Description 0"};
    }
    void productListFilling()
    {
        QFETCH(std::optional<QString>, count);
        QFETCH(int, icons);
        QFETCH(QStringList, listed);
        TAboutForm form(nullptr, products(count, icons, versionFile("1.2.0.0")));
        QCOMPARE(rows(form), listed);
        QCOMPARE(form.imgList.size(), listed.size());
    }

    // A row opens its page; a row without a page and a click beside the rows open nothing.
    void clickingTheList()
    {
        TAboutForm form(nullptr, products("2", 9, versionFile("1.2.0.0")));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget* viewport = form.lstPropositions->viewport();
        const QRect first = form.lstPropositions->visualItemRect(form.lstPropositions->topLevelItem(0));
        const QRect second = form.lstPropositions->visualItemRect(form.lstPropositions->topLevelItem(1));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, first.center());
        QCOMPARE(m_opened, QStringList{"http://maker.test/p0.html"});
        QTest::mouseClick(viewport, Qt::LeftButton, {}, second.center());
        QCOMPARE(m_opened, QStringList{"http://maker.test/p0.html"});
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(second.center().x(), second.bottom() + 20));
        QCOMPARE(m_opened, QStringList{"http://maker.test/p0.html"});
    }

    void helpButtonOpensTheQuestionPage()
    {
        TAboutForm form;
        m_openResult = false;
        QTest::mouseClick(form.HelpButton, Qt::LeftButton);
        QCOMPARE(m_opened, QStringList{"http://maker.test/webcamera_faq.html"});
    }

    // The copyright link sits 16 pixels below the list; the window ends at the lower of the
    // link and the Help button.
    void lowerPartLayout()
    {
        TAboutForm form;
        const QRect list = form.lstPropositions->geometry();
        QCOMPARE(form.lblCopyright->y(), list.y() + list.height() + 16);
        QCOMPARE(form.lblCopyright->x(), 4);
        const int bottom =
            qMax(form.lblCopyright->geometry().bottom(), form.HelpButton->geometry().bottom()) + 1;
        QCOMPARE(form.height(), bottom);
        QVERIFY(!form.lblCopyright->ShowHover);
        QCOMPARE(form.lblCopyright->FontColor(), QColor(0, 0, 128));
        QCOMPARE(form.lblCopyright->VisitColor, QColor(0, 0, 128));
        QCOMPARE(form.lblCopyright->HoverColor, QColor(255, 0, 0));
    }

    // Re-applying the language while the box is open keeps the names filled in.
    void languageReappliedWhileOpen()
    {
        TAboutForm form;
        SetProgramFilePath(m_dir.filePath("prog"));
        const auto restore = qScopeGuard([] { SetProgramFilePath(QString()); });
        QFile file(m_dir.filePath("prog.EN"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Translations]\nAboutForm.Caption=Info: %s\nAboutForm.OKButton.Caption=Fine\n");
        file.close();
        ApplyLanguage(&form);
        QCOMPARE(form.windowTitle(), QString("Info: Vrel Web Camera"));
        QCOMPARE(form.OKButton->text(), QString("Fine"));
    }

    // The opener's protocol; Escape closes through OK.
    void openerFollowsTheDialogProtocol()
    {
        TFakeMainForm mainForm;
        int result = -1;
        whenModalShows<TAboutForm>([&](TAboutForm* form) {
            QTest::keyClick(form, Qt::Key_Escape);
            result = form->result();
        });
        TAboutForm::Execute(mainForm, nullptr);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(mainForm.Calls, (QStringList{"cancel", "register AboutForm", "unregister AboutForm"}));
    }
};

QTEST_MAIN(tst_fmAbout)
#include "tst_fmAbout.moc"
