// The check-sum dialog over a real hex file and chip record.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "flash/app/check_sum_dlg.h"
#include "flash/app/flash_dlg.h"
#include "flash/app/file_dialogs.h"

namespace {

TEST(CheckSumTest, ResultsForFillValuesWithAFileWithoutData) {
  apptest::ProgramDir dir;
  dir.Write(QStringLiteral("CHIPDEF.INI"),
            apptest::ChipSection(QStringLiteral("KV1"), QStringLiteral("0x1000"), QStringLiteral("0x1FFF")));
  dir.Write(QStringLiteral("empty.hex"), ":00000001FF\r\n");
  CFlashDlg dlg(dir.Path(), dir.Path() + "flash");
  ASSERT_EQ(dlg.Initialize(), StartupResult::kReady);
  dlg.OnDropFiles({dir.File(QStringLiteral("empty.hex"))});

  const struct {
    const char* fill;
    const char* result;
  } cases[] = {{"FF", "F000"}, {"00", "0000"}, {"01", "1000"}, {"G1", ""}, {"F", ""}, {"ff", "F000"}};
  QString seen;
  apptest::WhenModal([&](QWidget* modal) {
    auto* box = dynamic_cast<CCheckSumDlg*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Check Sum"));
    auto* fill = box->findChild<QLineEdit*>(QStringLiteral("1055"));
    auto* result = box->findChild<QLineEdit*>(QStringLiteral("1056"));
    EXPECT_EQ(fill->text(), QStringLiteral("FF"));
    EXPECT_TRUE(result->text().isEmpty());
    for (const auto& c : cases) {
      fill->clear();
      QTest::keyClicks(fill, QString::fromLatin1(c.fill));  // typed letters become upper case
      QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("1054")), Qt::LeftButton);
      EXPECT_EQ(result->text(), QString::fromLatin1(c.result)) << c.fill;
    }
    box->findChild<QPushButton*>(QStringLiteral("1"))->click();
  });
  QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("1052")), Qt::LeftButton);
}

TEST(CheckSumTest, FileThatCannotBeLoadedGivesNoResult) {
  CCheckSumDlg dialog(nullptr, [](uint8_t) { return 0x10000u; });
  dialog.OnCheckSum();
  EXPECT_TRUE(dialog.resultText.isEmpty());
  CCheckSumDlg counting(nullptr, [](uint8_t fill) { return static_cast<uint32_t>(fill) * 0x1000u % 0x10000u; });
  counting.OnCheckSum();
  EXPECT_EQ(counting.resultText, QStringLiteral("F000"));
}

}  // namespace
