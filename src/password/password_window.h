// The password window: collects the pass phrase for a cipher command, checks
// it and runs the command's file routine.
#pragma once

#include <cstdint>
#include <string>

#include "commands/commands.h"
#include "commands/dialog_host.h"
#include "password/hand_over.h"
#include "platform/dialogs.h"
#include "platform/progress_window.h"
#include "platform/secret.h"

namespace talvor {

// Texts of the window as designed.
namespace form2_text {
inline constexpr char kDesignCaption[] = "ZEM TALVOR ";
inline constexpr char kLabel2[] = "Password ";
inline constexpr char kLabel3[] = "Re-enter password";
inline constexpr char kCancel[] = "Cancel";
inline constexpr char kCheckBox1[] = "password -  text normally";
inline constexpr char kCheckBox2[] = "password by mask";
}  // namespace form2_text

// What the window shows for one operation code.
struct OperationTexts {
  const char* caption;
  const char* button;
  const char* file_prefix;
};
// Texts for codes 1 to 10; nullptr for any other code.
[[nodiscard]] const OperationTexts* TextsForOperation(std::uint8_t code) noexcept;

// The widgets of the password window, as the window logic sees them.
class PasswordView {
 public:
  enum Field { kMaskEdit1 = 1, kMaskEdit2 = 2 };
  enum Box { kCheckBox1 = 1, kCheckBox2 = 2 };

  virtual ~PasswordView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetActionButton(const std::string& text) = 0;  // SpeedButton1
  virtual void SetFileLine(const std::string& text) = 0;      // Label1
  [[nodiscard]] virtual Secret FieldText(Field field) const = 0;
  // When the text changes, runs the field's change handler, as any change does.
  virtual void SetFieldText(Field field, const std::string& text) = 0;
  virtual void SetEcho(Field field, const std::string& text) = 0;  // Label4, Label5
  // '\0' for plain text, '*' to mask; applies to both fields.
  virtual void SetPasswordChar(char c) = 0;
  [[nodiscard]] virtual bool IsChecked(Box box) const = 0;
  // Changes the tick without running the box's click handler.
  virtual void SetChecked(Box box, bool checked) = 0;
  // Shows the window modally; returns when it has closed.
  virtual void ShowModal() = 0;
  virtual void Close() = 0;
};

class TForm2 {
 public:
  TForm2(HandOver& hand_over, Dialogs& dialogs, FileSystem& fs, RandomGenerator& random,
         Clock& clock)
      : hand_over_(hand_over),
        dialogs_(dialogs),
        host_(dialogs),
        commands_(fs, random, clock, host_) {}
  TForm2(const TForm2&) = delete;
  TForm2& operator=(const TForm2&) = delete;

  void AttachView(PasswordView& view) { view_ = &view; }
  // The window that shows the progress of the routines (none: not shown).
  void AttachProgressWindow(ProgressWindow& window) { host_.AttachProgressWindow(window); }

  // Event handlers.
  void FormCreate();
  void wyswietl();   // window becomes active; text of MaskEdit1 changed
  void wyswietl2();  // text of MaskEdit2 changed
  void zmian();      // click on CheckBox1
  void zmian2();     // click on CheckBox2
  void SpeedButton1Click();
  void SpeedButton2Click();

  // Shown by the main window for one cipher command.
  void ShowModal();

  // The path of the last file a routine wrote.
  [[nodiscard]] const std::string& last_result() const noexcept { return last_result_; }

 private:
  void RefreshEcho(PasswordView::Field field);

  HandOver& hand_over_;
  Dialogs& dialogs_;
  DialogCommandHost host_;
  Commands commands_;
  PasswordView* view_ = nullptr;
  std::string last_result_;
};

}  // namespace talvor
