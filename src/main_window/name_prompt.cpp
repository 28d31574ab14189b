#include "main_window/name_prompt.h"

namespace talvor {

void TForm3::ws3() {
  if (hand_over_.OperationCode != operation::kNewFolder) return;
  view_->SetCaption(kNewFolderCaption);
  view_->SetPrompt(kNewFolderPrompt);
}

void TForm3::SpeedButton1Click() {
  const std::string name = view_->EditText();
  if (name.empty()) return;
  // A relative name lies in the current folder: the one the file list shows.
  fs_.CreateDirectory(name);
  view_->Close();
}

void TForm3::SpeedButton2Click() {
  view_->Close();
}

}  // namespace talvor
