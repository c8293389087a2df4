#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace pictures {

/// The icon a button face carries at its left.
enum class Glyph { LeftArrow, Chain, CircleArrows, Info, DownTriangle, UpTriangle, Question };

/// A button face: a pale turquoise plate with rounded corners and a soft
/// shadow on a transparent ground, the glyph at the left, the caption after it.
QImage DrawFace(int width, int height, Glyph glyph, const QColor& glyphColour,
                const QString& caption);

/// The 610 by 289 start-up picture.
QImage DrawSplash();

/// The program icon at `size` pixels square.
QImage DrawIcon(int size);

}  // namespace pictures
