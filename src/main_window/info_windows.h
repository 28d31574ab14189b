// The information windows: help (TForm6) and about (TForm5).
#pragma once

#include <string>
#include <vector>

#include "password/hand_over.h"

namespace talvor {

inline constexpr char kHelpCaption[] = "ZEM TALVOR -  HELP";
inline constexpr char kAboutCaption[] = "ZEM TALVOR";
inline constexpr char kAboutTitle[] = "ZEM TALVOR v.2.0";

// The standing texts of the help window.
struct HelpTexts {
  const char* topic_heading;              // Label2
  std::vector<const char*> notes;         // Label3, Label4, Label5
  std::vector<const char*> topic_labels;  // Label8 .. Label15, in their order
};
[[nodiscard]] const HelpTexts& HelpStandingTexts();

// A topic as the text area shows it.
struct HelpTopic {
  const char* title;
  std::vector<const char*> paragraphs;
};
// Topics 1..8 (wys1..wys8).
[[nodiscard]] const HelpTopic& HelpTopicText(int topic);
[[nodiscard]] const char* HelpIntroduction();

class HelpView {
 public:
  virtual ~HelpView() = default;
  virtual void SetTitle(const std::string& text) = 0;  // Label1
  virtual void ClearText() = 0;                        // RichEdit1
  virtual void AddParagraph(const std::string& text) = 0;
  virtual void Show() = 0;  // without waiting; brings it to the front
  virtual void Close() = 0;
};

class TForm6 {
 public:
  TForm6() = default;
  TForm6(const TForm6&) = delete;
  TForm6& operator=(const TForm6&) = delete;
  void AttachView(HelpView& view) { view_ = &view; }

  void FormCreate();
  void Show() { view_->Show(); }
  void ShowTopic(int topic);
  void wys1() { ShowTopic(1); }
  void wys2() { ShowTopic(2); }
  void wys3() { ShowTopic(3); }
  void wys4() { ShowTopic(4); }
  void wys5() { ShowTopic(5); }
  void wys6() { ShowTopic(6); }
  void wys7() { ShowTopic(7); }
  void wys8() { ShowTopic(8); }
  void BitBtn1Click();  // Close

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

class TForm5 {
 public:
  explicit TForm5(HandOver& hand_over) : hand_over_(hand_over) {}
  TForm5(const TForm5&) = delete;
  TForm5& operator=(const TForm5&) = delete;
  void AttachView(AboutView& view) { view_ = &view; }

  void Show() { view_->Show(); }
  void op();                 // the window becomes active
  void SpeedButton1Click();  // Close

 private:
  HandOver& hand_over_;
  AboutView* view_ = nullptr;
};

}  // namespace talvor
