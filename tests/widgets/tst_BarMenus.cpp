#include "app/TrayMenuSettings.h"
#include "widgets/BarMenus.h"
#include "widgets/BcDrawModule.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int kFrame = 3;
constexpr int kRow = 20;

bool IsWhiteish(QRgb pixel)
{
    return qRed(pixel) > 230 && qGreen(pixel) > 230 && qBlue(pixel) > 230;
}

// A menu with rows of a known height, so the bar's rows can be written down as numbers.
struct TFixture
{
    TBcBarPopupMenu menu;
    QList<QAction*> items;

    explicit TFixture(int itemCount = 5)
    {
        menu.setObjectName(QStringLiteral("PopupMenu1"));
        menu.OnMeasureMenuItem = [](TBcBarPopupMenu*, QAction* item, const QFontMetrics&, int&, int& height,
                                    bool, bool&) {
            if (!item->isSeparator())
                height = kRow;
        };
        for (int i = 0; i < itemCount; ++i)
            items << menu.addAction(QStringLiteral("Item number %1").arg(i));
    }

    QImage Open(const QPoint& at = QPoint(40, 40))
    {
        menu.Popup(at.x(), at.y());
        if (!QTest::qWaitForWindowExposed(&menu))
            return {};
        return menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QColor MenuColour() const { return menu.palette().color(QPalette::Window); }
};

class TSolidModule : public TBcBarMenusDrawModule
{
public:
    using TBcBarMenusDrawModule::TBcBarMenusDrawModule;
    int drawn = 0;

    void DrawItem(TBcBarPopupMenu*, QAction*, QPainter& canvas, const QRect& area, const TOwnerDrawState&,
                  bool& defaultDraw) override
    {
        ++drawn;
        canvas.fillRect(area, QColor(255, 0, 255));
        defaultDraw = false;
    }
};

} // namespace

class tst_BarMenus : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void partsWithoutOwnerAreRefused_data();
    void partsWithoutOwnerAreRefused();
    void partsCarryObjectNamesAndTexts_data();
    void partsCarryObjectNamesAndTexts();
    void trayBarGradientRows();
    void trayCaptionReadsUpFromSixAboveBottom();
    void colourDepth_data();
    void colourDepth();
    void barAddsItsWidthToTheMenu();
    void rightSideBandSitsAtTheRowEnd();
    void barIsPaintedOncePerOpening();
    void hidingTheBarFreesItsBitmap();
    void drawHandlersChooseTheLayers();
    void opaqueTiledBackgroundReplacesGradient();
    void separatorHeights_data();
    void separatorHeights();
    void etchedSeparatorRows();
    void fadedSeparatorBlendsAtItsEnds();
    void shortLineSeparatorKeepsClearOfTheEdges();
    void captionSeparatorIsAGradient();
    void measureHandlerCanLeaveTheBarOut();
    void menuFontOnlyWhenNotSystemFont();
    void drawModuleTakesOverItems();
    void glyphColumn();
    void clickingAnItemTriggersIt();
    void subMenuSharesTheLookWithoutBar();
    void secondColumnHasNoBand();
};

void tst_BarMenus::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support).*")));
}

void tst_BarMenus::partsWithoutOwnerAreRefused_data()
{
    QTest::addColumn<QString>("className");
    QTest::newRow("bar") << "TBcBar";
    QTest::newRow("separators") << "TBcSeparators";
    QTest::newRow("caption") << "TBcBarCaption";
    QTest::newRow("picture") << "TBcBarPicture";
    QTest::newRow("back-picture") << "TBcBarBackPicture";
}

