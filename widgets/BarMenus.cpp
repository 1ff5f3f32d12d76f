#include "widgets/BarMenus.h"

#include "widgets/BarGeometry.h"
#include "widgets/BarMeasure.h"
#include "widgets/BarPictures.h"
#include "widgets/BcDrawModule.h"
#include "widgets/FadeLine.h"
#include "widgets/GradientFill.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>

// Resources of a static library must be registered by hand; this sits outside any namespace as
// Q_INIT_RESOURCE requires.
static void InitWidgetsResources()
{
    Q_INIT_RESOURCE(widgets);
}

namespace {

constexpr int kPanelWidth = 3;
// Glyph column: room for a 16-pixel picture, or only for a check mark.
constexpr int kGlyphWithImages = 22;
constexpr int kGlyphPlain = 15;
constexpr int kTextGap = 4;
// Right end of an item: room for the sub-menu arrow.
constexpr int kRightPad = 16;
constexpr int kShortcutGap = 12;
constexpr int kPlainSeparatorProposal = 10;
const char* const kImageIndexProperty = "ImageIndex";

QPixmap Tinted(const QPixmap& shape, const QColor& colour)
{
    QPixmap out(shape.size());
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.drawPixmap(0, 0, shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), colour);
    return out;
}

void DrawCentred(QPainter& painter, const QRect& box, QPixmap pixmap)
{
    const QSize room = box.size() - QSize(2, 2);
    if (pixmap.width() > room.width() || pixmap.height() > room.height())
        pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QPoint at(box.left() + (box.width() - pixmap.width()) / 2,
                    box.top() + (box.height() - pixmap.height()) / 2);
    painter.drawPixmap(at, pixmap);
}

void DrawCheckMark(QPainter& painter, const QPoint& centre, const QColor& colour)
{
    painter.setPen(colour);
    const int x = centre.x();
    const int y = centre.y();
    for (int i = 0; i < 3; ++i) {
        painter.drawLine(x - 3, y - 1 + i, x - 1, y + 1 + i);
        painter.drawLine(x - 1, y + 1 + i, x + 3, y - 3 + i);
    }
}

Qt::Alignment TextAlignment(TAlignment alignment)
{
    switch (alignment) {
    case TAlignment::taLeftJustify:
        return Qt::AlignLeft;
    case TAlignment::taRightJustify:
        return Qt::AlignRight;
    case TAlignment::taCenter:
        break;
    }
    return Qt::AlignHCenter;
}

} // namespace

// Gives the side-bar menus their item sizes and a frame without margins, so that the band and
// the items fill the popup from edge to edge. One instance serves every such menu.
class TBcBarMenuProxyStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (qobject_cast<const TBcBarPopupMenu*>(widget)) {
            switch (metric) {
            case PM_MenuPanelWidth:
                return kPanelWidth;
            case PM_MenuHMargin:
            case PM_MenuVMargin:
                return 0;
            default:
                break;
            }
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& contentsSize,
                           const QWidget* widget) const override
    {
        if (const auto* menu = qobject_cast<const TBcBarPopupMenu*>(widget)) {
            // QMenu prepares each item's option right before asking for its size.
            if (type == CT_MenuItem && menu->m_styledAction)
                return menu->MeasureItem(menu->m_styledAction);
            if (type == CT_Menu)
                return contentsSize;
        }
        return QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    }

    static QStyle* Shared()
    {
        static QPointer<TBcBarMenuProxyStyle> shared;
        if (!shared) {
            shared = new TBcBarMenuProxyStyle;
            shared->setParent(QCoreApplication::instance());
        }
        return shared;
    }
};

void TBcBarProtected::SetRecalculate(bool value)
{
    m_recalculate = value;
    if (value)
        BarHeight = 0;
}

