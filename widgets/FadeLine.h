#pragma once

#include <QColor>
#include <QRgb>

class QImage;

// A separator line that fades in from its left end and out at its right end.

// One faded pixel: background + (colour - background) * k / fadeWidth per component, truncated,
// where k is the pixel's distance from the line's end; k >= fadeWidth (or fadeWidth <= 0, which
// means no fading) gives the colour itself.
QRgb FadePixel(QRgb background, const QColor& colour, int k, int fadeWidth);

// Draws the line on row y from left to right (right exclusive) over the pixels already there.
// It is two halves: left .. gapLeft fades in at its left end, gapRight .. right fades out at
// its right end; between them (the text of a separator) nothing is drawn. A plain line passes
// its middle as both gap ends. Pixels outside the image are skipped.
void FadeLine(QImage& image, int y, int left, int right, int fadeWidth, const QColor& colour, int gapLeft,
              int gapRight);
