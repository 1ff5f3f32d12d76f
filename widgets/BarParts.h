#pragma once

#include "widgets/BarTypes.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>

#include <stdexcept>

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
