// The name prompt: asks for the name of a new folder.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace talvor {

inline constexpr char kNamePromptDesignCaption[] = "form3";
inline constexpr char kNewFolderCaption[] = "ZEM Talvor - create new folder.";
inline constexpr char kNewFolderPrompt[] = "New folder name: ";

// What the main window asks of the name prompt: a new folder in the folder
// it shows when the name is given (the prompt does not wait for it).
struct NewFolderRequest {
  std::function<std::string()> shown_folder;
};

// The folder the prompt made last; empty before the first.
struct NewFolderResult {
  std::string created;
};

class NamePromptView {
 public:
  virtual ~NamePromptView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetPrompt(const std::string& text) = 0;
  [[nodiscard]] virtual std::string EditText() const = 0;
  // Shows the window without waiting, or brings it to the front.
  virtual void Show() = 0;
  virtual void Close() = 0;
};

class NamePrompt {
 public:
  explicit NamePrompt(FileSystem& fs) : fs_(fs) {}
  NamePrompt(const NamePrompt&) = delete;
  NamePrompt& operator=(const NamePrompt&) = delete;
  void AttachView(NamePromptView& view) { view_ = &view; }

  void Show(NewFolderRequest request);
  void OnActivated();
  void OnOkClicked();  // creates the folder; failures are raised
  void OnCancelClicked();

  [[nodiscard]] const NewFolderResult& result() const noexcept { return result_; }

 private:
  FileSystem& fs_;
  NamePromptView* view_ = nullptr;
  std::optional<NewFolderRequest> request_;
  NewFolderResult result_;
};

}  // namespace talvor
