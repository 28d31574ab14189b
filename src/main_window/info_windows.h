// The information windows: help and about.
#pragma once

#include <string>
#include <vector>

namespace talvor {

inline constexpr char kHelpCaption[] = "ZEM TALVOR -  HELP";
inline constexpr char kAboutCaption[] = "ZEM TALVOR";
inline constexpr char kAboutTitle[] = "ZEM TALVOR v.2.0";

// The standing texts of the help window.
struct HelpTexts {
  const char* topic_heading;
  std::vector<const char*> notes;
  std::vector<const char*> topic_labels;  // in their order
};
[[nodiscard]] const HelpTexts& HelpStandingTexts();

// A topic as the text area shows it.
struct HelpTopic {
  const char* title;
  std::vector<const char*> paragraphs;
};
// Topics 1..8.
[[nodiscard]] const HelpTopic& HelpTopicText(int topic);
[[nodiscard]] const char* HelpIntroduction();

class HelpView {
 public:
  virtual ~HelpView() = default;
  virtual void SetTitle(const std::string& text) = 0;
  virtual void ClearText() = 0;
  virtual void AddParagraph(const std::string& text) = 0;
  virtual void Show() = 0;  // without waiting; brings it to the front
  virtual void Close() = 0;
};

class HelpWindow {
 public:
  HelpWindow() = default;
  HelpWindow(const HelpWindow&) = delete;
  HelpWindow& operator=(const HelpWindow&) = delete;
  void AttachView(HelpView& view) { view_ = &view; }

  void Create();  // the introduction
  void Show() { view_->Show(); }
  void ShowTopic(int topic);  // 1 to 8
  void OnCloseClicked();

 private:
  HelpView* view_ = nullptr;
};

// The two credit lines of the about window.
[[nodiscard]] const char* AboutCreditLine1();
[[nodiscard]] const char* AboutCreditLine2();

class AboutView {
 public:
  virtual ~AboutView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetCredits(const std::string& line1, const std::string& line2) = 0;
  virtual void Show() = 0;
  virtual void Close() = 0;
};

// What the main window asks of the about window: to be shown; it tells
// nothing back.
struct AboutRequest {};

class AboutWindow {
 public:
  AboutWindow() = default;
  AboutWindow(const AboutWindow&) = delete;
  AboutWindow& operator=(const AboutWindow&) = delete;
  void AttachView(AboutView& view) { view_ = &view; }

  void Show(const AboutRequest& request);
  void OnActivated();  // fills in the texts once it has been asked for
  void OnCloseClicked();

 private:
  AboutView* view_ = nullptr;
  bool requested_ = false;
};

}  // namespace talvor