void tst_BarMenus::partsWithoutOwnerAreRefused()
{
    QFETCH(QString, className);
    try {
        if (className == "TBcBar")
            TBcBar part(nullptr);
        else if (className == "TBcSeparators")
            TBcSeparators part(nullptr);
        else if (className == "TBcBarCaption")
            TBcBarCaption part(nullptr);
        else if (className == "TBcBarPicture")
            TBcBarPicture part(nullptr);
        else
            TBcBarBackPicture part(nullptr);
        QFAIL("no ERequireOwner");
    } catch (const ERequireOwner& error) {
        QCOMPARE(QString::fromUtf8(error.what()),
                 QStringLiteral("Tried to create %1 with no owner.").arg(className));
    }
}

void tst_BarMenus::partsCarryObjectNamesAndTexts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("property");
    QTest::newRow("bar-caption") << "Bar/BarCaption" << QByteArray("Caption");
    QTest::newRow("bar-width") << "Bar" << QByteArray("Width");
    QTest::newRow("bar-picture") << "Bar/BarPicture" << QByteArray("Transparent");
    QTest::newRow("bar-back-picture") << "Bar/BarBackPicture" << QByteArray("Visible");
    QTest::newRow("separators") << "Separators" << QByteArray("FadeWidth");
}

void tst_BarMenus::partsCarryObjectNamesAndTexts()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, property);
    TBcBarPopupMenu menu;
    ApplyTrayMenuSettings(&menu);

    QObject* part = &menu;
    for (const QString& name : path.split(QLatin1Char('/'))) {
        part = part->findChild<QObject*>(name, Qt::FindDirectChildrenOnly);
        QVERIFY2(part, qPrintable(name));
    }
    QVERIFY(part->property(property.constData()).isValid());
    if (property == "Caption") {
        QCOMPARE(part->property("Caption").toString(), QStringLiteral("Vrel Kestro Software"));
        QVERIFY(part->setProperty("Caption", QStringLiteral("Translated")));
        QCOMPARE(menu.Bar()->BarCaption()->Caption(), QStringLiteral("Translated"));
    }
}

void tst_BarMenus::trayBarGradientRows()
{
    TFixture f(12);
    ApplyTrayMenuSettings(&f.menu);
    const QImage shot = f.Open();
    QCOMPARE(f.menu.BarState().BarHeight, 240);

    // Twelve rows of 20: the bar is 21 x 240, black at the top and 239/240 of the way to the end
    // colour at the bottom. The caption keeps to rows 54 .. 233 or so, clear of the rows checked.
    const QList<std::pair<int, QColor>> rows = {{0, QColor(0, 0, 0)},
                                                {30, QColor(19, 22, 26)},
                                                {236, QColor(153, 178, 210)},
                                                {239, QColor(155, 181, 213)}};
    for (const auto& [row, colour] : rows)
        for (int x = kFrame; x < kFrame + 21; ++x)
            QCOMPARE(QColor(shot.pixel(x, kFrame + row)), colour);
    // One pixel of space, then the items on the menu colour.
    QCOMPARE(shot.pixel(kFrame + 21, kFrame + 239), f.MenuColour().rgb());
}

void tst_BarMenus::trayCaptionReadsUpFromSixAboveBottom()
{
    TFixture f(12);
    ApplyTrayMenuSettings(&f.menu);
    const QImage shot = f.Open();
    const int height = f.menu.BarState().BarHeight;
    QCOMPARE(height, 240);

    int lowest = -1;
    int highest = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 21; ++x)
            if (IsWhiteish(shot.pixel(kFrame + x, kFrame + y))) {
                lowest = y;
                if (highest < 0)
                    highest = y;
            }
    QVERIFY2(lowest >= 0, "no caption on the bar");
    // The caption starts 6 pixels above the bar's bottom edge and runs upwards.
    QVERIFY2(lowest < height - 6 && lowest >= height - 12, qPrintable(QString::number(lowest)));
    QVERIFY2(highest < height - 100, qPrintable(QString::number(highest)));

    f.menu.close();
    f.menu.Bar()->BarCaption()->SetCaption(QString());
    const QImage plain = f.Open();
    for (int y = 0; y < height; ++y)
        QVERIFY(!IsWhiteish(plain.pixel(kFrame + 10, kFrame + y)));
}

