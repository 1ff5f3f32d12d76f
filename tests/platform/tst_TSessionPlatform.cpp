#include "platform/TSessionPlatform.h"

#include <QtTest>

class tst_TSessionPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesXWaylandWhereItRuns_data();
    void choosesXWaylandWhereItRuns();
};

void tst_TSessionPlatform::choosesXWaylandWhereItRuns_data()
{
    QTest::addColumn<QString>("qpa");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("wayland-with-xwayland") << ""
                                           << "wayland-1"
                                           << ":0"
                                           << "xcb";
    QTest::newRow("wayland-without-xwayland") << ""
                                              << "wayland-1"
                                              << ""
                                              << "";
    QTest::newRow("x11-session") << ""
                                 << ""
                                 << ":0"
                                 << "";
    QTest::newRow("no-display-at-all") << ""
                                       << ""
                                       << ""
                                       << "";
    QTest::newRow("user-asked-for-wayland") << "wayland"
                                            << "wayland-1"
                                            << ":0"
                                            << "";
    QTest::newRow("user-asked-for-xcb") << "xcb"
                                        << "wayland-1"
                                        << ":0"
                                        << "";
}

void tst_TSessionPlatform::choosesXWaylandWhereItRuns()
{
    QFETCH(QString, qpa);
    QFETCH(QString, wayland);
    QFETCH(QString, display);
    QFETCH(QString, chosen);
    QProcessEnvironment environment;
    environment.insert("XDG_SESSION_TYPE", "wayland");
    if (!qpa.isEmpty())
        environment.insert("QT_QPA_PLATFORM", qpa);
    if (!wayland.isEmpty())
        environment.insert("WAYLAND_DISPLAY", wayland);
    if (!display.isEmpty())
        environment.insert("DISPLAY", display);
    QCOMPARE(ChooseQtPlatform(environment), chosen);
}

QTEST_GUILESS_MAIN(tst_TSessionPlatform)
#include "tst_TSessionPlatform.moc"
