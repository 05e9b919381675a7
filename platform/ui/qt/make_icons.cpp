// Draws the program's own icons, cursor, picture and wallpapers into resources/icons.
// Run once after a change: build/platform/ui/qt/qb_make_icons resources/icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

QImage canvas(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

void save(const QImage& img, const QString& dir, const QString& name) {
  QString path = dir + "/" + name + ".png";
  if (!img.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

using Draw = std::function<void(QPainter&)>;

QImage icon(int size, const Draw& draw) {
  QImage img = canvas(size, size);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  draw(p);
  return img;
}

void tick(QPainter& p) {
  QPen pen(QColor(0, 140, 40), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  QPainterPath path;
  path.moveTo(6, 17);
  path.lineTo(13, 25);
  path.lineTo(27, 7);
  p.drawPath(path);
}

void globe(QPainter& p) {
  QRadialGradient g(12, 11, 18);
  g.setColorAt(0, QColor(150, 200, 255));
  g.setColorAt(1, QColor(20, 80, 180));
  p.setBrush(g);
  p.setPen(QPen(QColor(10, 50, 120), 1.5));
  p.drawEllipse(QRectF(3, 3, 26, 26));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(230, 240, 255), 1.2));
  p.drawEllipse(QRectF(10, 3, 12, 26));
  p.drawLine(QPointF(3, 16), QPointF(29, 16));
  p.drawLine(QPointF(16, 3), QPointF(16, 29));
  p.drawArc(QRectF(5, 6, 22, 8), 0, 180 * 16);
  p.drawArc(QRectF(5, 18, 22, 8), 180 * 16, 180 * 16);
}

void folders(QPainter& p) {
  const QColor colours[] = {QColor(230, 180, 60), QColor(90, 160, 220), QColor(120, 190, 90)};
  for (int i = 0; i < 3; ++i) {
    p.setPen(QPen(QColor(80, 60, 20), 1));
    p.setBrush(colours[i]);
    QRectF r(3 + i * 3, 5 + i * 6, 22, 14);
    p.drawRoundedRect(r, 2, 2);
    p.drawRect(QRectF(r.x() + 2, r.y() - 3, 8, 3));
  }
}

void house(QPainter& p) {
  p.setPen(QPen(QColor(90, 40, 20), 1.5));
  p.setBrush(QColor(200, 60, 40));
  QPolygonF roof;
  roof << QPointF(3, 15) << QPointF(16, 3) << QPointF(29, 15);
  p.drawPolygon(roof);
  p.setBrush(QColor(240, 225, 190));
  p.drawRect(QRectF(7, 15, 18, 14));
  p.setBrush(QColor(120, 70, 30));
  p.drawRect(QRectF(14, 20, 5, 9));
}

void stick(QPainter& p) {
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(QColor(70, 90, 160));
  p.drawRoundedRect(QRectF(4, 11, 18, 11), 2, 2);
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(QRectF(22, 13, 7, 7));
  p.setBrush(QColor(90, 90, 90));
  p.drawRect(QRectF(24, 14.5, 2, 1.5));
  p.drawRect(QRectF(24, 17, 2, 1.5));
}

void sheets(QPainter& p) {
  p.setPen(QPen(QColor(60, 60, 60), 1.2));
  p.setBrush(QColor(220, 220, 230));
  p.drawRect(QRectF(10, 4, 16, 20));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(5, 9, 16, 20));
  p.setPen(QPen(QColor(120, 120, 160), 1));
  for (int y = 14; y <= 24; y += 4) p.drawLine(QPointF(8, y), QPointF(18, y));
}

void letterIn(QPainter& p, const QColor& fill, const QString& letter) {
  p.setPen(QPen(fill.darker(150), 1.5));
  p.setBrush(fill);
  p.drawEllipse(QRectF(3, 3, 26, 26));
  QFont f("DejaVu Sans", 16, QFont::Bold);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, letter);
}

void envelope(QPainter& p) {
  p.setPen(QPen(QColor(90, 70, 30), 1.5));
  p.setBrush(QColor(250, 235, 180));
  p.drawRect(QRectF(3, 8, 26, 17));
  QPainterPath flap;
  flap.moveTo(3, 8);
  flap.lineTo(16, 18);
  flap.lineTo(29, 8);
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

void padlock(QPainter& p) {
  p.setPen(QPen(QColor(110, 110, 110), 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(9, 3, 14, 16), 0, 180 * 16);
  p.drawLine(QPointF(9, 11), QPointF(9, 15));
  p.drawLine(QPointF(23, 11), QPointF(23, 15));
  p.setPen(QPen(QColor(130, 90, 0), 1.5));
  p.setBrush(QColor(230, 180, 40));
  p.drawRoundedRect(QRectF(6, 14, 20, 15), 2, 2);
  p.setBrush(QColor(80, 60, 0));
  p.drawEllipse(QRectF(14, 19, 4, 4));
}

void redCross(QPainter& p) {
  p.setPen(QPen(QColor(120, 0, 0), 1.5));
  p.setBrush(QColor(210, 30, 30));
  p.drawEllipse(QRectF(2, 2, 28, 28));
  p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10, 10), QPointF(22, 22));
  p.drawLine(QPointF(22, 10), QPointF(10, 22));
}

