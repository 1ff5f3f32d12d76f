#pragma once

class QImage;

// The picture as the bar draws it. A transparent picture keeps its alpha channel; one without
// an alpha channel loses the colour of its bottom-left pixel instead (the usual key colour of
// transparent bitmaps). A picture that is not transparent is drawn fully opaque.
QImage PictureForBar(const QImage& picture, bool transparent);