TBcBarPopupMenu::TBcBarPopupMenu(QWidget* parent)
    : QMenu(parent), m_bar(new TBcBar(this)), m_separators(new TBcSeparators(this)), m_menuFont(font())
{
    InitWidgetsResources();
    setStyle(TBcBarMenuProxyStyle::Shared());
    connect(m_bar, &TBcBarPart::Changed, this, &TBcBarPopupMenu::PartChanged);
    connect(m_separators, &TBcBarPart::Changed, this, &TBcBarPopupMenu::PartChanged);
    // Every opening paints the bar anew, however the menu was opened.
    connect(this, &QMenu::aboutToShow, this, [this] { m_state.SetRecalculate(true); });
}

TBcBarPopupMenu::~TBcBarPopupMenu() = default;

void TBcBarPopupMenu::SetMenuFont(const QFont& value)
{
    m_menuFont = value;
    if (!m_useSystemFont)
        setFont(m_menuFont);
}

void TBcBarPopupMenu::SetUseSystemFont(bool value)
{
    m_useSystemFont = value;
    // An empty font inherits everything: the platform's menu font.
    setFont(m_useSystemFont ? QFont() : m_menuFont);
}

void TBcBarPopupMenu::SetMenuStyle(TBcMenuStyle value)
{
    if (m_menuStyle == value)
        return;
    m_menuStyle = value;
    Relayout();
    update();
}

TBcMenuStyle TBcBarPopupMenu::EffectiveMenuStyle() const
{
    return ::EffectiveMenuStyle(m_menuStyle, CurrentPlatformVersion());
}

TBcBarMenusDrawModule* TBcBarPopupMenu::DrawModule() const
{
    return m_drawModule;
}

void TBcBarPopupMenu::SetDrawModule(TBcBarMenusDrawModule* module)
{
    m_drawModule = module;
    Relayout();
    update();
}

void TBcBarPopupMenu::SetImages(const QList<QPixmap>& images)
{
    m_images = images;
    Relayout();
    update();
}

int TBcBarPopupMenu::ImageIndex(const QAction* item)
{
    bool ok = false;
    const int index = item->property(kImageIndexProperty).toInt(&ok);
    return ok ? index : -1;
}

void TBcBarPopupMenu::SetImageIndex(QAction* item, int index)
{
    item->setProperty(kImageIndexProperty, index);
}

void TBcBarPopupMenu::Popup(int x, int y)
{
    m_state.SetRecalculate(true);
    popup(QPoint(x, y));
}

TBcBarPopupMenu* TBcBarPopupMenu::AddSubMenu(const QString& title)
{
    auto* sub = new TBcBarPopupMenu(this);
    sub->setTitle(title);
    sub->Bar()->SetVisible(false);
    sub->SetMenuStyle(m_menuStyle);
    sub->SetMenuFont(m_menuFont);
    sub->SetUseSystemFont(m_useSystemFont);
    sub->SetImages(m_images);
    TBcSeparators* to = sub->Separators();
    const TBcSeparators* from = m_separators;
    to->SetGradientStart(from->GradientStart());
    to->SetGradientEnd(from->GradientEnd());
    to->SetGradientStyle(from->GradientStyle());
    to->SetFade(from->Fade());
    to->SetFadeWidth(from->FadeWidth());
    to->SetFadeColor(from->FadeColor());
    to->SetFlatLines(from->FlatLines());
    to->SetFont(from->Font());
    to->SetFontColor(from->FontColor());
    to->SetAlignment(from->Alignment());
    to->SetSeparatorStyle(from->SeparatorStyle());
    to->SetUseSystemFont(from->UseSystemFont());
    addMenu(sub);
    return sub;
}

void TBcBarPopupMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const
{
    QMenu::initStyleOption(option, action);
    m_styledAction = const_cast<QAction*>(action);
}

void TBcBarPopupMenu::actionEvent(QActionEvent* event)
{
    if (event->type() == QEvent::ActionRemoved && event->action() == m_styledAction)
        m_styledAction = nullptr;
    QMenu::actionEvent(event);
}