void tst_BarMenus::colourDepth_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("band");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("bottom");

    QTest::newRow("16-colours-no-bar") << 4 << false << QColor() << QColor();
    QTest::newRow("256-colours-navy") << 8 << true << QColor(0, 0, 128) << QColor(0, 0, 128);
    QTest::newRow("true-colour-24") << 24 << true << QColor(0, 0, 0) << QColor(154, 180, 211);
    QTest::newRow("true-colour-32") << 32 << true << QColor(0, 0, 0) << QColor(154, 180, 211);
}

void tst_BarMenus::colourDepth()
{
    QFETCH(int, depth);
    QFETCH(bool, band);
    QFETCH(QColor, top);
    QFETCH(QColor, bottom);

    TFixture f;
    ApplyTrayMenuSettings(&f.menu);
    QObject::connect(&f.menu, &QMenu::aboutToShow, &f.menu,
                     [&f, depth] { ApplyTrayBarColorDepth(&f.menu, depth); });
    const QImage shot = f.Open();

    const QRect first = f.menu.actionGeometry(f.items.first());
    if (!band) {
        QVERIFY(!f.menu.Bar()->Visible());
        QCOMPARE(shot.pixel(kFrame, kFrame), f.MenuColour().rgb());
        QCOMPARE(shot.pixel(kFrame, kFrame + 99), f.MenuColour().rgb());
        QCOMPARE(first.width(), f.menu.width() - 2 * kFrame);
        return;
    }
    QCOMPARE(QColor(shot.pixel(kFrame, kFrame)), top);
    QCOMPARE(QColor(shot.pixel(kFrame, kFrame + 99)), bottom);
}

void tst_BarMenus::barAddsItsWidthToTheMenu()
{
    TFixture with;
    with.menu.Bar()->SetWidth(21);
    with.Open();
    TFixture without;
    without.menu.Bar()->SetVisible(false);
    without.Open();

    QCOMPARE(with.menu.width() - without.menu.width(), 22);
}

void tst_BarMenus::rightSideBandSitsAtTheRowEnd()
{
    TFixture f;
    f.menu.Bar()->SetSide(TSide::sRight);
    f.menu.Bar()->SetGradientStart(QColor(0, 200, 0));
    f.menu.Bar()->SetGradientEnd(QColor(0, 200, 0));
    const QImage shot = f.Open();

    const QRect row = f.menu.actionGeometry(f.items.at(2));
    const int right = row.left() + row.width() - 1;
    QCOMPARE(QColor(shot.pixel(right, row.center().y())), QColor(0, 200, 0));
    QCOMPARE(shot.pixel(right - 32, row.center().y()), f.MenuColour().rgb());
    QCOMPARE(shot.pixel(row.left(), row.center().y()), f.MenuColour().rgb());
}

void tst_BarMenus::barIsPaintedOncePerOpening()
{
    TFixture f;
    int painted = 0;
    int after = 0;
    QRect afterRect;
    f.menu.OnBeforeDrawBar = [&](TBcBarPopupMenu*, QPainter*, const QRect&, bool&) { ++painted; };
    f.menu.OnAfterDrawBar = [&](TBcBarPopupMenu*, QPainter*, const QRect& rect) {
        ++after;
        afterRect = rect;
    };

    f.Open();
    f.menu.setActiveAction(f.items.at(1));
    f.menu.grab();
    QCOMPARE(painted, 1);
    QCOMPARE(after, 1);
    QCOMPARE(afterRect, QRect(0, 0, 32, 100));
    QVERIFY(f.menu.BarState().BarValid);

    // The same size again: the painted bar is still good.
    f.menu.close();
    f.Open();
    QCOMPARE(painted, 1);

    f.menu.close();
    f.menu.Bar()->SetGradientEnd(QColor(0, 0, 255));
    f.Open();
    QCOMPARE(painted, 2);

    // The tray menu hides and shows its bar before each opening, so it is painted every time.
    f.menu.close();
    QObject::connect(&f.menu, &QMenu::aboutToShow, &f.menu, [&f] { ApplyTrayBarColorDepth(&f.menu, 32); });
    f.Open();
    f.menu.close();
    f.Open();
    QCOMPARE(painted, 4);
}

