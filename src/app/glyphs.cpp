#include "app/glyphs.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QString>
#include <algorithm>

namespace talvor {

namespace {

enum class Symbol { kLetter, kArrowDown, kArrowUp, kCross, kMinus, kBin, kCopy, kPlus, kPower };

struct Glyph {
  QColor colour;
  bool filled;  // encrypting and creating commands: filled; their reverses: outlined
  Symbol symbol;
  const char* letter;  // for kLetter, and the small mark of the archive arrows
};

const QColor kCipherColour(0x1b, 0x6e, 0x3a);
const QColor kArchiveColour(0xa0, 0x5a, 0x10);
const QColor kFileColour(0x2f, 0x55, 0x8c);
const QColor kDangerColour(0xb0, 0x20, 0x20);
const QColor kHelpColour(0x20, 0x70, 0xb0);

Glyph GlyphOf(Command command) {
  using C = Command;
  using S = Symbol;
  switch (command) {
    case C::kEncryptTrap:
      return {kCipherColour, true, S::kLetter, "T"};
    case C::kDecryptTrap:
      return {kCipherColour, false, S::kLetter, "T"};
    case C::kEncryptOrm:
      return {kCipherColour, true, S::kLetter, "O"};
    case C::kDecryptOrm:
      return {kCipherColour, false, S::kLetter, "O"};
    case C::kEncryptBlowfish:
      return {kCipherColour, true, S::kLetter, "B"};
    case C::kDecryptBlowfish:
      return {kCipherColour, false, S::kLetter, "B"};
    case C::kEncryptRijndael:
      return {kCipherColour, true, S::kLetter, "R"};
    case C::kDecryptRijndael:
      return {kCipherColour, false, S::kLetter, "R"};
    case C::kEncryptRandom:
      return {kCipherColour, true, S::kLetter, "?"};
    case C::kDecryptRandom:
      return {kCipherColour, false, S::kLetter, "?"};
    case C::kCreateCab:
      return {kArchiveColour, true, S::kArrowDown, "C"};
    case C::kExtractCab:
      return {kArchiveColour, false, S::kArrowUp, "C"};
    case C::kCreateLha:
      return {kArchiveColour, true, S::kArrowDown, "L"};
    case C::kExtractLha:
      return {kArchiveColour, false, S::kArrowUp, "L"};
    case C::kCreateZip:
      return {kArchiveColour, true, S::kArrowDown, "Z"};
    case C::kExtractZip:
      return {kArchiveColour, false, S::kArrowUp, "Z"};
    case C::kCreateBh:
      return {kArchiveColour, true, S::kArrowDown, "B"};
    case C::kExtractBh:
      return {kArchiveColour, false, S::kArrowUp, "B"};
    case C::kDestroy:
      return {kDangerColour, true, S::kCross, ""};
    case C::kErase:
      return {kDangerColour, false, S::kMinus, ""};
    case C::kTrash:
      return {kFileColour, false, S::kBin, ""};
    case C::kCopy:
      return {kFileColour, false, S::kCopy, ""};
    case C::kRename:
      return {kFileColour, false, S::kLetter, "A"};
    case C::kNewFolder:
      return {kFileColour, true, S::kPlus, ""};
    case C::kProperties:
      return {kFileColour, true, S::kLetter, "i"};
    case C::kOpen:
      return {kFileColour, true, S::kArrowUp, ""};
    case C::kHelp:
      return {kHelpColour, true, S::kLetter, "?"};
    case C::kAbout:
      return {kHelpColour, false, S::kLetter, "i"};
    case C::kVisitWebSite:
      return {kHelpColour, false, S::kLetter, "@"};
    case C::kQuit:
      return {kDangerColour, false, S::kPower, ""};
    case C::kNone:
      break;
  }
  return {Qt::transparent, false, S::kLetter, ""};
}

// An arrow in the square (0,0)-(1,1), pointing down or up.
QPolygonF Arrow(bool down) {
  QPolygonF arrow({{0.40, 0.18},
                   {0.60, 0.18},
                   {0.60, 0.50},
                   {0.76, 0.50},
                   {0.50, 0.80},
                   {0.24, 0.50},
                   {0.40, 0.50}});
  if (!down) {
    for (QPointF& p : arrow) p.setY(1.0 - p.y());
  }
  return arrow;
}

void DrawLetter(QPainter& painter, const QString& text, const QRectF& box, double height) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(std::max(1, static_cast<int>(height)));
  painter.setFont(font);
  painter.drawText(box, Qt::AlignCenter, text);
}

QPixmap DrawGlyph(const Glyph& glyph, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  const double s = size;
  const double pen_width = std::max(1.0, s / 12.0);
  const QRectF square(pen_width / 2 + s * 0.04, pen_width / 2 + s * 0.04, s * 0.92 - pen_width,
                      s * 0.92 - pen_width);
  painter.setPen(QPen(glyph.colour, pen_width));
  painter.setBrush(glyph.filled ? QBrush(glyph.colour) : QBrush(Qt::white));
  painter.drawRoundedRect(square, s * 0.18, s * 0.18);

  // The symbols are drawn in a unit square.
  const QColor ink = glyph.filled ? QColor(Qt::white) : glyph.colour;
  painter.setBrush(ink);
  painter.scale(s, s);
  painter.setPen(QPen(ink, std::max(1.5, s / 9.0) / s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  switch (glyph.symbol) {
    case Symbol::kLetter:
      painter.resetTransform();
      DrawLetter(painter, QString::fromUtf8(glyph.letter), square, s * 0.62);
      break;
    case Symbol::kArrowDown:
    case Symbol::kArrowUp: {
      const bool down = glyph.symbol == Symbol::kArrowDown;
      if (glyph.letter[0] == '\0') {
        painter.drawPolygon(Arrow(down));
        break;
      }
      // A narrow arrow on the left, the archive format's letter on the right.
      painter.translate(-0.06, 0);
      painter.scale(0.66, 1);
      painter.drawPolygon(Arrow(down));
      painter.resetTransform();
      DrawLetter(painter, QString::fromUtf8(glyph.letter),
                 QRectF(s * 0.46, s * 0.1, s * 0.42, s * 0.8), s * 0.5);
      break;
    }
    case Symbol::kCross:
      painter.drawLine(QPointF(0.3, 0.3), QPointF(0.7, 0.7));
      painter.drawLine(QPointF(0.7, 0.3), QPointF(0.3, 0.7));
      break;
    case Symbol::kMinus:
      painter.drawLine(QPointF(0.28, 0.5), QPointF(0.72, 0.5));
      break;
    case Symbol::kPlus:
      painter.drawLine(QPointF(0.28, 0.5), QPointF(0.72, 0.5));
      painter.drawLine(QPointF(0.5, 0.28), QPointF(0.5, 0.72));
      break;
    case Symbol::kBin: {
      painter.setBrush(Qt::NoBrush);
      painter.drawLine(QPointF(0.26, 0.3), QPointF(0.74, 0.3));
      painter.drawLine(QPointF(0.42, 0.22), QPointF(0.58, 0.22));
      QPainterPath bin;
      bin.moveTo(0.32, 0.36);
      bin.lineTo(0.36, 0.76);
      bin.lineTo(0.64, 0.76);
      bin.lineTo(0.68, 0.36);
      painter.drawPath(bin);
      break;
    }
    case Symbol::kCopy:
      painter.setBrush(Qt::white);
      painter.drawRect(QRectF(0.24, 0.22, 0.34, 0.4));
      painter.drawRect(QRectF(0.42, 0.38, 0.34, 0.4));
      break;
    case Symbol::kPower:
      painter.setBrush(Qt::NoBrush);
      painter.drawArc(QRectF(0.27, 0.3, 0.46, 0.46), 120 * 16, 300 * 16);
      painter.drawLine(QPointF(0.5, 0.2), QPointF(0.5, 0.5));
      break;
  }
  return pixmap;
}

QPixmap DrawFolder(bool open, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size, size);
  const QColor edge(0x9a, 0x7a, 0x1c);
  painter.setPen(QPen(edge, 1.0 / size));
  painter.setBrush(QColor(0xf2, 0xc9, 0x4c));
  QPainterPath back;
  back.moveTo(0.08, 0.25);
  back.lineTo(0.38, 0.25);
  back.lineTo(0.46, 0.33);
  back.lineTo(0.92, 0.33);
  back.lineTo(0.92, 0.82);
  back.lineTo(0.08, 0.82);
  back.closeSubpath();
  painter.drawPath(back);
  if (open) {
    painter.setBrush(QColor(0xfb, 0xe3, 0x8e));
    painter.drawPolygon(QPolygonF({{0.2, 0.45}, {0.98, 0.45}, {0.86, 0.82}, {0.08, 0.82}}));
  }
  return pixmap;
}

}  // namespace

QIcon DrawnCommandIcon(Command command) {
  if (command == Command::kNone) return {};
  const Glyph glyph = GlyphOf(command);
  QIcon icon;
  for (const int size : {16, 24, 32, 48}) icon.addPixmap(DrawGlyph(glyph, size));
  return icon;
}

QIcon CommandIcon(const char* theme_name, Command command) {
  if (command == Command::kNone) return {};
  const QIcon drawn = DrawnCommandIcon(command);
  if (theme_name == nullptr || *theme_name == '\0') return drawn;
  return QIcon::fromTheme(QString::fromLatin1(theme_name), drawn);
}

QIcon FolderIcon(bool open) {
  QIcon icon;
  for (const int size : {16, 24, 32}) icon.addPixmap(DrawFolder(open, size));
  return QIcon::fromTheme(open ? QStringLiteral("folder-open") : QStringLiteral("folder"), icon);
}

}  // namespace talvor