void TBcBarPopupMenu::PartChanged()
{
    if (!m_bar->Visible()) {
        m_state.BarBitmap = QImage();
        m_state.SetRecalculate(true);
    }
    m_state.BarValid = false;
    Relayout();
    update();
}

void TBcBarPopupMenu::Relayout()
{
    // QMenu measures its items again after a style change; nothing else makes it forget them.
    QEvent change(QEvent::StyleChange);
    QCoreApplication::sendEvent(this, &change);
}

int TBcBarPopupMenu::GlyphColumnWidth() const
{
    if (!m_images.isEmpty())
        return kGlyphWithImages;
    const QList<QAction*> items = actions();
    const bool anyIcon =
        std::any_of(items.begin(), items.end(), [](const QAction* item) { return !item->icon().isNull(); });
    return anyIcon ? kGlyphWithImages : kGlyphPlain;
}

QSize TBcBarPopupMenu::MeasureItem(QAction* item) const
{
    const TBcMenuStyle look = EffectiveMenuStyle();
    const QFontMetrics metrics(font());
    int itemWidth = kPlainSeparatorProposal;
    int itemHeight = 2;
    if (!item->isSeparator()) {
        QFont itemFont = font();
        itemFont.setBold(itemFont.bold() || item == defaultAction());
        const QFontMetrics itemMetrics(itemFont);
        QString text = item->text();
        const int tab = text.indexOf(QLatin1Char('\t'));
        const bool hasShortcut =
            tab >= 0 || (!item->shortcut().isEmpty() && item->isShortcutVisibleInContextMenu());
        if (tab >= 0)
            text.truncate(tab);
        const int textWidth =
            itemMetrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, text).width();
        const bool imageColumn = GlyphColumnWidth() == kGlyphWithImages;
        itemWidth = (imageColumn ? kGlyphWithImages : 0) + kTextGap + textWidth + kRightPad +
                    (hasShortcut ? kShortcutGap : 0);
        itemHeight = std::max(itemMetrics.height() + 5, imageColumn ? 20 : 0);
    }

    TMeasureItem info;
    info.separator = item->isSeparator();
    info.enabled = item->isEnabled();
    info.hint = item->statusTip();
    info.visible = item->isVisible();
    info.menuHasImages = !m_images.isEmpty();
    info.hasOwnBitmap = !item->icon().isNull();
    MeasureBeforeHandlers(info, look, itemWidth, itemHeight);

    auto* self = const_cast<TBcBarPopupMenu*>(this);
    bool defaultMeasure = true;
    if (OnMeasureMenuItem)
        OnMeasureMenuItem(self, item, metrics, itemWidth, itemHeight, m_bar->Visible(), defaultMeasure);
    if (m_drawModule)
        m_drawModule->MeasureItem(self, item, metrics, itemWidth, itemHeight, defaultMeasure);
    if (defaultMeasure) {
        TMeasureBar bar;
        bar.separatorStyle = m_separators->SeparatorStyle();
        bar.barVisible = m_bar->Visible();
        bar.barWidth = m_bar->Width();
        bar.barSpace = m_bar->Space();
        bar.recalculate = m_state.Recalculate();
        m_state.BarHeight += MeasureAfterHandlers(info, bar, itemWidth, itemHeight);
    }
    return {itemWidth, itemHeight};
}

QRect TBcBarPopupMenu::ClientRect() const
{
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    return rect().adjusted(frame, frame, -frame, -frame);
}

void TBcBarPopupMenu::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    DrawFrame(painter);

    const QRect client = ClientRect();
    for (QAction* item : actions()) {
        const QRect itemRect = actionGeometry(item);
        if (!item->isVisible() || itemRect.isEmpty())
            continue;
        // Qt starts a second column only when the menu outgrows the screen; the band stays
        // beside the first.
        const bool withBand = m_bar->Visible() && itemRect.left() == client.left();
        const QRect area = ItemArea(itemRect, withBand, m_bar->Side(), m_bar->Width(), m_bar->Space(),
                                    m_separators->SeparatorStyle());
        painter.save();
        DrawItem(painter, item, area);
        painter.restore();
        if (withBand)
            DrawBarBeside(painter, itemRect);
    }
}

