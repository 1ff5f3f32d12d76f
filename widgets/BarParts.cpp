#include "widgets/BarParts.h"

#include <string>

namespace {

QObject* RequireOwner(QObject* owner, const char* className)
{
    if (!owner)
        throw ERequireOwner(className);
    return owner;
}

} // namespace

ERequireOwner::ERequireOwner(const char* className)
    : std::runtime_error(std::string("Tried to create ") + className + " with no owner.")
{
}

TBcBarPart::TBcBarPart(QObject* owner, const char* className) : QObject(RequireOwner(owner, className)) {}

TBcGradientBar::TBcGradientBar(QObject* owner, const char* className, const QColor& start, const QColor& end,
                               TGradientStyle style)
    : TBcBarPart(owner, className), m_gradientStart(start), m_gradientEnd(end), m_gradientStyle(style)
{
}

TBcBarPicture::TBcBarPicture(QObject* owner)
    : TBcBarPicture(owner, "TBcBarPicture", TVertAlignment::vaBottom, THorzAlignment::haCenter)
{
    setObjectName(QStringLiteral("BarPicture"));
}

TBcBarPicture::TBcBarPicture(QObject* owner, const char* className, TVertAlignment vert, THorzAlignment horz)
    : TBcBarPart(owner, className), m_vertAlignment(vert), m_horzAlignment(horz)
{
}

TBcBarBackPicture::TBcBarBackPicture(QObject* owner)
    : TBcBarPicture(owner, "TBcBarBackPicture", TVertAlignment::vaTop, THorzAlignment::haLeft)
{
    setObjectName(QStringLiteral("BarBackPicture"));
}

TBcBarCaption::TBcBarCaption(QObject* owner)
    : TBcBarPart(owner, "TBcBarCaption"), m_font(QStringLiteral("Tahoma"), 14, QFont::Bold, true)
{
    setObjectName(QStringLiteral("BarCaption"));
}

TBcBar::TBcBar(QObject* owner)
    : TBcGradientBar(owner, "TBcBar", QColor(175, 189, 216), QColor(Qt::black), TGradientStyle::gsVertical),
      m_barPicture(new TBcBarPicture(this)), m_barBackPicture(new TBcBarBackPicture(this)),
      m_barCaption(new TBcBarCaption(this))
{
    setObjectName(QStringLiteral("Bar"));
    for (TBcBarPart* part :
         {static_cast<TBcBarPart*>(m_barPicture), static_cast<TBcBarPart*>(m_barBackPicture),
          static_cast<TBcBarPart*>(m_barCaption)})
        connect(part, &TBcBarPart::Changed, this, &TBcBarPart::Changed);
}

TBcSeparators::TBcSeparators(QObject* owner)
    : TBcGradientBar(owner, "TBcSeparators", QColor(128, 128, 128), QColor(192, 192, 192),
                     TGradientStyle::gsHorizontal)
{
    setObjectName(QStringLiteral("Separators"));
}
