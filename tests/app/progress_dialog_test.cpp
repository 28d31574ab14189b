// The progress window: quiet for the first half second, then modal with the
// file's name and the share done, and gone when the command ends.
#include <gtest/gtest.h>
#include <QLabel>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <fstream>

#include "app/progress_dialog.h"

namespace talvor {
namespace {

TEST(AppProgressDialog, ShowsTheFileAndTheShareDoneThenGoes) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const std::string file = folder.filePath("report.txt").toStdString();
  std::ofstream(file) << std::string(1 << 20, 'x');
  QWidget parent;
  parent.show();
  ProgressDialog progress(&parent);
  progress.Open(file);
  ASSERT_NE(progress.dialog(), nullptr);
  progress.Update(0, 400);
  EXPECT_FALSE(progress.dialog()->isVisible()) << "quiet at first";
  QTest::qWait(700);
  progress.Update(100, 400);
  ASSERT_TRUE(progress.dialog()->isVisible());
  EXPECT_TRUE(progress.dialog()->isModal());
  EXPECT_EQ(progress.dialog()->value(), 250);
  const QString label = progress.dialog()->findChild<QLabel*>()->text();
  EXPECT_TRUE(label.startsWith("report.txt\n25 % (0.2 of 1.0 MiB), about ")) << label.toStdString();
  progress.Close();
  EXPECT_EQ(progress.dialog(), nullptr);
}

}  // namespace
}  // namespace talvor
