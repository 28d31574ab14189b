// Fonts, colours and widgets shared by the secondary windows.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QToolButton>
#include <functional>

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

namespace talvor {

inline const QColor kMaroon(0x80, 0x00, 0x00);
inline const QColor kNavy(0x00, 0x00, 0x80);
inline const QColor kPurple(0x80, 0x00, 0x80);

[[nodiscard]] QFont ArialFont(int pixels, bool bold = false, bool italic = false);
void SetColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour);
// The window background of the password window: the style's light shade.
void UseLightBackground(QWidget& window);

// A label that sizes itself to its text, with its top left corner at `at`.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at,
                  const QFont& font, const QColor& colour);
// Sets a self-sizing label's text.
void SetLabelText(QLabel& label, const QString& text);
// Names `field` after `label` for screen readers ("Password " names it
// "Password") and makes the label its buddy. Called again when the label's
// text changes.
void NameAfterLabel(QLabel& label, QWidget& field);

// A flat button with a text, on the Tab chain: Space, Enter and Return press
// it as they press a push button.
class FlatButton final : public QToolButton {
 public:
  using QToolButton::QToolButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

FlatButton* MakeFlatButton(QWidget* parent, const char* name, const QString& text, QRect geometry);

// A label that reports a left click (pressed and released over it), or
// Space, Enter or Return when Tab has brought the focus to it.
class ClickableLabel final : public QLabel {
 public:
  ClickableLabel(const QString& text, QWidget* parent, std::function<void()> on_click);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<void()> on_click_;
  bool pressed_ = false;
};

}  // namespace talvor
