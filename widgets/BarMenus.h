#pragma once

#include "widgets/BarTypes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <stdexcept>

class QFontMetrics;
class QPainter;
class TBcBarMenusDrawModule;
class TBcBarPopupMenu;

// Raised when a part of a side-bar menu is created without the menu that owns it.
// Message: "Tried to create <class name> with no owner."
class ERequireOwner : public std::runtime_error
{
public:
    explicit ERequireOwner(const char* className);
};

// Parts of a side-bar menu. Each is a child object of its menu, found by its object name
// ("Bar", "BarCaption", "BarPicture", "BarBackPicture", "Separators"), and reports every change of
// its properties (or of its own parts) with Changed(), on which the menu repaints its bar.
// A colour that is not valid (QColor()) stands for "none".
class TBcBarPart : public QObject
{
    Q_OBJECT

signals:
    void Changed();

protected:
    TBcBarPart(QObject* owner, const char* className);

    template <typename T> void Assign(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        emit Changed();
    }
};

class TBcGradientBar : public TBcBarPart
{
    Q_OBJECT
    Q_PROPERTY(QColor GradientStart READ GradientStart WRITE SetGradientStart)
    Q_PROPERTY(QColor GradientEnd READ GradientEnd WRITE SetGradientEnd)

public:
    QColor GradientStart() const { return m_gradientStart; }
    void SetGradientStart(const QColor& value) { Assign(m_gradientStart, value); }
    QColor GradientEnd() const { return m_gradientEnd; }
    void SetGradientEnd(const QColor& value) { Assign(m_gradientEnd, value); }
    TGradientStyle GradientStyle() const { return m_gradientStyle; }
    void SetGradientStyle(TGradientStyle value) { Assign(m_gradientStyle, value); }

protected:
    TBcGradientBar(QObject* owner, const char* className, const QColor& start, const QColor& end,
                   TGradientStyle style);

private:
    QColor m_gradientStart;
    QColor m_gradientEnd;
    TGradientStyle m_gradientStyle;
};

// A picture on the bar, drawn once at its aligned position (offsets added after aligning).
class TBcBarPicture : public TBcBarPart
{
    Q_OBJECT
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_PROPERTY(QImage Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(int OffsetX READ OffsetX WRITE SetOffsetX)
    Q_PROPERTY(int OffsetY READ OffsetY WRITE SetOffsetY)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

public:
    explicit TBcBarPicture(QObject* owner);

    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value) { Assign(m_transparent, value); }
    // Kept as the menu's own copy; a null image means no picture.
    QImage Picture() const { return m_picture; }
    void SetPicture(const QImage& value) { Assign(m_picture, value); }
    int OffsetX() const { return m_offsetX; }
    void SetOffsetX(int value) { Assign(m_offsetX, value); }
    int OffsetY() const { return m_offsetY; }
    void SetOffsetY(int value) { Assign(m_offsetY, value); }
    TVertAlignment VertAlignment() const { return m_vertAlignment; }
    void SetVertAlignment(TVertAlignment value) { Assign(m_vertAlignment, value); }
    THorzAlignment HorzAlignment() const { return m_horzAlignment; }
    void SetHorzAlignment(THorzAlignment value) { Assign(m_horzAlignment, value); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { Assign(m_visible, value); }

protected:
    TBcBarPicture(QObject* owner, const char* className, TVertAlignment vert, THorzAlignment horz);

private:
    bool m_transparent = true;
    QImage m_picture;
    int m_offsetX = 0;
    int m_offsetY = 0;
    TVertAlignment m_vertAlignment;
    THorzAlignment m_horzAlignment;
    bool m_visible = true;
};

// The picture behind the bar: once, tiled or stretched over the whole bar.
class TBcBarBackPicture : public TBcBarPicture
{
    Q_OBJECT

public:
    explicit TBcBarBackPicture(QObject* owner);

    TDrawStyle DrawStyle() const { return m_drawStyle; }
    void SetDrawStyle(TDrawStyle value) { Assign(m_drawStyle, value); }

private:
    TDrawStyle m_drawStyle = TDrawStyle::dsNormal;
};

// The caption written along the bar.
class TBcBarCaption : public TBcBarPart
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(QColor ShadowColor READ ShadowColor WRITE SetShadowColor)
    Q_PROPERTY(QColor HighlightColor READ HighlightColor WRITE SetHighlightColor)
    Q_PROPERTY(int Depth READ Depth WRITE SetDepth)
    Q_PROPERTY(int OffsetY READ OffsetY WRITE SetOffsetY)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

public:
    explicit TBcBarCaption(QObject* owner);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& value) { Assign(m_caption, value); }
    QFont Font() const { return m_font; }
    void SetFont(const QFont& value) { Assign(m_font, value); }
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& value) { Assign(m_fontColor, value); }
    QColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(const QColor& value) { Assign(m_shadowColor, value); }
    QColor HighlightColor() const { return m_highlightColor; }
    void SetHighlightColor(const QColor& value) { Assign(m_highlightColor, value); }
    // Pixels between the caption and its highlight and shadow copies, on each axis.
    int Depth() const { return m_depth; }
    void SetDepth(int value) { Assign(m_depth, value); }
    int OffsetY() const { return m_offsetY; }
    void SetOffsetY(int value) { Assign(m_offsetY, value); }
    TVertAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TVertAlignment value) { Assign(m_alignment, value); }
    TDirection Direction() const { return m_direction; }
    void SetDirection(TDirection value) { Assign(m_direction, value); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { Assign(m_visible, value); }

private:
    QString m_caption;
    QFont m_font;
    QColor m_fontColor{Qt::white};
    QColor m_shadowColor;
    QColor m_highlightColor;
    int m_depth = 1;
    int m_offsetY = 6;
    TVertAlignment m_alignment = TVertAlignment::vaBottom;
    TDirection m_direction = TDirection::dDownToUp;
    bool m_visible = true;
};

