#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QStringList>

namespace talvor {

namespace {

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

// A parentless box, so that it is centred on the screen.
void PrepareBox(QMessageBox& box, const char* caption, QMessageBox::Icon icon,
                const std::string& text) {
  box.setWindowTitle(QString::fromUtf8(caption));
  box.setIcon(icon);
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQt(DisplayLineBreaks(text)));
}

void ShowWithOk(const char* caption, QMessageBox::Icon icon, const std::string& text) {
  QMessageBox box;
  PrepareBox(box, caption, icon, text);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

}  // namespace

std::string DisplayLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out.push_back(text[i]);
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out.push_back('\n');
    }
  }
  return out;
}

void QtDialogs::ShowMessage(const std::string& text) {
  ShowWithOk(kApplicationTitle, QMessageBox::NoIcon, text);
}

Answer QtDialogs::AskYesNo(const std::string& text) {
  QMessageBox box;
  PrepareBox(box, "Confirm", QMessageBox::Question, text);
  // One role for both keeps them in the order added on every desktop.
  QPushButton* yes = box.addButton(QStringLiteral("Yes"), QMessageBox::ActionRole);
  QPushButton* no = box.addButton(QStringLiteral("No"), QMessageBox::ActionRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);  // also what closing the box counts as
  box.exec();
  return box.clickedButton() == yes ? Answer::kYes : Answer::kNo;
}

void QtDialogs::ShowError(const std::string& text) {
  ShowWithOk(kApplicationTitle, QMessageBox::Critical, text);
}

bool QtDialogs::ExecuteSaveDialog(SaveDialogState& state) {
  QFileDialog dialog(nullptr, ToQt(state.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!state.file_name.empty()) dialog.selectFile(ToQt(state.file_name));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  state.file_name = chosen.front().toStdString();
  return true;
}

}  // namespace talvor
