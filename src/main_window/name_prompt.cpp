#include "main_window/name_prompt.h"

#include "platform/failure.h"
#include "platform/path.h"

namespace talvor {

void NamePrompt::Show(NewFolderRequest request) {
  request_ = std::move(request);
  view_->Show();
}

void NamePrompt::OnActivated() {
  if (!request_) return;
  view_->SetCaption(kNewFolderCaption);
  view_->SetPrompt(kNewFolderPrompt);
}

void NamePrompt::OnOkClicked() {
  const std::string name = view_->EditText();
  if (name.empty() || !request_) return;
  // A relative name lies in the folder the file list shows.
  std::string path = AbsolutePath(name, request_->shown_folder());
  try {
    fs_.CreateDirectory(path);
  } catch (const Failure& e) {
    if (e.kind() != FailureKind::kIo) throw;
    // Told with the name as the user typed it.
    throw IoFailure(e.code(), e.system_error(), name);
  }
  result_.created = std::move(path);
  view_->Close();
}

void NamePrompt::OnCancelClicked() {
  view_->Close();
}

}  // namespace talvor
