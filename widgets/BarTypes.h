#pragma once

#include <QFlags>

// Shared vocabulary of the side-bar menu: the value lists its properties take.

enum class TGradientStyle
{
    gsHorizontal,
    gsVertical,
    gsDiagonalLeftRight,
    gsDiagonalRightLeft
};

enum class TSide
{
    sLeft,
    sRight
};

enum class TVertAlignment
{
    vaTop,
    vaBottom,
    vaMiddle
};

enum class THorzAlignment
{
    haLeft,
    haRight,
    haCenter
};

enum class TDrawStyle
{
    dsNormal,
    dsTile,
    dsStretch
};

enum class TDirection
{
    dDownToUp,
    dUpToDown
};

enum class TSeparatorStyle
{
    ssNormal,
    ssShortLine,
    ssCaption
};

enum class TBcMenuStyle
{
    msAuto,
    msStandard,
    msWindowsXP
};

enum class TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

// The layers of the side bar; the bit values are part of the interface (handlers store them).
enum class TBarPart
{
    bpGradient = 1,
    bpPicture = 2,
    bpBackPicture = 4,
    bpCaption = 8
};
Q_DECLARE_FLAGS(TBarParts, TBarPart)
Q_DECLARE_OPERATORS_FOR_FLAGS(TBarParts)
