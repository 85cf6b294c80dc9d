// The progress window: forms and heights, the bar and its title, the polled button.
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "flash/app/progress_dlg.h"

namespace {

class ProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    owner_.resize(400, 300);
    owner_.show();
    progress_ = std::make_unique<CProgressDlg>(&owner_);
    ASSERT_TRUE(progress_->Create());
  }
  QPushButton* Button() { return progress_->findChild<QPushButton*>(QStringLiteral("2")); }
  QProgressBar* Bar() { return progress_->findChild<QProgressBar*>(QStringLiteral("1103")); }
  QWidget owner_;
  std::unique_ptr<CProgressDlg> progress_;
};

TEST_F(ProgressTest, DisablesItsOwnerUntilDestroyed) {
  EXPECT_FALSE(owner_.isEnabled());
  EXPECT_TRUE(progress_->isEnabled());
  EXPECT_TRUE(progress_->isVisible());
  EXPECT_EQ(progress_->windowTitle(), QStringLiteral("flash"));
  progress_.reset();
  EXPECT_TRUE(owner_.isEnabled());
}

TEST_F(ProgressTest, FormsSetCaptionButtonStateAndHeight) {
  struct Case {
    int form;
    const char* caption;
    bool buttonEnabled;
    bool barEnabled;
  };
  const Case cases[] = {{0, "", false, false},
                        {8, "", false, true},
                        {13, "Ok", true, true},
                        {14, "Cancel", true, true},
                        {-1, "Ok", true, true}};
  std::map<int, int> heights;
  for (const Case& c : cases) {
    progress_->SetForm(c.form, false, std::nullopt);
    EXPECT_EQ(Button()->text(), QString::fromLatin1(c.caption)) << c.form;
    EXPECT_EQ(Button()->isEnabled(), c.buttonEnabled) << c.form;
    EXPECT_EQ(Bar()->isEnabled(), c.barEnabled) << c.form;
    heights[c.form] = progress_->height();
  }
  // Text only ends above the bar, the bar form above the button; the rest is full height.
  EXPECT_LT(heights[0], heights[8]);
  EXPECT_LT(heights[8], heights[13]);
  EXPECT_EQ(heights[13], heights[14]);
  EXPECT_LE(heights[0], Bar()->y());
  EXPECT_GT(heights[8], Bar()->y() + Bar()->height() - 1);
  EXPECT_LE(heights[8], Button()->y());
}

TEST_F(ProgressTest, StepsShowDoneOutOfAllInTheTitle) {
  progress_->SetForm(14, true, std::string("Program"));
  EXPECT_EQ(progress_->windowTitle(), QStringLiteral("Program"));
  progress_->InitBar(0, 3, 1, 0);
  EXPECT_EQ(progress_->windowTitle(), QStringLiteral("0 / 3"));
  EXPECT_EQ(progress_->StepIt(), 0);
  EXPECT_EQ(progress_->windowTitle(), QStringLiteral("1 / 3"));
  EXPECT_EQ(progress_->SetPos(3), 1);
  EXPECT_EQ(progress_->windowTitle(), QStringLiteral("3 / 3"));
  EXPECT_EQ(progress_->GetPos(), 3);
  EXPECT_EQ(progress_->GetRange(), std::make_pair(0, 3));
}

TEST_F(ProgressTest, InfoTextShowsAmpersandsAsAStaticControlDoes) {
  progress_->SetInfoText("Full Operation - Reading && Comparing\r\nsecond line");
  EXPECT_EQ(progress_->findChild<QLabel*>(QStringLiteral("1105"))->text(),
            QStringLiteral("Full Operation - Reading & Comparing\nsecond line"));
}

TEST_F(ProgressTest, ButtonPressCountsOnlyWhileActiveAndEnterNever) {
  progress_->SetForm(8, false, std::nullopt);
  QTest::keyClick(progress_.get(), Qt::Key_Escape);
  EXPECT_FALSE(progress_->IsCancelled());
  progress_->SetForm(14, false, std::nullopt);
  EXPECT_FALSE(progress_->IsCancelled());  // the Escape above did not count
  QTest::keyClick(Button(), Qt::Key_Return);
  QTest::keyClick(progress_.get(), Qt::Key_Enter);
  EXPECT_FALSE(progress_->IsCancelled());
  QTest::keyClick(progress_.get(), Qt::Key_Escape);
  EXPECT_TRUE(progress_->IsCancelled());
  EXPECT_FALSE(progress_->IsCancelled());  // read once, then forgotten
  Button()->click();
  EXPECT_TRUE(progress_->IsCancelled());
  progress_->close();  // no close box: the window stays
  EXPECT_TRUE(progress_->isVisible());
}

TEST_F(ProgressTest, CloseRequestPressesOnlyAnOfferedCancel) {
  const struct {
    int form;
    const char* caption;  // nullptr: the form's own caption
    bool cancels;
  } cases[] = {{0, nullptr, false}, {8, nullptr, false}, {13, nullptr, false},
               {14, nullptr, true}, {14, "OK", false}};  // "OK": after a cancel, waiting
  for (const auto& c : cases) {
    progress_->SetForm(c.form, false, std::nullopt);
    if (c.caption != nullptr) progress_->SetButtonCaption(c.caption);
    progress_->PressCancelIfOffered();
    progress_->SetForm(14, false, std::nullopt);  // makes a pending press readable
    EXPECT_EQ(progress_->IsCancelled(), c.cancels) << c.form << (c.caption ? c.caption : "");
  }
}

TEST_F(ProgressTest, WaitForButtonReturnsWhenTheButtonIsPressed) {
  progress_->SetForm(13, false, std::nullopt);
  QTimer::singleShot(20, Button(), [this] { Button()->click(); });
  progress_->WaitForButton();
  EXPECT_FALSE(progress_->IsCancelled());  // the press was consumed
  Button()->click();
  progress_->WaitForButton();  // a pending press returns at once
}

}  // namespace

namespace {

TEST_F(ProgressTest, JapaneseTextIsShownAsGivenWithAFontThatHasIt) {
  const std::string text = "\xE5\x9B\x9E\xE5\xBE\xA9\xE4\xB8\x8D\xE8\x83\xBD\xE3\x81\xAA\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC";
  progress_->SetInfoText(text);
  EXPECT_EQ(progress_->findChild<QLabel*>(QStringLiteral("1105"))->text(), QString::fromStdString(text));
  // The setup script installs a Japanese font, so the text is drawn, not shown as boxes.
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty());
}

}  // namespace