void tst_BarMenus::hidingTheBarFreesItsBitmap()
{
    TFixture f;
    f.Open();
    QVERIFY(!f.menu.BarState().BarBitmap.isNull());

    f.menu.Bar()->SetVisible(false);

    QVERIFY(f.menu.BarState().BarBitmap.isNull());
    QVERIFY(f.menu.BarState().Recalculate());
    QVERIFY(!f.menu.BarState().BarValid);
    QCOMPARE(f.menu.BarState().BarHeight, 0);
}

void tst_BarMenus::drawHandlersChooseTheLayers()
{
    TFixture f;
    ApplyTrayMenuSettings(&f.menu);
    f.menu.OnAdvancedBeforeDrawBar = [](TBcBarPopupMenu*, QPainter*, const QRect&, TBarParts& parts) {
        QCOMPARE(parts, TBarParts(TBarPart::bpGradient) | TBarPart::bpPicture | TBarPart::bpBackPicture |
                            TBarPart::bpCaption);
        parts &= ~TBarParts(TBarPart::bpCaption);
    };
    QImage shot = f.Open();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 21; ++x)
            QVERIFY(!IsWhiteish(shot.pixel(kFrame + x, kFrame + y)));

    f.menu.close();
    f.menu.OnAdvancedBeforeDrawBar = nullptr;
    f.menu.OnBeforeDrawBar = [](TBcBarPopupMenu*, QPainter* canvas, const QRect& rect, bool& defaultDraw) {
        canvas->fillRect(rect, QColor(200, 0, 0));
        defaultDraw = false;
    };
    f.menu.Bar()->SetGradientEnd(QColor(0, 0, 255));
    shot = f.Open();
    QCOMPARE(QColor(shot.pixel(kFrame + 10, kFrame + 50)), QColor(200, 0, 0));
}

void tst_BarMenus::opaqueTiledBackgroundReplacesGradient()
{
    TFixture f;
    QImage tile(8, 8, QImage::Format_RGB32);
    tile.fill(QColor(10, 120, 10));
    tile.setPixel(0, 0, qRgb(250, 250, 0));
    TBcBarBackPicture* back = f.menu.Bar()->BarBackPicture();
    back->SetPicture(tile);
    back->SetTransparent(false);
    back->SetDrawStyle(TDrawStyle::dsTile);
    f.menu.Bar()->SetBorder(QColor(0, 0, 255));
    const QImage shot = f.Open();

    // Tiles start at the top-left corner; the frame of the border colour lies over them.
    QCOMPARE(QColor(shot.pixel(kFrame, kFrame + 40)), QColor(0, 0, 255));
    QCOMPARE(QColor(shot.pixel(kFrame + 31, kFrame + 40)), QColor(0, 0, 255));
    QCOMPARE(QColor(shot.pixel(kFrame + 8, kFrame + 8)), QColor(250, 250, 0));
    QCOMPARE(QColor(shot.pixel(kFrame + 9, kFrame + 50)), QColor(10, 120, 10));
}

void tst_BarMenus::separatorHeights_data()
{
    QTest::addColumn<TBcMenuStyle>("look");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("expected");

    QTest::newRow("standard-plain") << TBcMenuStyle::msStandard << QString() << true << 12;
    QTest::newRow("xp-plain") << TBcMenuStyle::msWindowsXP << QString() << true << 9;
    QTest::newRow("with-text") << TBcMenuStyle::msStandard << "Cameras" << true << 14;
    QTest::newRow("disabled-shows-no-text") << TBcMenuStyle::msWindowsXP << "Cameras" << false << 9;
    QTest::newRow("auto-is-standard-here") << TBcMenuStyle::msAuto << QString() << true << 12;
}