void TBcBarPopupMenu::DrawFrame(QPainter& painter) const
{
    const QPalette& pal = palette();
    const QRect all = rect();
    painter.fillRect(all, pal.color(QPalette::Window));
    const int right = all.right();
    const int bottom = all.bottom();
    const auto ring = [&](int inset, const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(inset, inset, right - inset, inset);
        painter.drawLine(inset, inset, inset, bottom - inset);
        painter.setPen(bottomRight);
        painter.drawLine(inset, bottom - inset, right - inset, bottom - inset);
        painter.drawLine(right - inset, inset, right - inset, bottom - inset);
    };
    if (EffectiveMenuStyle() == TBcMenuStyle::msWindowsXP) {
        ring(0, pal.color(QPalette::Dark), pal.color(QPalette::Dark));
    } else {
        ring(0, pal.color(QPalette::Midlight), pal.color(QPalette::Shadow));
        ring(1, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    }
}

void TBcBarPopupMenu::DrawItem(QPainter& painter, QAction* item, const QRect& area)
{
    const bool selected = item == activeAction();
    TOwnerDrawState state;
    state.Selected = selected;
    state.Disabled = !item->isEnabled();
    state.Checked = item->isChecked();
    state.Default = item == defaultAction();
    bool defaultDraw = true;
    if (m_drawModule)
        m_drawModule->DrawItem(this, item, painter, area, state, defaultDraw);
    if (!defaultDraw)
        return;
    if (item->isSeparator())
        DrawSeparator(painter, item, area);
    else
        DrawMenuItem(painter, item, area, selected);
}

void TBcBarPopupMenu::DrawMenuItem(QPainter& painter, QAction* item, const QRect& area, bool selected)
{
    const QPalette& pal = palette();
    QColor back = pal.color(QPalette::Window);
    QColor text = pal.color(QPalette::WindowText);
    if (selected) {
        back = pal.color(QPalette::Highlight);
        text = pal.color(QPalette::HighlightedText);
    } else if (!item->isEnabled()) {
        text = pal.color(QPalette::Disabled, QPalette::WindowText);
    }
    painter.fillRect(area, back);
    if (selected && EffectiveMenuStyle() == TBcMenuStyle::msWindowsXP) {
        painter.setPen(back.darker(150));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }

    const int glyphWidth = GlyphColumnWidth();
    DrawGlyph(painter, item, QRect(area.left(), area.top(), glyphWidth, area.height()), text);

    QFont itemFont = font();
    itemFont.setBold(itemFont.bold() || item == defaultAction());
    painter.setFont(itemFont);
    painter.setPen(text);
    QString caption = item->text();
    QString shortcut;
    const int tab = caption.indexOf(QLatin1Char('\t'));
    if (tab >= 0) {
        shortcut = caption.mid(tab + 1);
        caption.truncate(tab);
    } else if (!item->shortcut().isEmpty() && item->isShortcutVisibleInContextMenu()) {
        shortcut = item->shortcut().toString(QKeySequence::NativeText);
    }
    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)
                             ? Qt::TextShowMnemonic
                             : Qt::TextHideMnemonic;
    const QRect textRect = area.adjusted(glyphWidth + kTextGap, 0, -kRightPad, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | mnemonic, caption);
    if (!shortcut.isEmpty())
        painter.drawText(textRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcut);

    if (item->menu()) {
        const int cx = area.right() - kRightPad / 2;
        const int cy = area.center().y();
        painter.setPen(Qt::NoPen);
        painter.setBrush(text);
        painter.drawPolygon(QPolygon({QPoint(cx - 2, cy - 4), QPoint(cx + 2, cy), QPoint(cx - 2, cy + 4)}));
    }
}

