#include "app/help_window.h"

#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <array>
#include <functional>

#include "app/widget_parts.h"

namespace talvor {

namespace {

constexpr int kClientWidth = 630;
constexpr int kClientHeight = 446;

struct TopicLabel {
  const char* name;
  int top;
  int topic;
};

// In the order of HelpStandingTexts().topic_labels.
constexpr std::array<TopicLabel, 8> kTopicLabels = {{
    {"Label8", 168, 1},
    {"Label9", 184, 2},
    {"Label11", 200, 3},
    {"Label10", 216, 4},
    {"Label12", 232, 5},
    {"Label13", 248, 6},
    {"Label14", 264, 7},
    {"Label15", 280, 8},
}};

struct NoteLabel {
  const char* name;
  int top;
};

constexpr std::array<NoteLabel, 3> kNoteLabels = {{
    {"Label3", 32},
    {"Label4", 48},
    {"Label5", 112},
}};

}  // namespace

HelpWindowWidget::HelpWindowWidget(HelpWindow& form, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint),
      form_(form),
      dialogs_(dialogs) {
  setWindowTitle(QString::fromUtf8(kHelpCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setFont(ArialFont(12));
  setModal(false);

  title_ = MakeLabel(this, "Label1", QString(), {8, 8}, ArialFont(16, true), kNavy);

  text_ = new QTextEdit(this);
  text_->setObjectName(QStringLiteral("RichEdit1"));
  text_->setGeometry(6, 32, 297, 401);
  text_->setReadOnly(true);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Tab reaches it, to scroll the text with the keys.
  text_->setFocusPolicy(Qt::TabFocus);
  text_->setFont(ArialFont(12, true, true));
  SetColour(*text_, QPalette::Text, kPurple);
  // After setReadOnly, which picks the viewport's cursor.
  text_->viewport()->setCursor(Qt::WhatsThisCursor);

  const HelpTexts& texts = HelpStandingTexts();
  MakeLabel(this, "Label2", QString::fromUtf8(texts.topic_heading), {312, 8}, ArialFont(13, true),
            kPurple);
  for (std::size_t i = 0; i < kNoteLabels.size() && i < texts.notes.size(); ++i) {
    MakeLabel(this, kNoteLabels[i].name, QString::fromUtf8(texts.notes[i]),
              {312, kNoteLabels[i].top}, ArialFont(12), kMaroon);
  }
  for (std::size_t i = 0; i < kTopicLabels.size() && i < texts.topic_labels.size(); ++i) {
    const TopicLabel& row = kTopicLabels[i];
    auto* label = new ClickableLabel(
        QString::fromUtf8(texts.topic_labels[i]), this,
        [this, topic = row.topic] { Run([this, topic] { form_.ShowTopic(topic); }); });
    label->setObjectName(QString::fromLatin1(row.name));
    label->setFont(ArialFont(12, true, true));
    SetColour(*label, QPalette::WindowText, kMaroon);
    label->setCursor(Qt::PointingHandCursor);
    label->move(312, row.top);
    label->adjustSize();
  }

  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("CloseButton"));
  close->setGeometry(512, 416, 113, 25);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, [this] { Run([this] { form_.OnCloseClicked(); }); });
}

void HelpWindowWidget::Run(const std::function<void()>& handler) {
  RunGuarded(dialogs_, handler);
}

void HelpWindowWidget::SetTitle(const std::string& text) {
  SetLabelText(*title_, QString::fromStdString(text));
  NameAfterLabel(*title_, *text_);
}

void HelpWindowWidget::ClearText() {
  text_->clear();
  paragraphs_ = 0;
}

void HelpWindowWidget::AddParagraph(const std::string& text) {
  QTextCursor cursor(text_->document());
  cursor.movePosition(QTextCursor::End);
  // The empty document already holds the first paragraph.
  if (paragraphs_ > 0) cursor.insertBlock();
  cursor.insertText(QString::fromStdString(text));
  ++paragraphs_;
}

// Each showing starts in the text, wherever the keys left the focus.
void HelpWindowWidget::Show() {
  text_->setFocus();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void HelpWindowWidget::Close() {
  hide();
}

}  // namespace talvor
