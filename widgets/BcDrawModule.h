#pragma once

#include <QObject>
#include <QString>

class QAction;
class QFontMetrics;
class QPainter;
class QRect;
class TBcBarPopupMenu;

struct TOwnerDrawState
{
    bool Selected = false;
    bool Disabled = false;
    bool Checked = false;
    bool Default = false;
};

// Optional plug-in of a side-bar menu that may take over measuring and drawing of its items.
// The base class changes nothing; a module overrides the hooks it needs and clears the flag
// to keep the menu's own work out.
class TBcBarMenusDrawModule : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Description READ Description WRITE SetDescription)

public:
    explicit TBcBarMenusDrawModule(QObject* parent = nullptr);

    QString Description() const { return m_description; }
    void SetDescription(const QString& value) { m_description = value; }

    // Sizes in pixels; runs after the menu's measure handler.
    virtual void MeasureItem(TBcBarPopupMenu* menu, QAction* item, const QFontMetrics& metrics, int& width,
                             int& height, bool& defaultMeasure);
    // area: the item row less the bar's band; the bar itself is still painted by the menu.
    virtual void DrawItem(TBcBarPopupMenu* menu, QAction* item, QPainter& canvas, const QRect& area,
                          const TOwnerDrawState& state, bool& defaultDraw);

private:
    QString m_description;
};
