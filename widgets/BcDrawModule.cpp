#include "widgets/BcDrawModule.h"

TBcBarMenusDrawModule::TBcBarMenusDrawModule(QObject* parent) : QObject(parent) {}

void TBcBarMenusDrawModule::MeasureItem(TBcBarPopupMenu*, QAction*, const QFontMetrics&, int&, int&, bool&) {}

void TBcBarMenusDrawModule::DrawItem(TBcBarPopupMenu*, QAction*, QPainter&, const QRect&,
                                     const TOwnerDrawState&, bool&)
{
}