void TBcBarPopupMenu::DrawGlyph(QPainter& painter, QAction* item, const QRect& glyph, const QColor& textColor)
{
    const int index = ImageIndex(item);
    if (index >= 0 && index < m_images.size() && !m_images.at(index).isNull()) {
        QPixmap picture = m_images.at(index);
        if (!item->isEnabled()) {
            QStyleOption option;
            option.initFrom(this);
            picture = style()->generatedIconPixmap(QIcon::Disabled, picture, &option);
        }
        DrawCentred(painter, glyph, picture);
        return;
    }
    if (item->isChecked()) {
        const bool radio = item->actionGroup() && item->actionGroup()->isExclusive();
        if (radio)
            DrawCentred(painter, glyph,
                        Tinted(QPixmap(QStringLiteral(":/widgets/BCRADIOITEM.xpm")), textColor));
        else
            DrawCheckMark(painter, glyph.center(), textColor);
        return;
    }
    if (!item->icon().isNull()) {
        const QRect room = glyph.adjusted(1, 1, -1, -1);
        const QSize side(std::min(room.width(), 16), std::min(room.height(), 16));
        const QPixmap picture = item->icon().pixmap(side, devicePixelRatio(),
                                                    item->isEnabled() ? QIcon::Normal : QIcon::Disabled);
        DrawCentred(painter, glyph, picture);
    }
}

