// The decorative picture beside the input: a coloured fractal tree, drawn by the
// program itself.
#pragma once

#include <QColor>
#include <QImage>

namespace velkin {

inline constexpr int kPictureWidth = 401;
inline constexpr int kPictureHeight = 450;

// A kPictureWidth by kPictureHeight picture: a tree of squares (each square carries two
// smaller ones on the sides of a right triangle) on `background`. Always the same picture.
QImage DrawFractalPicture(const QColor& background);

}  // namespace velkin