void tst_BarMenus::separatorHeights()
{
    QFETCH(TBcMenuStyle, look);
    QFETCH(QString, hint);
    QFETCH(bool, enabled);
    QFETCH(int, expected);

    TFixture f(2);
    f.menu.SetMenuStyle(look);
    QAction* separator = f.menu.insertSeparator(f.items.at(1));
    separator->setStatusTip(hint);
    separator->setEnabled(enabled);
    f.Open();

    QCOMPARE(f.menu.actionGeometry(separator).height(), expected);
}

void tst_BarMenus::etchedSeparatorRows()
{
    TFixture f(2);
    QAction* separator = f.menu.insertSeparator(f.items.at(1));
    const QImage shot = f.Open();

    const QRect row = f.menu.actionGeometry(separator);
    const int x = row.center().x();
    const QPalette& pal = f.menu.palette();
    QCOMPARE(shot.pixel(x, row.top() + 4), f.MenuColour().rgb());
    QCOMPARE(shot.pixel(x, row.top() + 5), pal.color(QPalette::Dark).rgb());
    QCOMPARE(shot.pixel(x, row.top() + 6), pal.color(QPalette::Light).rgb());
    QCOMPARE(shot.pixel(x, row.top() + 7), f.MenuColour().rgb());
    // The line starts right after the bar's band and space.
    QCOMPARE(shot.pixel(kFrame + 33, row.top() + 5), pal.color(QPalette::Dark).rgb());
}

void tst_BarMenus::fadedSeparatorBlendsAtItsEnds()
{
    TFixture f(2);
    QAction* separator = f.menu.insertSeparator(f.items.at(1));
    TBcSeparators* separators = f.menu.Separators();
    separators->SetFade(true);
    separators->SetFlatLines(true);
    separators->SetFadeWidth(4);
    separators->SetFadeColor(QColor(0, 0, 0));
    f.menu.setPalette(QPalette(QColor(200, 200, 200)));
    const QImage shot = f.Open();

    const QRect row = f.menu.actionGeometry(separator);
    const int left = kFrame + 33;
    const int right = row.left() + row.width() - 1;
    const int y = row.top() + 5;
    QCOMPARE(shot.pixel(left, y), f.MenuColour().rgb());
    QCOMPARE(shot.pixel(left + 1, y), qRgb(150, 150, 150));
    QCOMPARE(shot.pixel(left + 2, y), qRgb(100, 100, 100));
    QCOMPARE(shot.pixel(left + 4, y), qRgb(0, 0, 0));
    QCOMPARE(shot.pixel(row.center().x(), y), qRgb(0, 0, 0));
    QCOMPARE(shot.pixel(right - 1, y), qRgb(150, 150, 150));
    QCOMPARE(shot.pixel(right, y), f.MenuColour().rgb());
    // Flat: no lighter line below.
    QCOMPARE(shot.pixel(row.center().x(), y + 1), f.MenuColour().rgb());
}

void tst_BarMenus::shortLineSeparatorKeepsClearOfTheEdges()
{
    TFixture f(2);
    QAction* separator = f.menu.insertSeparator(f.items.at(1));
    f.menu.Separators()->SetSeparatorStyle(TSeparatorStyle::ssShortLine);
    f.menu.Separators()->SetFlatLines(true);
    const QImage shot = f.Open();

    const QRect row = f.menu.actionGeometry(separator);
    const int areaLeft = kFrame + 33;
    const int right = row.left() + row.width() - 1;
    const int y = row.top() + 5;
    const QRgb dark = f.menu.palette().color(QPalette::Dark).rgb();
    const QRgb back = f.MenuColour().rgb();
    QCOMPARE(shot.pixel(areaLeft + 11, y), back);
    QCOMPARE(shot.pixel(areaLeft + 12, y), dark);
    QCOMPARE(shot.pixel(right - 12, y), dark);
    QCOMPARE(shot.pixel(right - 11, y), back);
}

