#include "app/widget_parts.h"

#include <QMouseEvent>
#include <QToolButton>
#include <utility>

namespace talvor {

QFont ArialFont(int pixels, bool bold, bool italic) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

void SetColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(role, colour);
  widget.setPalette(palette);
}

void UseLightBackground(QWidget& window) {
  SetColour(window, QPalette::Window, window.palette().color(QPalette::Light));
  window.setAutoFillBackground(true);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at,
                  const QFont& font, const QColor& colour) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  SetColour(*label, QPalette::WindowText, colour);
  label->move(at);
  SetLabelText(*label, text);
  return label;
}

void SetLabelText(QLabel& label, const QString& text) {
  label.setText(text);
  label.adjustSize();
}

QToolButton* MakeSpeedButton(QWidget* parent, const char* name, const QString& text,
                             QRect geometry) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(text);
  button->setGeometry(geometry);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setFocusPolicy(Qt::NoFocus);
  button->setFont(ArialFont(12));
  SetColour(*button, QPalette::ButtonText, kPurple);
  return button;
}

ClickableLabel::ClickableLabel(const QString& text, QWidget* parent, std::function<void()> on_click)
    : QLabel(text, parent), on_click_(std::move(on_click)) {}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool clicked =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (clicked) on_click_();
}

}  // namespace talvor
