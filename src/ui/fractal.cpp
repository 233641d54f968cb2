#include "ui/fractal.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace velkin {

namespace {

inline constexpr int kTreeDepth = 11;             // levels of squares below the trunk
inline constexpr double kSplitAngle = 0.6981317;  // 40 degrees: the tree leans a little
inline constexpr double kMargin = 12;             // free pixels around the tree

// The square standing on the segment a -> b (on its left side, so "up" for a trunk
// drawn from left to right), and the apex of the triangle on top of it.
struct Square {
  QPointF a, b, c, d;  // a, b the base; c above b, d above a
  QPointF apex;        // the right-angled corner of the triangle on d -> c
};

Square Build(QPointF a, QPointF b) {
  const QPointF side = b - a;
  const QPointF up(side.y(), -side.x());  // side turned a quarter to the left (y grows down)
  Square s{a, b, b + up, a + up, {}};
  // The apex sees d -> c under a right angle; the left leg makes kSplitAngle with d -> c.
  const double leg = std::cos(kSplitAngle);
  const QPointF along = (s.c - s.d) * leg;
  const double ca = std::cos(kSplitAngle), sa = std::sin(kSplitAngle);
  s.apex = s.d + QPointF(along.x() * ca + along.y() * sa, -along.x() * sa + along.y() * ca);
  return s;
}

// The corners of a bounding box.
struct Bounds {
  double left, top, right, bottom;
};

// Grows the bounds by every square of the tree.
void Measure(QPointF a, QPointF b, int depth, Bounds& box) {
  const Square s = Build(a, b);
  for (const QPointF& p : {s.a, s.b, s.c, s.d}) {
    box.left = std::min(box.left, p.x());
    box.right = std::max(box.right, p.x());
    box.top = std::min(box.top, p.y());
    box.bottom = std::max(box.bottom, p.y());
  }
  if (depth == 0) return;
  Measure(s.d, s.apex, depth - 1, box);
  Measure(s.apex, s.c, depth - 1, box);
}

// The colour of a square by its level: bark brown at the trunk, then through the
// colour circle (orange, green, blue) to violet tips.
QColor LevelColour(int depth) {
  const double t = 1.0 - static_cast<double>(depth) / kTreeDepth;  // 0 trunk .. 1 tips
  const int hue = static_cast<int>(20 + 270 * t) % 360;
  const int saturation = static_cast<int>(210 - 50 * t);
  const int value = static_cast<int>(110 + 120 * t);
  return QColor::fromHsv(hue, saturation, value);
}

void Paint(QPainter& painter, QPointF a, QPointF b, int depth) {
  const Square s = Build(a, b);
  painter.setBrush(LevelColour(depth));
  QPen edge(LevelColour(depth).darker(140), 0.6);
  edge.setCosmetic(true);  // the painter is scaled to a unit trunk; the edge stays thin
  painter.setPen(edge);
  painter.drawPolygon(QPolygonF({s.a, s.b, s.c, s.d}));
  if (depth == 0) return;
  Paint(painter, s.d, s.apex, depth - 1);
  Paint(painter, s.apex, s.c, depth - 1);
}

}  // namespace

QImage DrawFractalPicture(const QColor& background) {
  QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
  image.fill(background);
  // Measure the tree for a unit trunk, then scale it into the middle of the picture.
  const QPointF a(0, 0), b(1, 0);
  Bounds box{0, 0, 1, 0};
  Measure(a, b, kTreeDepth, box);
  const double width = box.right - box.left, height = box.bottom - box.top;
  const double scale =
      std::min((kPictureWidth - 2 * kMargin) / width, (kPictureHeight - 2 * kMargin) / height);
  const double left = (kPictureWidth - width * scale) / 2 - box.left * scale;
  const double top = (kPictureHeight - height * scale) / 2 - box.top * scale;
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(left, top);
  painter.scale(scale, scale);
  Paint(painter, a, b, kTreeDepth);
  return image;
}

}  // namespace velkin