void printer(QPainter& p) {
  p.setPen(QPen(QColor(50, 50, 50), 1.2));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 3, 14, 10));
  p.setBrush(QColor(150, 150, 160));
  p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 20, 14, 9));
  p.setBrush(QColor(60, 200, 60));
  p.drawEllipse(QRectF(24, 15, 3, 3));
}

void person(QPainter& p) {
  p.setPen(QPen(QColor(40, 60, 100), 1.2));
  p.setBrush(QColor(90, 130, 200));
  p.drawEllipse(QRectF(11, 3, 10, 10));
  p.drawRoundedRect(QRectF(6, 15, 20, 14), 6, 6);
}

void hand(QPainter& p) {
  // A pointing hand, its fingertip at the top left (the cursor's hot spot).
  QPainterPath h;
  h.moveTo(9, 1);
  h.cubicTo(11, 1, 12, 2, 12, 4);
  h.lineTo(12, 12);
  h.lineTo(14, 11);
  h.lineTo(17, 12);
  h.lineTo(20, 12);
  h.lineTo(23, 14);
  h.lineTo(24, 22);
  h.cubicTo(24, 27, 21, 30, 16, 30);
  h.lineTo(13, 30);
  h.cubicTo(10, 30, 8, 28, 6, 25);
  h.lineTo(2, 17);
  h.cubicTo(2, 15, 4, 14, 6, 16);
  h.lineTo(6, 4);
  h.cubicTo(6, 2, 7, 1, 9, 1);
  p.setPen(QPen(Qt::black, 1.2));
  p.setBrush(Qt::white);
  p.drawPath(h);
  p.drawLine(QPointF(15, 12), QPointF(15, 18));
  p.drawLine(QPointF(19, 12.5), QPointF(19, 18));
}

// Light at the edges, a shade darker in the middle: tiles without a visible seam.
QImage wallpaper(const QColor& edge, const QColor& middle) {
  QImage img = canvas(64, 600);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, 600);
  g.setColorAt(0, edge);
  g.setColorAt(0.5, middle);
  g.setColorAt(1, edge);
  p.fillRect(img.rect(), g);
  return img;
}

QImage space() {
  QImage img = canvas(130, 110);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(img.rect(), QColor(8, 12, 40));
  unsigned seed = 7;
  for (int i = 0; i < 70; ++i) {
    seed = seed * 1103515245u + 12345u;
    int x = static_cast<int>((seed >> 8) % 130);
    seed = seed * 1103515245u + 12345u;
    int y = static_cast<int>((seed >> 8) % 110);
    p.setPen(QColor(255, 255, 255, 120 + static_cast<int>(seed % 130)));
    p.drawPoint(x, y);
  }
  QRadialGradient g(70, 62, 40);
  g.setColorAt(0, QColor(120, 180, 255));
  g.setColorAt(1, QColor(20, 60, 140));
  p.setBrush(g);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(80, 70), 34, 34);
  p.setPen(QPen(QColor(230, 200, 140), 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(80, 70), 50, 12);
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("resources/icons");
  QDir().mkpath(dir);
  save(icon(16, tick), dir, "qztick4");
  save(icon(32, globe), dir, "Browser");
  save(icon(32, folders), dir, "Cats5");
  save(icon(32, house), dir, "home");
  save(icon(32, stick), dir, "USB2");
  save(icon(32, sheets), dir, "copy");
  save(icon(32, [](QPainter& p) { letterIn(p, QColor(40, 110, 210), "i"); }), dir, "info");
  save(icon(32, [](QPainter& p) { letterIn(p, QColor(40, 110, 210), "?"); }), dir, "HELP2");
  save(icon(32, [](QPainter& p) { letterIn(p, QColor(40, 150, 60), "?"); }), dir, "HELP_G");
  save(icon(32, envelope), dir, "MyMail");
  save(icon(32, padlock), dir, "Padlock");
  save(icon(32, redCross), dir, "WACANCEL");
  save(icon(32, redCross), dir, "RedCross");
  save(icon(32, printer), dir, "MyPrinter2");
  save(icon(32, person), dir, "Contacts");
  save(icon(32, hand), dir, "hand");
  save(space(), dir, "Nasa");
  save(wallpaper(QColor(226, 232, 240), QColor(198, 210, 226)), dir, "MainBG");
  save(wallpaper(QColor(236, 240, 232), QColor(214, 224, 206)), dir, "WinBG2");
  save(wallpaper(QColor(240, 236, 228), QColor(222, 214, 200)), dir, "WinBG3");
  return 0;
}
