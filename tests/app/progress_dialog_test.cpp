// The progress window: quiet for the first half second, then modal with
// what the command does and the share done; Cancel (or Escape) asks the work
// to stop where it may, and the window is gone when the command ends.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <fstream>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QToolButton>

#include "app/application.h"
#include "app/progress_dialog.h"
#include "test_support.h"

namespace talvor {
namespace {

class AppProgressDialog : public ::testing::Test {
 protected:
  AppProgressDialog() {
    file_ = folder_.filePath("report.txt").toStdString();
    std::ofstream(file_) << std::string(1 << 20, 'x');
    parent_.show();
  }
  QString Text() const { return progress_.dialog()->findChild<QLabel*>("ProgressText")->text(); }
  QPushButton* CancelButton() const {
    return progress_.dialog()->findChild<QPushButton*>("CancelButton");
  }
  // Runs the window past its quiet moment.
  void ShowIt() {
    progress_.Update(0, 400);
    QTest::qWait(600);
    progress_.Update(100, 400);
  }

  QTemporaryDir folder_;
  std::string file_;
  QWidget parent_;
  CancelToken cancel_;
  ProgressDialog progress_{&parent_};
};

TEST_F(AppProgressDialog, NamesTheWorkAndTheShareDoneThenGoes) {
  progress_.Open("Encrypting report.txt (BLOWFISH)", file_, &cancel_);
  ASSERT_NE(progress_.dialog(), nullptr);
  progress_.Update(0, 400);
  EXPECT_FALSE(progress_.dialog()->isVisible()) << "quiet at first";
  QTest::qWait(600);
  progress_.Update(100, 400);
  ASSERT_TRUE(progress_.dialog()->isVisible());
  EXPECT_TRUE(progress_.dialog()->isModal());
  EXPECT_EQ(progress_.dialog()->findChild<QProgressBar*>("ProgressBar")->value(), 250);
  EXPECT_TRUE(Text().startsWith("Encrypting report.txt (BLOWFISH)\n25 % (0.2 of 1.0 MiB), about "))
      << Text().toStdString();
  progress_.Close();
  EXPECT_EQ(progress_.dialog(), nullptr);
}

// Cancel and Escape ask the work to stop; Destroy's window has no Cancel and
// Escape leaves it as it is.
struct CancelCase {
  const char* name;
  bool cancellable;
  bool by_escape;
};

class AppProgressDialogCancel : public AppProgressDialog,
                                public ::testing::WithParamInterface<CancelCase> {};

TEST_P(AppProgressDialogCancel, CancelsWhereTheWorkMayStop) {
  const CancelCase& c = GetParam();
  progress_.Open("Working on report.txt", file_, c.cancellable ? &cancel_ : nullptr);
  ShowIt();
  ASSERT_TRUE(progress_.dialog()->isVisible());
  EXPECT_EQ(CancelButton() != nullptr, c.cancellable);
  if (c.by_escape) {
    QTest::keyClick(progress_.dialog(), Qt::Key_Escape);
  } else {
    ASSERT_NE(CancelButton(), nullptr);
    QTest::mouseClick(CancelButton(), Qt::LeftButton);
  }
  progress_.Update(200, 400);
  EXPECT_EQ(cancel_.cancelled(), c.cancellable);
  EXPECT_TRUE(progress_.dialog()->isVisible()) << "open until the work has stopped";
  if (c.cancellable) {
    EXPECT_EQ(Text(), "Cancelled.");
  }
  progress_.Close();
  EXPECT_EQ(progress_.dialog(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ways, AppProgressDialogCancel,
                         ::testing::Values(CancelCase{"Button", true, false},
                                           CancelCase{"Escape", true, true},
                                           CancelCase{"EscapeOnDestroy", false, true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(AppProgressDialog, WorkThatEndsEarlyNeverShowsTheWindow) {
  progress_.Open("Decrypting report.blf (BLOWFISH)", file_, &cancel_);
  progress_.Update(0, 400);
  progress_.Close();
  QTest::qWait(700);
  for (QWidget* window : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(window->isVisible() && window->inherits("QDialog"));
  }
}

// The real program with its real message boxes: a command that fails at
// once (a damaged .blf file) shows its message, and no progress window
// appears over it or takes its OK.
TEST(AppProgressWindow, AnEarlyFailuresMessageIsNotCoveredAndClosesWithItsOk) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QFile damaged(folder.filePath("notes.blf"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write(QByteArray("4)s\x7fs") + QByteArray(40, 'x'));
  damaged.close();
  const QString old_folder = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folder.path()));
  {
    TalvorApplication app(QDir::currentPath().toStdString());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.main_window()));
    auto& files = testing::Child<QListWidget>(app.main_window(), "FileListBox1");
    const QList<QListWidgetItem*> found = files.findItems("notes.blf", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    QTest::mouseClick(files.viewport(), Qt::LeftButton, {},
                      files.visualItemRect(found.front()).center());
    bool message_seen = false;
    testing::OnModal([&](QWidget& password) {
      testing::Type(testing::Child<QLineEdit>(password, "Passphrase"), "a damaged afternoon");
      testing::Type(testing::Child<QLineEdit>(password, "Repeat"), "a damaged afternoon");
      testing::OnModal(
          [&](QWidget& modal) {
            auto* box = qobject_cast<QMessageBox*>(&modal);
            ASSERT_NE(box, nullptr) << modal.metaObject()->className();
            // Past the progress window's quiet moment: nothing comes up.
            QTest::qWait(800);
            EXPECT_EQ(app.progress().dialog(), nullptr);
            EXPECT_EQ(QApplication::activeModalWidget(), box);
            message_seen = true;
            QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
          },
          &password);
      QTest::mouseClick(&testing::Child<QToolButton>(password, "RunButton"), Qt::LeftButton);
      // The routine runs beside the window: its failure is told once it ends.
      EXPECT_TRUE(QTest::qWaitFor([&] { return message_seen; }, 20000));
      // The command stays pending, as after any failure.
      EXPECT_TRUE(password.isVisible());
      QTest::mouseClick(&testing::Child<QToolButton>(password, "CancelButton"), Qt::LeftButton);
    });
    QTest::mouseClick(&testing::Child<QToolButton>(app.main_window(), "decrypt-blowfish"),
                      Qt::LeftButton);
    EXPECT_TRUE(message_seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  QDir::setCurrent(old_folder);
}

}  // namespace
}  // namespace talvor