void tst_BarMenus::captionSeparatorIsAGradient()
{
    TFixture f(2);
    QAction* separator = f.menu.insertSeparator(f.items.at(1));
    separator->setStatusTip(QStringLiteral("Cameras"));
    f.menu.Separators()->SetSeparatorStyle(TSeparatorStyle::ssCaption);
    f.menu.Separators()->SetAlignment(TAlignment::taRightJustify);
    const QImage shot = f.Open();

    const QRect row = f.menu.actionGeometry(separator);
    QCOMPARE(row.height(), 14);
    const int left = kFrame + 33;
    QCOMPARE(QColor(shot.pixel(left, row.top())), QColor(128, 128, 128));
    QCOMPARE(QColor(shot.pixel(left, row.bottom())), QColor(128, 128, 128));
    QCOMPARE(QColor(shot.pixel(left + 1, row.top() + 7)).red(), 128 + 64 / (row.right() - left + 1));
    int ink = 0;
    for (int x = row.right() - 40; x <= row.right(); ++x)
        for (int y = row.top(); y <= row.bottom(); ++y)
            if (qRed(shot.pixel(x, y)) < 100)
                ++ink;
    QVERIFY2(ink > 10, "no right-aligned text on the separator");
}

void tst_BarMenus::measureHandlerCanLeaveTheBarOut()
{
    TFixture plain;
    plain.Open();
    TFixture f;
    f.menu.OnMeasureMenuItem = [](TBcBarPopupMenu*, QAction*, const QFontMetrics&, int&, int& height,
                                  bool barVisible, bool& defaultMeasure) {
        QVERIFY(barVisible);
        height = kRow;
        defaultMeasure = false;
    };
    f.Open();

    QCOMPARE(plain.menu.width() - f.menu.width(), 33);
}

void tst_BarMenus::menuFontOnlyWhenNotSystemFont()
{
    TBcBarPopupMenu menu;
    QAction* item = menu.addAction(QStringLiteral("Options..."));
    menu.Popup(40, 40);
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    const int systemHeight = menu.actionGeometry(item).height();
    QVERIFY(systemHeight < 40);

    QFont large(QStringLiteral("MS Sans Serif"));
    large.setPixelSize(40);
    menu.SetMenuFont(large);
    QCOMPARE(menu.actionGeometry(item).height(), systemHeight);

    menu.SetUseSystemFont(false);
    QVERIFY(menu.actionGeometry(item).height() > 40);

    menu.SetUseSystemFont(true);
    QCOMPARE(menu.actionGeometry(item).height(), systemHeight);
}

void tst_BarMenus::drawModuleTakesOverItems()
{
    TFixture f;
    TSolidModule module;
    module.SetDescription(QStringLiteral("solid"));
    f.menu.SetDrawModule(&module);
    f.menu.Bar()->SetGradientStart(QColor(0, 90, 0));
    f.menu.Bar()->SetGradientEnd(QColor(0, 90, 0));
    const QImage shot = f.Open();

    QVERIFY(module.drawn >= 5);
    const QRect row = f.menu.actionGeometry(f.items.at(3));
    QCOMPARE(QColor(shot.pixel(row.center())), QColor(255, 0, 255));
    QCOMPARE(QColor(shot.pixel(kFrame + 5, row.center().y())), QColor(0, 90, 0));

    {
        TSolidModule gone;
        f.menu.SetDrawModule(&gone);
    }
    QCOMPARE(f.menu.DrawModule(), nullptr);
}

