#pragma once

#include "widgets/BarParts.h"
#include "widgets/BarTypes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include <functional>

class QFontMetrics;
class QPainter;
class TBcBarMenusDrawModule;
class TBcBarPopupMenu;

// Per-menu drawing state: the bar is painted once per opening into BarBitmap (BarHeight rows)
// and copied band by band beside the items afterwards.
class TBcBarProtected
{
public:
    int BarHeight = 0;
    QImage BarBitmap;
    bool BarValid = false;

    bool Recalculate() const { return m_recalculate; }
    // Asking for a recalculation also forgets the bar's height.
    void SetRecalculate(bool value);

private:
    bool m_recalculate = true;
};

// A popup menu that paints a side bar (gradient, pictures, vertical caption) beside its items
// and draws its items and separators itself, in the msStandard or msWindowsXP look.
//
// Items are the menu's actions. An item's picture is the menu's Images()[ImageIndex(item)] when
// that index is valid, else its own icon; its hint is its status tip. The default item is the
// menu's defaultAction(). Items of a second column (Qt opens one when the menu is taller than
// the screen) carry no band.
class TBcBarPopupMenu : public QMenu
{
    Q_OBJECT
    Q_PROPERTY(QFont MenuFont READ MenuFont WRITE SetMenuFont)
    Q_PROPERTY(bool UseSystemFont READ UseSystemFont WRITE SetUseSystemFont)
    Q_PROPERTY(bool AutoPopup READ AutoPopup WRITE SetAutoPopup)
    Q_PROPERTY(QObject* PopupComponent READ PopupComponent WRITE SetPopupComponent)

public:
    explicit TBcBarPopupMenu(QWidget* parent = nullptr);
    ~TBcBarPopupMenu() override;

    TBcBar* Bar() const { return m_bar; }
    TBcSeparators* Separators() const { return m_separators; }

    // The item font while UseSystemFont is off.
    QFont MenuFont() const { return m_menuFont; }
    void SetMenuFont(const QFont& value);
    bool UseSystemFont() const { return m_useSystemFont; }
    void SetUseSystemFont(bool value);
    TBcMenuStyle MenuStyle() const { return m_menuStyle; }
    void SetMenuStyle(TBcMenuStyle value);
    // msStandard or msWindowsXP, as the items are drawn.
    TBcMenuStyle EffectiveMenuStyle() const;

    // Not owned; cleared when the module is destroyed.
    TBcBarMenusDrawModule* DrawModule() const;
    void SetDrawModule(TBcBarMenusDrawModule* module);

    // The image list the items' ImageIndex refers to.
    QList<QPixmap> Images() const { return m_images; }
    void SetImages(const QList<QPixmap>& images);
    static int ImageIndex(const QAction* item);
    static void SetImageIndex(QAction* item, int index);

    // Whether a tray icon (or another owner) may open this menu by itself; true by default.
    bool AutoPopup() const { return m_autoPopup; }
    void SetAutoPopup(bool value) { m_autoPopup = value; }
    // The component that opened the menu last (the tray icon sets itself).
    QObject* PopupComponent() const { return m_popupComponent; }
    void SetPopupComponent(QObject* component) { m_popupComponent = component; }

    // Opens the menu at a screen point, painting the bar anew for this opening.
    void Popup(int x, int y);

    // A sub-menu in the same look as this menu (fonts, style, separators, images), without a bar.
    TBcBarPopupMenu* AddSubMenu(const QString& title);

    const TBcBarProtected& BarState() const { return m_state; }

    // Runs before the bar is painted into its bitmap; clearing defaultDraw leaves the bitmap as
    // the handler drew it.
    std::function<void(TBcBarPopupMenu* sender, QPainter* canvas, const QRect& rect, bool& defaultDraw)>
        OnBeforeDrawBar;
    // May change which layers are painted.
    std::function<void(TBcBarPopupMenu* sender, QPainter* canvas, const QRect& rect, TBarParts& drawParts)>
        OnAdvancedBeforeDrawBar;
    // Runs after the painted bar has been copied to the popup; it draws on the bitmap, so its
    // work shows in the bands copied later.
    std::function<void(TBcBarPopupMenu* sender, QPainter* canvas, const QRect& rect)> OnAfterDrawBar;
    // May change an item's size (pixels); clearing defaultMeasure skips the bar's own additions.
    std::function<void(TBcBarPopupMenu* sender, QAction* item, const QFontMetrics& metrics, int& width,
                       int& height, bool barVisible, bool& defaultMeasure)>
        OnMeasureMenuItem;

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
    void paintEvent(QPaintEvent* event) override;
    void actionEvent(QActionEvent* event) override;

private:
    friend class TBcBarMenuProxyStyle;

    QSize MeasureItem(QAction* item) const;
    void PartChanged();
    void Relayout();
    int GlyphColumnWidth() const;
    QRect ClientRect() const;
    void DrawFrame(QPainter& painter) const;
    void DrawItem(QPainter& painter, QAction* item, const QRect& area);
    void DrawMenuItem(QPainter& painter, QAction* item, const QRect& area, bool selected);
    void DrawGlyph(QPainter& painter, QAction* item, const QRect& glyph, const QColor& textColor);
    void DrawSeparator(QPainter& painter, QAction* item, const QRect& area);
    void DrawBarBeside(QPainter& painter, const QRect& itemRect);
    void PaintBarBitmap();
    void PaintBackPicture(QPainter& canvas, const QRect& rect);
    void PaintPicture(QPainter& canvas);
    void PaintCaption(QPainter& canvas, const QRect& rect);

    TBcBar* m_bar;
    TBcSeparators* m_separators;
    QFont m_menuFont;
    bool m_useSystemFont = true;
    TBcMenuStyle m_menuStyle = TBcMenuStyle::msAuto;
    QPointer<TBcBarMenusDrawModule> m_drawModule;
    QList<QPixmap> m_images;
    bool m_autoPopup = true;
    QPointer<QObject> m_popupComponent;
    mutable TBcBarProtected m_state;
    mutable QAction* m_styledAction = nullptr;
};
