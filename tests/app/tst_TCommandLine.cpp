#include "app/TCommandLine.h"

#include <QtTest>

class tst_TCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void switchTable_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<TStartSwitch>("expected");
        QTest::addColumn<bool>("eventLoop");
        QTest::addColumn<TInstanceMessage>("secondCopy");

        QTest::newRow("none") << QString() << TStartSwitch::None << true << TInstanceMessage::ShowOptions;
        QTest::newRow("autostart-start")
            << "-start" << TStartSwitch::Other << true << TInstanceMessage::ShowAbout;
        QTest::newRow("unknown-word")
            << "hello" << TStartSwitch::Other << true << TInstanceMessage::ShowAbout;
        QTest::newRow("lang-lower") << "-lang:en" << TStartSwitch::Language << false
                                    << TInstanceMessage::ShowAbout;
        QTest::newRow("lang-inside") << "X-LANG:EN" << TStartSwitch::Language << false
                                     << TInstanceMessage::ShowAbout;
        QTest::newRow("lang-no-colon")
            << "-LANG" << TStartSwitch::Language << false << TInstanceMessage::ShowAbout;
        QTest::newRow("quit-with-lang")
            << "-quit-lang" << TStartSwitch::Language << false << TInstanceMessage::ShowAbout;
        QTest::newRow("startoptions-mixed")
            << "-StartOptions" << TStartSwitch::StartOptions << false << TInstanceMessage::ShowAbout;
        QTest::newRow("startoptions-longer")
            << "-startoptions2" << TStartSwitch::Other << true << TInstanceMessage::ShowAbout;
        QTest::newRow("quit-lower") << "-quit" << TStartSwitch::Quit << false
                                    << TInstanceMessage::QuitRequest;
        QTest::newRow("quit-upper") << "-QUIT" << TStartSwitch::Quit << false
                                    << TInstanceMessage::QuitRequest;
        QTest::newRow("quit-without-dash")
            << "quit" << TStartSwitch::Other << true << TInstanceMessage::ShowAbout;
        QTest::newRow("quit-with-blank")
            << "-quit " << TStartSwitch::Other << true << TInstanceMessage::ShowAbout;
        // Only ASCII letters fold: a dotless i does not make "-QUIT".
        QTest::newRow("quit-dotless-i") << QString::fromUtf8("-qu\xc4\xb1t") << TStartSwitch::Other << true
                                        << TInstanceMessage::ShowAbout;
    }
    void switchTable()
    {
        QFETCH(QString, argument);
        QFETCH(TStartSwitch, expected);
        QFETCH(bool, eventLoop);
        QFETCH(TInstanceMessage, secondCopy);
        const TCommandLine commandLine(argument);
        QCOMPARE(commandLine.Switch(), expected);
        QCOMPARE(commandLine.RunsEventLoop(), eventLoop);
        QCOMPARE(commandLine.SecondCopyMessage(), secondCopy);
        QCOMPARE(commandLine.HasArgument(), !argument.isEmpty());
    }

    void languageCode_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("code");
        QTest::newRow("lower") << "-lang:en"
                               << "EN";
        QTest::newRow("long-name") << "-LANG:english"
                                   << "EN";
        QTest::newRow("prefix") << "X-LANG:de"
                                << "DE";
        QTest::newRow("no-colon") << "-LANG"
                                  << "-L";
        QTest::newRow("nothing-after-colon") << "-lang:" << QString();
        QTest::newRow("one-letter") << "-lang:e"
                                    << "E";
        QTest::newRow("first-colon-counts") << "-lang:fr:de"
                                            << "FR";
    }
    void languageCode()
    {
        QFETCH(QString, argument);
        QFETCH(QString, code);
        QCOMPARE(TCommandLine(argument).LanguageCode(), code);
    }
};

QTEST_GUILESS_MAIN(tst_TCommandLine)
#include "tst_TCommandLine.moc"