void tst_BarMenus::glyphColumn()
{
    TFixture f(0);
    QPixmap red(16, 16);
    red.fill(QColor(255, 0, 0));
    QPixmap big(40, 40);
    big.fill(QColor(0, 0, 255));
    f.menu.SetImages({red});
    QAction* imaged = f.menu.addAction(QStringLiteral("Image"));
    TBcBarPopupMenu::SetImageIndex(imaged, 0);
    QAction* disabled = f.menu.addAction(QStringLiteral("Disabled image"));
    TBcBarPopupMenu::SetImageIndex(disabled, 0);
    disabled->setEnabled(false);
    QAction* own = f.menu.addAction(QIcon(big), QStringLiteral("Own picture, index out of range"));
    TBcBarPopupMenu::SetImageIndex(own, 5);
    QActionGroup group(&f.menu);
    QAction* radio = f.menu.addAction(QStringLiteral("Radio"));
    radio->setCheckable(true);
    radio->setChecked(true);
    group.addAction(radio);
    QAction* none = f.menu.addAction(QStringLiteral("Nothing"));
    const QImage shot = f.Open();

    const auto glyphCentre = [&](QAction* item) {
        const QRect row = f.menu.actionGeometry(item);
        return QColor(shot.pixel(kFrame + 33 + 11, row.center().y()));
    };
    QCOMPARE(glyphCentre(imaged), QColor(255, 0, 0));
    QVERIFY(glyphCentre(disabled) != QColor(255, 0, 0));
    QCOMPARE(glyphCentre(own), QColor(0, 0, 255));
    // The big picture is scaled into the 22 x 20 column, not spilled over the text.
    const QRect ownRow = f.menu.actionGeometry(own);
    QVERIFY(QColor(shot.pixel(kFrame + 33 + 23, ownRow.center().y())) != QColor(0, 0, 255));
    QVERIFY(qGray(glyphCentre(radio).rgb()) < 80);
    QCOMPARE(glyphCentre(none).rgb(), f.MenuColour().rgb());
}

void tst_BarMenus::clickingAnItemTriggersIt()
{
    TFixture f;
    f.Open();
    QSignalSpy triggered(f.items.at(2), &QAction::triggered);

    QTest::mouseClick(&f.menu, Qt::LeftButton, {}, f.menu.actionGeometry(f.items.at(2)).center());

    QCOMPARE(triggered.count(), 1);
    QTRY_VERIFY(!f.menu.isVisible());
}

void tst_BarMenus::subMenuSharesTheLookWithoutBar()
{
    TBcBarPopupMenu menu;
    ApplyTrayMenuSettings(&menu);
    menu.SetMenuStyle(TBcMenuStyle::msWindowsXP);
    menu.Separators()->SetFade(true);
    TBcBarPopupMenu* sub = menu.AddSubMenu(QStringLiteral("&My Favorites"));

    QCOMPARE(menu.actions().last()->menu(), sub);
    QCOMPARE(sub->title(), QStringLiteral("&My Favorites"));
    QVERIFY(!sub->Bar()->Visible());
    QCOMPARE(sub->MenuStyle(), TBcMenuStyle::msWindowsXP);
    QVERIFY(sub->Separators()->Fade());
    QCOMPARE(sub->MenuFont(), menu.MenuFont());
}

void tst_BarMenus::secondColumnHasNoBand()
{
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    TFixture f(screenHeight / kRow + 5);
    f.menu.Bar()->SetGradientStart(QColor(0, 90, 0));
    f.menu.Bar()->SetGradientEnd(QColor(0, 90, 0));
    const QImage shot = f.Open(QPoint(0, 0));

    const QRect last = f.menu.actionGeometry(f.items.last());
    QVERIFY2(last.left() > kFrame, "the menu did not break into a second column");
    QCOMPARE(shot.pixel(last.left() + 2, last.center().y()), f.MenuColour().rgb());
    QCOMPARE(QColor(shot.pixel(kFrame + 2, last.center().y())), QColor(0, 90, 0));
}

QTEST_MAIN(tst_BarMenus)
#include "tst_BarMenus.moc"