void TBcBarPopupMenu::DrawSeparator(QPainter& painter, QAction* item, const QRect& area)
{
    const QString hint = SeparatorText(item->isEnabled(), item->statusTip());
    const bool hasText = !hint.isEmpty();
    const QRect lineRect =
        m_separators->SeparatorStyle() == TSeparatorStyle::ssShortLine ? ShortLineRect(area) : area;
    const QPalette& pal = palette();
    const QColor back = pal.color(QPalette::Window);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor light = pal.color(QPalette::Light);
    const bool ownFont = !m_separators->UseSystemFont();
    const QFont textFont = ownFont ? m_separators->Font() : font();
    const QColor textColour = ownFont && m_separators->FontColor().isValid()
                                  ? m_separators->FontColor()
                                  : pal.color(QPalette::WindowText);
    const QString text = QStringLiteral(" %1 ").arg(hint);

    if (hasText && m_separators->SeparatorStyle() == TSeparatorStyle::ssCaption) {
        GradientFill(painter, lineRect, m_separators->GradientStart(), m_separators->GradientEnd(),
                     m_separators->GradientStyle());
        painter.setFont(textFont);
        painter.setPen(textColour);
        painter.drawText(
            lineRect, TextAlignment(m_separators->Alignment()) | Qt::AlignVCenter | Qt::TextSingleLine, text);
        return;
    }

    const int lineY = lineRect.top() + SeparatorLineOffset(hasText);
    int gapLeft = lineRect.left() + lineRect.width() / 2;
    int gapRight = gapLeft;
    int textWidth = 0;
    if (hasText) {
        textWidth = QFontMetrics(textFont).horizontalAdvance(text);
        gapLeft = SeparatorTextLeft(lineRect, textWidth, m_separators->Alignment());
        gapRight = gapLeft + textWidth;
    }

    if (m_separators->Fade()) {
        // Fading blends with what is underneath, so the two rows are composed off screen.
        const QColor fadeColour = m_separators->FadeColor().isValid() ? m_separators->FadeColor() : shadow;
        QImage strip(std::max(lineRect.width(), 1), 2, QImage::Format_RGB32);
        strip.fill(back);
        const int left = lineRect.left();
        FadeLine(strip, 0, 0, lineRect.width(), m_separators->FadeWidth(), fadeColour, gapLeft - left,
                 gapRight - left);
        if (!m_separators->FlatLines())
            FadeLine(strip, 1, 0, lineRect.width(), m_separators->FadeWidth(), light, gapLeft - left,
                     gapRight - left);
        painter.drawImage(QPoint(left, lineY), strip);
    } else {
        const auto line = [&](int y, const QColor& colour) {
            painter.setPen(colour);
            if (gapLeft > lineRect.left())
                painter.drawLine(lineRect.left(), y, gapLeft - 1, y);
            if (gapRight <= lineRect.right())
                painter.drawLine(gapRight, y, lineRect.right(), y);
        };
        line(lineY, shadow);
        if (!m_separators->FlatLines())
            line(lineY + 1, light);
    }

    if (hasText) {
        painter.setFont(textFont);
        painter.setPen(textColour);
        painter.drawText(QRect(gapLeft, lineRect.top(), textWidth, lineRect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
}

void TBcBarPopupMenu::DrawBarBeside(QPainter& painter, const QRect& itemRect)
{
    const int barWidth = m_bar->Width();
    const QRect client = ClientRect();
    if (m_state.Recalculate()) {
        m_state.BarHeight = client.height();
        m_state.SetRecalculate(false);
        const QSize wanted(barWidth, m_state.BarHeight);
        if (m_state.BarBitmap.size() != wanted) {
            m_state.BarBitmap = wanted.isEmpty() ? QImage() : QImage(wanted, QImage::Format_RGB32);
            if (!m_state.BarBitmap.isNull())
                m_state.BarBitmap.fill(Qt::black);
            m_state.BarValid = false;
        }
    }
    if (m_state.BarBitmap.isNull())
        return;

    const QRect band = BandTarget(itemRect, m_bar->Side(), barWidth);
    if (m_state.BarValid) {
        painter.drawImage(band, m_state.BarBitmap,
                          QRect(0, itemRect.top() - client.top(), barWidth, itemRect.height()));
        return;
    }
    PaintBarBitmap();
    painter.drawImage(QPoint(band.left(), client.top()), m_state.BarBitmap);
    if (OnAfterDrawBar) {
        QPainter canvas(&m_state.BarBitmap);
        OnAfterDrawBar(this, &canvas, m_state.BarBitmap.rect());
    }
    m_state.BarValid = true;
}

void TBcBarPopupMenu::PaintBarBitmap()
{
    QImage& bitmap = m_state.BarBitmap;
    const QRect barRect = bitmap.rect();
    bool defaultDraw = true;
    if (OnBeforeDrawBar) {
        QPainter canvas(&bitmap);
        OnBeforeDrawBar(this, &canvas, barRect, defaultDraw);
    }
    if (!defaultDraw)
        return;

    TBarParts parts = TBarPart::bpGradient;
    if (m_bar->BarPicture()->Visible())
        parts |= TBarPart::bpPicture;
    if (m_bar->BarBackPicture()->Visible())
        parts |= TBarPart::bpBackPicture;
    if (m_bar->BarCaption()->Visible())
        parts |= TBarPart::bpCaption;
    if (OnAdvancedBeforeDrawBar) {
        QPainter canvas(&bitmap);
        OnAdvancedBeforeDrawBar(this, &canvas, barRect, parts);
    }

    // An opaque picture that covers the whole bar makes the gradient pointless, but only when it
    // is really drawn; otherwise the bar would keep stale pixels.
    const TBcBarBackPicture* back = m_bar->BarBackPicture();
    const bool backCovers = parts.testFlag(TBarPart::bpBackPicture) && !back->Transparent() &&
                            !back->Picture().isNull() && back->DrawStyle() != TDrawStyle::dsNormal;
    if (parts.testFlag(TBarPart::bpGradient) && !backCovers)
        GradientFill(bitmap, barRect, m_bar->GradientStart(), m_bar->GradientEnd(), m_bar->GradientStyle());

    QPainter canvas(&bitmap);
    if (parts.testFlag(TBarPart::bpBackPicture))
        PaintBackPicture(canvas, barRect);
    if (parts.testFlag(TBarPart::bpPicture))
        PaintPicture(canvas);
    if (parts.testFlag(TBarPart::bpCaption))
        PaintCaption(canvas, barRect);
}

void TBcBarPopupMenu::PaintBackPicture(QPainter& canvas, const QRect& barRect)
{
    const TBcBarBackPicture* back = m_bar->BarBackPicture();
    const QImage picture = PictureForBar(back->Picture(), back->Transparent());
    if (!picture.isNull()) {
        switch (back->DrawStyle()) {
        case TDrawStyle::dsNormal:
            canvas.drawImage(PicturePosition(picture.size(), barRect.width(), barRect.height(),
                                             back->HorzAlignment(), back->VertAlignment(), back->OffsetX(),
                                             back->OffsetY()),
                             picture);
            break;
        case TDrawStyle::dsTile:
            for (const QPoint& at :
                 TilePositions(picture.size(), barRect.width(), barRect.height(), back->HorzAlignment(),
                               back->VertAlignment(), back->OffsetX(), back->OffsetY()))
                canvas.drawImage(at, picture);
            break;
        case TDrawStyle::dsStretch:
            canvas.drawImage(barRect, picture);
            break;
        }
    }
    if (m_bar->Border().isValid()) {
        canvas.setPen(m_bar->Border());
        canvas.setBrush(Qt::NoBrush);
        canvas.drawRect(barRect.adjusted(0, 0, -1, -1));
    }
}

void TBcBarPopupMenu::PaintPicture(QPainter& canvas)
{
    const TBcBarPicture* bar = m_bar->BarPicture();
    const QImage picture = PictureForBar(bar->Picture(), bar->Transparent());
    if (picture.isNull())
        return;
    canvas.drawImage(PicturePosition(picture.size(), m_state.BarBitmap.width(), m_state.BarBitmap.height(),
                                     bar->HorzAlignment(), bar->VertAlignment(), bar->OffsetX(),
                                     bar->OffsetY()),
                     picture);
}

void TBcBarPopupMenu::PaintCaption(QPainter& canvas, const QRect& barRect)
{
    const TBcBarCaption* caption = m_bar->BarCaption();
    const QString text = caption->Caption();
    if (text.isEmpty())
        return;
    QFont rotated = caption->Font();
    rotated.setWeight(rotated.bold() ? QFont::Bold : QFont::Normal);
    const QFontMetrics metrics(rotated);
    const int length = metrics.horizontalAdvance(text);
    const TBcBarPicture* picture = m_bar->BarPicture();
    const int bottomPicture =
        !picture->Picture().isNull() && picture->VertAlignment() == TVertAlignment::vaBottom
            ? picture->Picture().height()
            : 0;
    const QPoint at =
        CaptionPosition(barRect.width(), barRect.height(), length, metrics.height(), caption->Alignment(),
                        caption->Direction(), caption->OffsetY(), bottomPicture);
    const qreal angle = caption->Direction() == TDirection::dDownToUp ? -90 : 90;

    canvas.save();
    canvas.setClipRect(barRect.adjusted(0, 0, 0, 1));
    canvas.setFont(rotated);
    const auto draw = [&](const QPoint& origin, const QColor& colour) {
        canvas.save();
        canvas.translate(origin);
        canvas.rotate(angle);
        canvas.setPen(colour);
        canvas.drawText(QPoint(0, metrics.ascent()), text);
        canvas.restore();
    };
    const int depth = caption->Depth();
    if (caption->HighlightColor().isValid())
        draw(at + QPoint(-depth, depth), caption->HighlightColor());
    if (caption->ShadowColor().isValid())
        draw(at + QPoint(depth, -depth), caption->ShadowColor());
    draw(at, caption->FontColor());
    canvas.restore();
}