// The side bar: a band of Width pixels along one side of the popup, Space pixels from the items.
class TBcBar : public TBcGradientBar
{
    Q_OBJECT
    Q_PROPERTY(QColor Border READ Border WRITE SetBorder)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Space READ Space WRITE SetSpace)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

public:
    explicit TBcBar(QObject* owner);

    QColor Border() const { return m_border; }
    void SetBorder(const QColor& value) { Assign(m_border, value); }
    int Width() const { return m_width; }
    void SetWidth(int value) { Assign(m_width, value); }
    int Space() const { return m_space; }
    void SetSpace(int value) { Assign(m_space, value); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { Assign(m_visible, value); }
    TSide Side() const { return m_side; }
    void SetSide(TSide value) { Assign(m_side, value); }

    TBcBarPicture* BarPicture() const { return m_barPicture; }
    TBcBarBackPicture* BarBackPicture() const { return m_barBackPicture; }
    TBcBarCaption* BarCaption() const { return m_barCaption; }

private:
    QColor m_border;
    int m_width = 32;
    int m_space = 1;
    bool m_visible = true;
    TSide m_side = TSide::sLeft;
    TBcBarPicture* m_barPicture;
    TBcBarBackPicture* m_barBackPicture;
    TBcBarCaption* m_barCaption;
};

// How separators are drawn. A separator shows its action's status tip (the item's hint) as its
// text while it is enabled.
class TBcSeparators : public TBcGradientBar
{
    Q_OBJECT
    Q_PROPERTY(bool Fade READ Fade WRITE SetFade)
    Q_PROPERTY(int FadeWidth READ FadeWidth WRITE SetFadeWidth)
    Q_PROPERTY(QColor FadeColor READ FadeColor WRITE SetFadeColor)
    Q_PROPERTY(bool FlatLines READ FlatLines WRITE SetFlatLines)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(bool UseSystemFont READ UseSystemFont WRITE SetUseSystemFont)

public:
    explicit TBcSeparators(QObject* owner);

    bool Fade() const { return m_fade; }
    void SetFade(bool value) { Assign(m_fade, value); }
    // Pixels over which a faded line blends in at each end.
    int FadeWidth() const { return m_fadeWidth; }
    void SetFadeWidth(int value) { Assign(m_fadeWidth, value); }
    // None: the button-shadow colour of the menu's palette.
    QColor FadeColor() const { return m_fadeColor; }
    void SetFadeColor(const QColor& value) { Assign(m_fadeColor, value); }
    bool FlatLines() const { return m_flatLines; }
    void SetFlatLines(bool value) { Assign(m_flatLines, value); }
    // Used for separator text when UseSystemFont is off, in FontColor (none: the menu's text colour).
    QFont Font() const { return m_font; }
    void SetFont(const QFont& value) { Assign(m_font, value); }
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& value) { Assign(m_fontColor, value); }
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value) { Assign(m_alignment, value); }
    TSeparatorStyle SeparatorStyle() const { return m_separatorStyle; }
    void SetSeparatorStyle(TSeparatorStyle value) { Assign(m_separatorStyle, value); }
    bool UseSystemFont() const { return m_useSystemFont; }
    void SetUseSystemFont(bool value) { Assign(m_useSystemFont, value); }

private:
    bool m_fade = false;
    int m_fadeWidth = 32;
    QColor m_fadeColor;
    bool m_flatLines = false;
    QFont m_font;
    QColor m_fontColor;
    TAlignment m_alignment = TAlignment::taCenter;
    TSeparatorStyle m_separatorStyle = TSeparatorStyle::ssNormal;
    bool m_useSystemFont = true;
};

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

// The settings of the program's tray menu: a 21-pixel bar from black to RGB(156, 182, 214) with
// "Vrel Kestro Software" in white bold Times New Roman (19-pixel characters), separator and item
// font MS Sans Serif (11-pixel characters); everything else as created.
void ApplyTrayMenuSettings(TBcBarPopupMenu* menu);

// Fits the tray menu's bar to a colour depth in bits per pixel: hidden at 4, plain navy at 8,
// black to RGB(156, 182, 214) otherwise. Meant for the menu's aboutToShow.
void ApplyTrayBarColorDepth(TBcBarPopupMenu* menu, int depth);

// Bits per pixel of the screen the widget is on (the primary screen without a widget).
int GetColorDepth(const QWidget* widget = nullptr);
