#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

// The tray icon and its menu on a real X server: Xvfb with trayer as the notification area,
// driven by xdotool and checked on screenshots.
class tst_TrayDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void iconDocksWhenTheTrayAppearsLater();
    void rightClickShowsTheSideBarMenu();
    void clicksReachTheComponent();

private:
    QProcessEnvironment ClientEnvironment() const;
    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& arguments);
    QString Run(const QString& program, const QStringList& arguments);
    bool FindDockedIcon();
    // Whether the demo said a line starting with prefix, at or after line number from.
    bool SawLine(const QString& prefix, int from = 0);
    QStringList LinesSince(int first) const;
    QImage Screenshot(const QString& name);

    QTemporaryDir m_dir;
    QString m_display;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_trayer;
    std::unique_ptr<QProcess> m_demo;
    QStringList m_lines;
    QRect m_icon;
};

void tst_TrayDesktop::initTestCase()
{
    for (const char* tool : {"Xvfb", "trayer", "xdotool", "xwininfo", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("runtime")));
    QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // -displayfd picks a free display and writes its number once the server accepts clients.
    const QString displayFile = m_dir.filePath(QStringLiteral("display"));
    m_xvfb = Start(QStringLiteral("sh"),
                   {QStringLiteral("-c"),
                    QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>'%1'")
                        .arg(displayFile)});
    QTRY_VERIFY_WITH_TIMEOUT(QFile(displayFile).size() > 0, 10000);
    QFile file(displayFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    m_display = QStringLiteral(":") + QString::fromLatin1(file.readAll()).trimmed();
}

void tst_TrayDesktop::cleanupTestCase()
{
    // The demo ends on its own when its input closes, taking its icon away first.
    if (m_demo) {
        m_demo->closeWriteChannel();
        m_demo->waitForFinished(5000);
    }
    for (auto* process : {&m_demo, &m_trayer, &m_xvfb}) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->kill();
            (*process)->waitForFinished(5000);
        }
        process->reset();
    }
}

QProcessEnvironment tst_TrayDesktop::ClientEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Qt prefers a D-Bus status notifier when it finds one and would never dock into trayer.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

std::unique_ptr<QProcess> tst_TrayDesktop::Start(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(ClientEnvironment());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, arguments);
    process->waitForStarted(5000);
    return process;
}

QString tst_TrayDesktop::Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(ClientEnvironment());
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool tst_TrayDesktop::SawLine(const QString& prefix, int from)
{
    if (m_demo) {
        while (m_demo->canReadLine())
            m_lines << QString::fromUtf8(m_demo->readLine()).trimmed();
    }
    const QStringList recent = m_lines.mid(from);
    return std::any_of(recent.begin(), recent.end(),
                       [&](const QString& line) { return line.startsWith(prefix); });
}

QStringList tst_TrayDesktop::LinesSince(int first) const
{
    return m_lines.mid(first);
}

// The docked icon is a window of the demo's class below trayer's panel window.
bool tst_TrayDesktop::FindDockedIcon()
{
    const QStringList tree =
        Run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")})
            .split(QLatin1Char('\n'));
    static const QRegularExpression geometry(
        QStringLiteral("(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    int panelIndent = -1;
    for (const QString& line : tree) {
        const int indent = static_cast<int>(line.size() - line.trimmed().size());
        if (line.contains(QLatin1String("(\"panel\" \"trayer\")"))) {
            panelIndent = indent;
            continue;
        }
        if (panelIndent >= 0 && indent <= panelIndent && !line.trimmed().isEmpty())
            panelIndent = -1;
        if (panelIndent >= 0 && line.contains(QLatin1String("\"vrel_tray_demo\")"))) {
            const QRegularExpressionMatch m = geometry.match(line);
            if (!m.hasMatch())
                return false;
            m_icon = QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                           m.captured(2).toInt());
            return m_icon.width() > 1;
        }
    }
    return false;
}

QImage tst_TrayDesktop::Screenshot(const QString& name)
{
    const QString path = QDir::current().filePath(name);
    Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

void tst_TrayDesktop::iconDocksWhenTheTrayAppearsLater()
{
    m_demo = Start(QStringLiteral(VREL_TRAY_DEMO), {});
    QTRY_VERIFY_WITH_TIMEOUT(SawLine(QStringLiteral("ready")), 10000);
    // No tray yet: the icon is handed over all the same and waits.
    QVERIFY(SawLine(QStringLiteral("ready added tray-available 0")));
    QVERIFY(!FindDockedIcon());

    m_trayer = Start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                      QStringLiteral("--height"), QStringLiteral("32"), QStringLiteral("--SetDockType"),
                      QStringLiteral("true"), QStringLiteral("--transparent"), QStringLiteral("false")});

    QTRY_VERIFY_WITH_TIMEOUT(FindDockedIcon(), 10000);
    QVERIFY2(m_icon.top() < 32, qPrintable(QStringLiteral("icon at %1,%2").arg(m_icon.x()).arg(m_icon.y())));
}

