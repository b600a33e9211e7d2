// SPDX-License-Identifier: MIT
// Draws the tracker dialog's pictures (product picture, button glyphs, tree pictures) into
// PNG files. The PNGs are kept in the source tree as the dialog's resources; run this again
// (target hmr-draw-pictures, argument: the folder to write) only to change a picture.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter&)>;

bool save(const QString& folder, const char* name, int w, int h, const Drawing& draw) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
  }
  const QString path = folder + "/" + name;
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// A stopwatch: the product picture, at any size (drawn on a 64-unit grid).
void stopwatch(QPainter& p, double size) {
  p.save();
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient back(0, 0, 64, 64);
  back.setColorAt(0, QColor(0x1f, 0x6f, 0x8b));
  back.setColorAt(1, QColor(0x12, 0x3c, 0x5a));
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);
  // Crown and button.
  p.setBrush(QColor(0xf2, 0xb1, 0x34));
  p.drawRoundedRect(QRectF(27, 6, 10, 6), 2, 2);
  p.drawRoundedRect(QRectF(44, 11, 7, 5), 2, 2);
  // Face.
  p.setBrush(Qt::white);
  p.setPen(QPen(QColor(0xf2, 0xb1, 0x34), 3));
  p.drawEllipse(QPointF(32, 36), 21, 21);
  // Ticks every hour, longer at the quarters.
  for (int i = 0; i < 12; ++i) {
    const double a = i * M_PI / 6;
    const double inner = i % 3 == 0 ? 14.5 : 16.5;
    p.setPen(QPen(QColor(0x12, 0x3c, 0x5a), i % 3 == 0 ? 2.2 : 1.2, Qt::SolidLine,
                  Qt::RoundCap));
    p.drawLine(QPointF(32 + inner * std::sin(a), 36 - inner * std::cos(a)),
               QPointF(32 + 18.5 * std::sin(a), 36 - 18.5 * std::cos(a)));
  }
  // A worked stretch of the hour, as a filled wedge.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x3c, 0xb3, 0x71, 170));
  QPainterPath wedge;
  wedge.moveTo(32, 36);
  wedge.arcTo(QRectF(32 - 12, 36 - 12, 24, 24), 90, -130);
  wedge.closeSubpath();
  p.drawPath(wedge);
  // Hands.
  p.setPen(QPen(QColor(0x12, 0x3c, 0x5a), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(32, 36), QPointF(32, 22));
  p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(32, 36), QPointF(43, 43));
  p.setBrush(QColor(0x12, 0x3c, 0x5a));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(32, 36), 2.5, 2.5);
  p.restore();
}

void folder(QPainter& p, const QColor& color) {
  p.setPen(QPen(color.darker(160), 1));
  p.setBrush(color);
  QPainterPath path;
  path.moveTo(1.5, 4.5);
  path.lineTo(6, 4.5);
  path.lineTo(7.5, 6);
  path.lineTo(14.5, 6);
  path.lineTo(14.5, 13.5);
  path.lineTo(1.5, 13.5);
  path.closeSubpath();
  p.drawPath(path);
}

// A state disc of the tree, centred in 16 by 18.
void disc(QPainter& p, const QColor& color) {
  QRadialGradient g(QPointF(6.5, 7), 9);
  g.setColorAt(0, color.lighter(150));
  g.setColorAt(1, color);
  p.setPen(QPen(color.darker(170), 1));
  p.setBrush(g);
  p.drawEllipse(QPointF(8, 9), 6.5, 6.5);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: hmr-draw-pictures FOLDER\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  bool ok = true;
  ok &= save(out, "product.png", 64, 64, [](QPainter& p) { stopwatch(p, 64); });
  ok &= save(out, "icon.png", 32, 32, [](QPainter& p) { stopwatch(p, 32); });
  // Open: a folder with a green arrow into it. Close: a folder with a red cross.
  ok &= save(out, "open.png", 16, 16, [](QPainter& p) {
    folder(p, QColor(0xf2, 0xc1, 0x4e));
    p.setPen(QPen(QColor(0x2e, 0x8b, 0x57), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 10));
    p.drawLine(QPointF(5, 7), QPointF(8, 10));
    p.drawLine(QPointF(11, 7), QPointF(8, 10));
  });
  ok &= save(out, "close.png", 16, 16, [](QPainter& p) {
    folder(p, QColor(0xf2, 0xc1, 0x4e));
    p.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 7), QPointF(11, 13));
    p.drawLine(QPointF(11, 7), QPointF(5, 13));
  });
  // The tree: the group (stacked folders), then open, idle and closed projects.
  ok &= save(out, "tree-group.png", 16, 18, [](QPainter& p) {
    p.translate(1, -1);
    folder(p, QColor(0x9d, 0xb8, 0xd9));
    p.translate(-1, 4);
    folder(p, QColor(0x5b, 0x8d, 0xc9));
  });
  ok &= save(out, "tree-open.png", 16, 18, [](QPainter& p) {
    disc(p, QColor(0x2e, 0xa0, 0x5a));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(6.2, 5.8), QPointF(11.2, 9), QPointF(6.2, 12.2)}));
  });
  ok &= save(out, "tree-idle.png", 16, 18, [](QPainter& p) {
    disc(p, QColor(0xe6, 0x9b, 0x1e));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 6, 1.8, 6));
    p.drawRect(QRectF(8.7, 6, 1.8, 6));
  });
  ok &= save(out, "tree-closed.png", 16, 18, [](QPainter& p) {
    disc(p, QColor(0x8a, 0x93, 0x9b));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.6, 6.6, 4.8, 4.8));
  });
  return ok ? 0 : 1;
}
