#include "app/widget_parts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <utility>

namespace talvor {

namespace {

bool IsEnter(const QKeyEvent& event) {
  return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

}  // namespace

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

void NameAfterLabel(QLabel& label, QWidget& field) {
  QString name = label.text();
  while (!name.isEmpty() && (name.back().isSpace() || name.back() == u':')) name.chop(1);
  field.setAccessibleName(name);
  label.setBuddy(&field);
}

void FlatButton::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(*event) && !event->isAutoRepeat()) {
    click();
    return;
  }
  QToolButton::keyPressEvent(event);
}

FlatButton* MakeFlatButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* button = new FlatButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(text);
  button->setGeometry(geometry);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // Tab reaches it; a click leaves the focus where it was.
  button->setFocusPolicy(Qt::TabFocus);
  button->setFont(ArialFont(12));
  SetColour(*button, QPalette::ButtonText, kPurple);
  return button;
}

ClickableLabel::ClickableLabel(const QString& text, QWidget* parent, std::function<void()> on_click)
    : QLabel(text, parent), on_click_(std::move(on_click)) {
  setFocusPolicy(Qt::TabFocus);
}

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

void ClickableLabel::keyPressEvent(QKeyEvent* event) {
  if ((IsEnter(*event) || event->key() == Qt::Key_Space) && !event->isAutoRepeat()) {
    on_click_();
    return;
  }
  QLabel::keyPressEvent(event);
}

void ClickableLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QStylePainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

}  // namespace talvor
