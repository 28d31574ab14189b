// Stand-ins for the widgets and dialogs, so that window logic runs without a
// display. They record what the program showed and play the user's part.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "main_window/info_windows.h"
#include "main_window/main_window.h"
#include "main_window/name_prompt.h"
#include "password/password_window.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/progress_window.h"
#include "platform/shell.h"
#include "platform/system_info.h"
#include "protect/passphrase.h"

namespace talvor::testing {

class FakeDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  Answer AskYesNo(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) return Answer::kNo;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool ExecuteSaveDialog(SaveDialogState& state) override {
    save_titles.push_back(state.title);
    if (!save_answer) return false;
    state.file_name = *save_answer;
    return true;
  }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  std::vector<std::string> save_titles;
  std::deque<Answer> answers;
  std::optional<std::string> save_answer;
};

class FakePasswordView : public PasswordView {
 public:
  explicit FakePasswordView(PasswordWindow& form) : form_(form) {}

  void SetCaption(const std::string& text) override { caption = text; }
  void SetActionButton(const std::string& text) override { button = text; }
  void SetFileLine(const std::string& text) override { file_line = text; }
  Secret FieldText(Field field) const override {
    return Secret(field == Field::kPassphrase ? field1 : field2);
  }
  void SetFieldText(Field field, const std::string& text) override {
    (field == Field::kPassphrase ? field1 : field2) = text;
    if (field == Field::kPassphrase) {
      form_.OnPassphraseTyped();
    } else {
      form_.OnRepeatEdited();
    }
  }
  void SetEcho(Field field, const std::string& text) override {
    (field == Field::kPassphrase ? echo1 : echo2) = text;
  }
  void SetPasswordChar(char c) override { password_char = c; }
  bool IsChecked(Check check) const override {
    return check == Check::kShowCharacters ? checked1 : checked2;
  }
  void SetChecked(Check check, bool checked) override {
    (check == Check::kShowCharacters ? checked1 : checked2) = checked;
  }
  void ShowModal() override {
    open = true;
    ++showings;
    form_.OnActivated();
    if (user) user(*this);
    open = false;  // the modal run ends with the user's last action
  }
  void Close() override { open = false; }

  // The user's part.
  void Type(Field field, const std::string& text) {
    SetFieldText(field, PasswordFieldText((field == Field::kPassphrase ? field1 : field2) + text));
  }
  void TypeBoth(const std::string& text) {
    Type(Field::kPassphrase, text);
    Type(Field::kRepeat, text);
  }
  void ClickBox(Check check) {
    SetChecked(check, !IsChecked(check));
    if (check == Check::kShowCharacters) {
      form_.OnShowCharactersClicked();
    } else {
      form_.OnMaskCharactersClicked();
    }
  }
  void ClickAction(Dialogs& dialogs) {
    RunGuarded(dialogs, [this] { form_.OnRunClicked(); });
  }
  void ClickCancel() { form_.OnCancelClicked(); }

  std::string caption = password_text::kDesignCaption;
  std::string button;
  std::string file_line;
  std::string field1, field2, echo1, echo2;
  char password_char = '\0';
  bool checked1 = true;
  bool checked2 = false;
  bool open = false;
  int showings = 0;
  std::function<void(FakePasswordView&)> user;

 private:
  PasswordWindow& form_;
};

class FakeMainWindowView : public MainWindowView {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void SetStatusLines(const std::string& l3, const std::string& l4) override {
    label3 = l3;
    label4 = l4;
  }
  void ShowVolumes(const std::vector<Volume>& v, const std::string& root) override {
    volumes = v;
    volume_root = root;
  }
  void ShowFolders(const std::vector<FolderItem>& items) override { folders = items; }
  void ShowFiles(const std::vector<std::string>& names) override {
    files = names;
    selected.reset();
    ++file_list_rebuilds;
  }
  void SelectFile(const std::string& name) override {
    if (std::find(files.begin(), files.end(), name) != files.end()) selected = name;
  }
  std::optional<std::string> FocusedSelectedFile() const override { return selected; }
  void SetBusyCursor(bool busy) override { cursor_log.push_back(busy); }
  void SetCommandsEnabled(bool enabled) override { enabled_log.push_back(enabled); }
  void Quit() override { quit = true; }

