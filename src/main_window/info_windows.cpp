#include "main_window/info_windows.h"

#include <stdexcept>

namespace talvor {

namespace {

const HelpTopic kTopics[8] = {
    {"Encrypt/Decrypt",
     {"To encrypt or decrypt a file, first select it in the file panel.",
      "Then choose the method - TRAP, ORM, BLOWFISH, RIJNDAEL or random - from the Commands menu "
      "or click its icon in the toolbar.",
      "Enter the password twice in the password panel (at least 14 characters) and click Encrypt "
      "or Decrypt.",
      "ATTENTION:",
      "A wrong password is not always recognised: TRAP then decrypts to the end and does not give "
      "back the plain file. The other methods usually stop with \"Wrong password or damaged "
      "file\" and write nothing.",
      "Every method decrypts only files with its own extension:",
      "TRAP -*.trp, ORM - *.orm, BLOWFISH - *.blf, RIJNDAEL - *.rnl, random - *.erh"}},
    {"Compression/Decompression",
     {"Mark the file in the file panel. For decompression the extensions *.zip, *.cab, *.lha i "
      "*.bh must be remembered: an archive is unpacked only by the command of its own kind.",
      "Start the operation from the Commands menu or with its icon in the toolbar.",
      "A new archive is written beside the file under its name; an archive is unpacked into the "
      "folder shown in the file panel.",
      "Compression supports encryption as an additional protection: encrypt the file first, then "
      "pack the encrypted file."}},
    {"Random Protection of File.",
     {"The program chooses at random, and without telling you, a combination of two encryptions "
      "and one compression.",
      "The result keeps the file's name with the extension *.erh and records inside which "
      "combination was used.",
      "To decrypt it you need only the correct password."}},
    {"Safety",
     {"For safety reasons passwords are not remembered anywhere.",
      "Devise your own way of remembering your passwords: nobody can recover a lost one.",
      "A wrong password starts decryption but never yields the plain file.",
      "A file destroyed with the eraser cannot be brought back, not even with specialist tools.",
      "Combining encryption and compression protects best.", "For example:", "1. Encrypt the file.",
      "2. Compress the encrypted file.",
      "3. Destroy the plain file, then destroy the encrypted file.",
      "The result has the plain file's name with an archive extension.",
      "To get the file back, decompress it first and then decrypt it."}},
    {"TRAP",
     {"TRAP is this program's own algorithm: every byte of the file is combined with one mask "
      "made from the password. It is fast, but there are only 256 masks, so it keeps a file from "
      "casual reading and does not resist a determined attack - use RIJNDAEL for that.",
      "The required password length is at least 14 characters",
      "Longer passwords are safer: choose 24 characters or more.",
      "The maximum length of the password is 400 signs.  ",
      "The encrypted file has the extension  *.trp."}},
    {"ORM",
     {"ORM follows the idea of LUCIFER, which grew into the DES cipher: the file is enciphered "
      "with two-key Triple-DES in chained blocks.",
      "Its 16-byte key is made from the whole password.",
      "Every byte of the result is masked once more before it is written.",
      "The encrypted file has the extension  *.orm."}},
    {"BLOWFISH",
     {"BLOWFISH uses the tables and key schedule of the Blowfish cipher on 64-bit blocks, in "
      "chained blocks.",
      "In this program's form every block is combined with a value made from the first half of "
      "the key, so it keeps a file from casual reading only; use RIJNDAEL to resist a "
      "determined attack.",
      "The file keeps its name and gets the extension *.blf."}},
    {"RIJNDAEL",
     {"Rijndael is a symmetric iterative block cipher, published as AES.",
      "It has not been broken in practice and is free of patent restrictions.",
      "The program uses it with a 128-bit key made from the password.",
      "It is the method to choose when a file must resist a determined attack.",
      "The file keeps its name and gets the extension *.rnl."}},
};

}  // namespace

const HelpTexts& HelpStandingTexts() {
  static const HelpTexts texts{
      "Topic.",
      {"1.The programme performs all operations on a single file. ",
       "2.For safety reasons passwords are not\nremembered anywhere, so you must devise\nyour "
       "own way of remembering them: nobody\ncan recover a lost password.",
       "3.Destruction is irreversible: the file cannot\nbe retrieved in its former shape. The "
       "operation\nshould not be performed rashly! "},
      {"Encrypt/decrypt", "Compression/Decompression", "Random Protection of File", "Safety",
       "TRAP", "ORM", "BLOWFISH", "RIJNDAEL"}};
  return texts;
}

const HelpTopic& HelpTopicText(int topic) {
  if (topic < 1 || topic > 8) throw std::out_of_range("help topics are 1 to 8");
  return kTopics[topic - 1];
}

const char* HelpIntroduction() {
  return "First familiarise yourself with the elemental assumptions for the ZEM TALVOR "
         "programme, which can be found here. Then click the help topic that you are interested "
         "in. ";
}

void HelpWindow::Create() {
  view_->ClearText();
  view_->SetTitle("Help");
  view_->AddParagraph(HelpIntroduction());
}

void HelpWindow::ShowTopic(int topic) {
  const HelpTopic& t = HelpTopicText(topic);
  view_->ClearText();
  view_->SetTitle(t.title);
  for (const char* paragraph : t.paragraphs) view_->AddParagraph(paragraph);
}

void HelpWindow::OnCloseClicked() {
  view_->ClearText();
  view_->Close();
}

const char* AboutCreditLine1() {
  return "Written by the ZEM Talvor developers";
}
const char* AboutCreditLine2() {
  return "One file at a time";
}

void AboutWindow::Show(const AboutRequest& /*request*/) {
  requested_ = true;
  view_->Show();
}

void AboutWindow::OnActivated() {
  if (!requested_) return;
  view_->SetCaption(kAboutCaption);
  view_->SetCredits(AboutCreditLine1(), AboutCreditLine2());
}

void AboutWindow::OnCloseClicked() {
  view_->Close();
}

}  // namespace talvor