void tst_TrayDesktop::rightClickShowsTheSideBarMenu()
{
    if (m_icon.isEmpty())
        QSKIP("the icon did not dock");
    const int first = static_cast<int>(m_lines.size());
    const QPoint centre = m_icon.center();
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())});
    Run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("3")});

    QTRY_VERIFY_WITH_TIMEOUT(SawLine(QStringLiteral("menu "), first), 10000);
    const QStringList menuLine = LinesSince(first)
                                     .filter(QRegularExpression(QStringLiteral("^menu \\d")))
                                     .first()
                                     .split(QLatin1Char(' '));
    const QRect menu(menuLine.at(1).toInt(), menuLine.at(2).toInt(), menuLine.at(3).toInt(),
                     menuLine.at(4).toInt());
    QVERIFY(!LinesSince(first).contains(QStringLiteral("click right %1 %2").arg(centre.x()).arg(centre.y())));

    // The bar: black at its top row, almost RGB(156, 182, 214) at its bottom row, the caption in white.
    const QPoint barTop = menu.topLeft() + QPoint(3, 3);
    const QPoint barBottom(barTop.x(), menu.bottom() - 3);
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT((shot = Screenshot(QStringLiteral("tst_TrayDesktop-menu.png")),
                              !shot.isNull() && shot.pixel(barTop) == qRgb(0, 0, 0)),
                             10000);
    const QRgb bottom = shot.pixel(barBottom);
    QVERIFY2(qAbs(qRed(bottom) - 156) <= 4 && qAbs(qGreen(bottom) - 182) <= 4 &&
                 qAbs(qBlue(bottom) - 214) <= 4,
             qPrintable(QColor(bottom).name()));
    int white = 0;
    for (int y = barTop.y(); y <= barBottom.y(); ++y)
        for (int x = barTop.x(); x < barTop.x() + 21; ++x)
            if (qRed(shot.pixel(x, y)) > 230 && qGreen(shot.pixel(x, y)) > 230 &&
                qBlue(shot.pixel(x, y)) > 230)
                ++white;
    QVERIFY2(white > 20, "no caption on the bar");
    qInfo("screenshot: %s", qPrintable(QDir::current().filePath(QStringLiteral("tst_TrayDesktop-menu.png"))));

    Run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(SawLine(QStringLiteral("menu-closed"), first), 10000);
}

void tst_TrayDesktop::clicksReachTheComponent()
{
    if (m_icon.isEmpty())
        QSKIP("the icon did not dock");
    const QPoint centre = m_icon.center();
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())});

    int first = static_cast<int>(m_lines.size());
    Run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
    const QString click = QStringLiteral("click left %1 %2").arg(centre.x()).arg(centre.y());
    QTRY_VERIFY_WITH_TIMEOUT(SawLine(click, first), 10000);

    // A double click runs the menu's default item, not the double-click handler.
    first = static_cast<int>(m_lines.size());
    Run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                                    QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(SawLine(QStringLiteral("triggered mnuOptions"), first), 10000);
    QCOMPARE(LinesSince(first).filter(QStringLiteral("dblclick")).size(), 0);
    QCOMPARE(LinesSince(first).filter(QStringLiteral("triggered")).size(), 1);
}

QTEST_GUILESS_MAIN(tst_TrayDesktop)
#include "tst_TrayDesktop.moc"