  std::string caption, label3, label4, volume_root;
  std::vector<Volume> volumes;
  std::vector<FolderItem> folders;
  std::vector<std::string> files;
  std::optional<std::string> selected;
  int file_list_rebuilds = 0;
  std::vector<bool> cursor_log;
  std::vector<bool> enabled_log;
  bool quit = false;
};

class FakeSystemInfo : public SystemInfo {
 public:
  std::string ComputerName(std::size_t room) override { return name.substr(0, room); }
  std::int64_t DiskSize(const std::string& path) override {
    size_paths.push_back(path);
    return size;
  }
  std::int64_t DiskFree(const std::string&) override { return free; }
  std::vector<Volume> Volumes() override { return {{"/", "/"}}; }

  std::string name = "WORKSTATION";
  std::int64_t size = 1000;
  std::int64_t free = 250;
  std::vector<std::string> size_paths;
};

class FakeNamePromptView : public NamePromptView {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void SetPrompt(const std::string& text) override { prompt = text; }
  std::string EditText() const override { return edit; }
  void Show() override {
    open = true;
    ++showings;
    if (on_activate) on_activate();
  }
  void Close() override { open = false; }

  std::string caption = kNamePromptDesignCaption;
  std::string prompt;
  std::string edit;
  bool open = false;
  int showings = 0;
  std::function<void()> on_activate;
};

class FakeHelpView : public HelpView {
 public:
  void SetTitle(const std::string& text) override { title = text; }
  void ClearText() override { paragraphs.clear(); }
  void AddParagraph(const std::string& text) override { paragraphs.push_back(text); }
  void Show() override {
    open = true;
    ++showings;
  }
  void Close() override { open = false; }

  std::string title;
  std::vector<std::string> paragraphs;
  bool open = false;
  int showings = 0;
};

class FakeAboutView : public AboutView {
 public:
  void SetCaption(const std::string& text) override { caption = text; }
  void SetCredits(const std::string& l1, const std::string& l2) override {
    line1 = l1;
    line2 = l2;
  }
  void Show() override {
    open = true;
    if (on_activate) on_activate();
  }
  void Close() override { open = false; }

  std::string caption, line1, line2;
  bool open = false;
  std::function<void()> on_activate;
};

// Records the requests to the desktop shell.
class FakeShell : public Shell {
 public:
  void Open(const std::string& path, const std::string& folder) override {
    opened.push_back(path + "|" + folder);
  }
  void OpenAddress(const std::string& address) override { addresses.push_back(address); }
  void ShowProperties(const std::string& path) override { properties.push_back(path); }

  std::vector<std::string> opened, addresses, properties;
};

// A clock that reads what the test says; every reading advances it by one.
class FakeClock : public Clock {
 public:
  bool HasPerformanceCounter() override { return has_counter; }
  std::uint64_t PerformanceCounter() override { return counter++; }
  std::uint32_t TickCount() override { return ticks++; }
  std::uint32_t TimeGetTime() override { return ticks++; }

  bool has_counter = true;
  std::uint64_t counter = 0x1234567890ULL;
  std::uint32_t ticks = 1000;
};

// Records what the progress window was shown.
class FakeProgressWindow : public ProgressWindow {
 public:
  void Open(const std::string& title, const std::string& file, CancelToken* token) override {
    titles.push_back(title);
    opened.push_back(file);
    cancellable.push_back(token != nullptr);
    token_ = token;
    updates.clear();
  }
  void Update(std::uint64_t done, std::uint64_t total) override {
    updates.emplace_back(done, total);
    if (cancel_after_updates > 0 && updates.size() >= cancel_after_updates) cancel = true;
    if (cancel && token_ != nullptr) token_->Cancel();
  }
  void Close() override {
    ++closings;
    token_ = nullptr;
  }

  std::vector<std::string> titles;
  std::vector<std::string> opened;
  std::vector<bool> cancellable;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> updates;
  int closings = 0;
  // The user's part: Cancel once this many reports have come (0: never).
  std::size_t cancel_after_updates = 0;
  bool cancel = false;

 private:
  CancelToken* token_ = nullptr;
};

}  // namespace talvor::testing
