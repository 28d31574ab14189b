#include "app/qt_dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "test_support.h"

namespace talvor {
namespace {

TEST(AppQtDialogs, DisplayLineBreaks) {
  EXPECT_EQ(DisplayLineBreaks("one\rtwo\r\nthree\n\r"), "one\ntwo\nthree\n\n");
}

// What a box shows: caption, icon, text, buttons left to right.
std::string Describe(const QMessageBox& box) {
  QList<QAbstractButton*> buttons = box.buttons();
  std::sort(buttons.begin(), buttons.end(),
            [](const QAbstractButton* a, const QAbstractButton* b) { return a->x() < b->x(); });
  QString text = box.windowTitle() + "|" + QString::number(box.icon()) + "|" + box.text() + "|";
  for (const QAbstractButton* button : buttons) text += "[" + button->text() + "]";
  return text.toStdString();
}

struct BoxCase {
  const char* name;
  std::function<void(QtDialogs&)> show;
  std::function<void(QMessageBox&)> answer;
  std::string shown;
};

class AppQtBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(AppQtBox, ShowsItsTextAndButtons) {
  QtDialogs dialogs;
  bool seen = false;
  testing::OnModal([&](QWidget& modal) {
    auto* box = qobject_cast<QMessageBox*>(&modal);
    ASSERT_NE(box, nullptr);
    seen = true;
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(Describe(*box), GetParam().shown);
    GetParam().answer(*box);
  });
  GetParam().show(dialogs);
  EXPECT_TRUE(seen);
}

void Enter(QMessageBox& box) {
  QTest::keyClick(&box, Qt::Key_Return);
}
void Escape(QMessageBox& box) {
  QTest::keyClick(&box, Qt::Key_Escape);
}
void Close(QMessageBox& box) {
  box.close();
}

std::function<void(QtDialogs&)> Ask(Answer expected) {
  return [expected](QtDialogs& dialogs) {
    EXPECT_EQ(dialogs.AskYesNo("Replace the file?\rIt exists."), expected);
  };
}

const char kConfirm[] = "Confirm|4|Replace the file?\nIt exists.|[Yes][No]";

INSTANTIATE_TEST_SUITE_P(
    Boxes, AppQtBox,
    ::testing::Values(BoxCase{"Message", [](QtDialogs& d) { d.ShowMessage("One\r<b>two</b>."); },
                              Enter, "ZEM Talvor |0|One\n<b>two</b>.|[OK]"},
                      BoxCase{"Error", [](QtDialogs& d) { d.ShowError("Disk full."); }, Escape,
                              "ZEM Talvor |3|Disk full.|[OK]"},
                      BoxCase{"ConfirmEnter", Ask(Answer::kYes), Enter, kConfirm},
                      BoxCase{"ConfirmEscape", Ask(Answer::kNo), Escape, kConfirm},
                      BoxCase{"ConfirmClose", Ask(Answer::kNo), Close, kConfirm}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(AppQtSaveDialog, StoresTheChosenNameOnlyOnOk) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QtDialogs dialogs;
  SaveDialogState state{"Save archive as", folder.filePath("out.zip").toStdString()};
  for (const bool accept : {false, true}) {
    testing::OnModal([accept](QWidget& modal) {
      auto* dialog = qobject_cast<QFileDialog*>(&modal);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Save archive as");
      EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
      if (!accept) return dialog->reject();
      testing::Child<QLineEdit>(*dialog, "fileNameEdit").setText("chosen.zip");
      static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    EXPECT_EQ(dialogs.ExecuteSaveDialog(state), accept);
    EXPECT_EQ(state.file_name, folder.filePath(accept ? "chosen.zip" : "out.zip").toStdString());
  }
}

}  // namespace
}  // namespace talvor
