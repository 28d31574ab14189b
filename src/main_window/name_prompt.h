// The name prompt (TForm3): asks for the name of a new folder.
#pragma once

#include <string>

#include "password/hand_over.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace talvor {

inline constexpr char kNamePromptDesignCaption[] = "form3";
inline constexpr char kNewFolderCaption[] = "ZEM Talvor - create new folder.";
inline constexpr char kNewFolderPrompt[] = "New folder name: ";

class NamePromptView {
 public:
  virtual ~NamePromptView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetPrompt(const std::string& text) = 0;     // Label1
  [[nodiscard]] virtual std::string EditText() const = 0;  // Edit1
  // Shows the window without waiting, or brings it to the front.
  virtual void Show() = 0;
  virtual void Close() = 0;
};

class TForm3 {
 public:
  TForm3(HandOver& hand_over, FileSystem& fs) : hand_over_(hand_over), fs_(fs) {}
  TForm3(const TForm3&) = delete;
  TForm3& operator=(const TForm3&) = delete;
  void AttachView(NamePromptView& view) { view_ = &view; }

  void Show() { view_->Show(); }
  void ws3();                // the window becomes active
  void SpeedButton1Click();  // OK: creates the folder; failures are raised
  void SpeedButton2Click();  // Cancel

 private:
  HandOver& hand_over_;
  FileSystem& fs_;
  NamePromptView* view_ = nullptr;
};

}  // namespace talvor
