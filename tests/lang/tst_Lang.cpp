#include "lang/Lang.h"
#include "options/fOptionsNew.h"

#include <QtTest>

class tst_Lang : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void languageCodeFromOption_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("display-name") << "Engish";
        QTest::newRow("code") << "EN";
        QTest::newRow("name-in-lower-case") << "engish";
        QTest::newRow("empty") << QString();
        QTest::newRow("unknown") << "Klingon";
    }
    void languageCodeFromOption()
    {
        QFETCH(QString, option);
        QCOMPARE(GetLanguageCode(option), QString("EN"));
        ProgramOptions.Language = option;
        QCOMPARE(GetLanguageCode(), QString("EN"));
    }

    void languageNameFromCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("upper") << "EN";
        QTest::newRow("lower") << "en";
        QTest::newRow("mixed") << "eN";
        QTest::newRow("unknown") << "-L";
        QTest::newRow("empty") << QString();
    }
    void languageNameFromCode()
    {
        QFETCH(QString, code);
        QCOMPARE(GetLanguageName(code), QString("Engish"));
    }

    // The options record falls back to the table's first code without linking this module.
    void firstRowIsTheOptionsDefault()
    {
        QCOMPARE(LanguageTable().first().Code, TProgramOptions::DefaultLanguage());
        QCOMPARE(DefaultLanguageCode(), TProgramOptions::DefaultLanguage());
    }

    void messageTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("about") << "vchAbout"
                               << "About";
        QTest::newRow("options") << "vchOptions"
                                 << "Options";
        QTest::newRow("clear-settings") << "vchClearPersonalSettings"
                                        << "Do you want to clear your personal settings for %s?";
        QTest::newRow("unknown-key") << "vchNoSuchMessage"
                                     << "vchNoSuchMessage";
    }
    void messageTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        LoadMessages();
        QCOMPARE(MessageText(key), text);
    }
};

QTEST_GUILESS_MAIN(tst_Lang)
#include "tst_Lang.moc"
