// The password window: collects the pass phrase for a cipher command, checks
// it and runs the command's file routine.
#pragma once

#include <string>

#include "commands/commands.h"
#include "commands/dialog_host.h"
#include "platform/dialogs.h"
#include "platform/progress_window.h"
#include "platform/secret.h"
#include "protect/methods.h"

namespace talvor {

// Texts of the window as designed.
namespace password_text {
inline constexpr char kDesignCaption[] = "ZEM TALVOR ";
inline constexpr char kPassphrase[] = "Password ";
inline constexpr char kRepeat[] = "Re-enter password";
inline constexpr char kCancel[] = "Cancel";
inline constexpr char kShowCharacters[] = "password -  text normally";
inline constexpr char kMaskCharacters[] = "password by mask";
}  // namespace password_text

// What the window shows for one cipher command.
struct CipherTexts {
  const char* caption;
  const char* button;
  const char* file_prefix;
};
[[nodiscard]] const CipherTexts& TextsFor(const ProtectionMethod& method, Direction direction);

// What the main window asks of the password window.
struct CipherRequest {
  const ProtectionMethod* method = nullptr;  // nullptr: nothing asked yet
  Direction direction = Direction::kEncrypt;
  std::string file;
};

// How it ended.
struct CipherResult {
  enum class Status {
    kCancelled,  // closed without running the routine
    kWritten,    // `written` holds the result's path
    kFailed,     // the routine ran and wrote nothing
  };
  Status status = Status::kCancelled;
  std::string written;
};

// The widgets of the password window, as the window logic sees them.
class PasswordView {
 public:
  enum class Field { kPassphrase, kRepeat };
  enum class Check { kShowCharacters, kMaskCharacters };

  virtual ~PasswordView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetActionButton(const std::string& text) = 0;
  virtual void SetFileLine(const std::string& text) = 0;
  [[nodiscard]] virtual Secret FieldText(Field field) const = 0;
  // When the text changes, runs the field's change handler, as any change does.
  virtual void SetFieldText(Field field, const std::string& text) = 0;
  // The count of characters shown beside a field.
  virtual void SetEcho(Field field, const std::string& text) = 0;
  // '\0' for plain text, '*' to mask; applies to both fields.
  virtual void SetPasswordChar(char c) = 0;
  [[nodiscard]] virtual bool IsChecked(Check check) const = 0;
  // Changes the tick without running the box's click handler.
  virtual void SetChecked(Check check, bool checked) = 0;
  // Shows the window modally; returns when it has closed.
  virtual void ShowModal() = 0;
  virtual void Close() = 0;
};

class PasswordWindow {
 public:
  // The routine runs on `worker`; the window stays open meanwhile.
  PasswordWindow(Dialogs& dialogs, FileSystem& fs, RandomGenerator& random, Clock& clock,
                 Worker& worker)
      : dialogs_(dialogs),
        worker_(worker),
        host_(dialogs, worker),
        commands_(fs, random, clock, host_) {}
  PasswordWindow(const PasswordWindow&) = delete;
  PasswordWindow& operator=(const PasswordWindow&) = delete;

  void AttachView(PasswordView& view) { view_ = &view; }
  // The window that shows the progress of the routines (none: not shown).
  void AttachProgressWindow(ProgressWindow& window) { host_.AttachProgressWindow(window); }

  // Shows the texts of the request (none before the first).
  void Create();
  void OnActivated() { OnPassphraseTyped(); }
  void OnPassphraseTyped();
  void OnRepeatEdited();
  void OnShowCharactersClicked();
  void OnMaskCharactersClicked();
  void OnRunClicked();
  void OnCancelClicked();

  // Shows the window modally for one cipher command.
  [[nodiscard]] CipherResult Run(const CipherRequest& request);

  [[nodiscard]] const CipherRequest& request() const noexcept { return request_; }
  [[nodiscard]] const CipherResult& result() const noexcept { return result_; }

 private:
  void RefreshEcho(PasswordView::Field field);

  Dialogs& dialogs_;
  Worker& worker_;
  DialogCommandHost host_;
  Commands commands_;
  PasswordView* view_ = nullptr;
  CipherRequest request_;
  CipherResult result_;
};

}  // namespace talvor
