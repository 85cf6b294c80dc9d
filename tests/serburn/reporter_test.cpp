#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "serburn/reporter.h"

namespace serburn {
namespace {

TEST(Reporter, InfoStartsANewLineAndLeavesItOpen) {
  std::ostringstream out;
  Reporter r(out);
  r.Info("Erase  : ");
  r.Append(" Ok");
  EXPECT_EQ(out.str(), "\nErase  :  Ok");
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.ExitCode(), 0);
}

struct ErrorCase {
  ErrorClass cls;
  const char* expected;
};

class ReporterErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ReporterErrors, HeaderTextAndExitCode) {
  std::ostringstream out;
  Reporter r(out);
  EXPECT_FALSE(r.Error(GetParam().cls, "boom"));
  EXPECT_EQ(out.str(), std::string("\n") + GetParam().expected + "boom\n");
  EXPECT_EQ(r.ExitCode(), static_cast<int>(GetParam().cls));
}

INSTANTIATE_TEST_SUITE_P(Classes, ReporterErrors,
                         ::testing::Values(ErrorCase{ErrorClass::Configuration, "Error in configuration: "},
                                           ErrorCase{ErrorClass::ComPort, "COM-port error: "},
                                           ErrorCase{ErrorClass::FileOperations, "File operations error: "},
                                           ErrorCase{ErrorClass::Birom, "BIROM operations error: "},
                                           ErrorCase{ErrorClass::RamExecute, "RAM-execute operations error: "}));

TEST(Reporter, SingleExitCodeMakesEveryErrorOne) {
  std::ostringstream out;
  Reporter r(out);
  r.SetSingleExitCode(true);
  r.Error(ErrorClass::ComPort, "unable to open COM");
  EXPECT_EQ(r.ExitCode(), 1);
}

TEST(Reporter, TagsAreTenCharactersAtLineStart) {
  std::ostringstream out;
  Reporter r(out);
  r.SetTagged(true);
  r.Info("Check  : ");
  r.Error(ErrorClass::RamExecute, "COMMAND fails");
  EXPECT_EQ(out.str(), "\n--- INFO  Check  : \n*** ERROR RAM-execute operations error: COMMAND fails\n");
}

TEST(Reporter, FirstErrorDecidesTheExitCode) {
  std::ostringstream out;
  Reporter r(out);
  r.Error(ErrorClass::Birom, "a");
  r.Error(ErrorClass::ComPort, "b");
  EXPECT_EQ(r.ExitCode(), 4);
}

std::string Marks(bool tagged, int count, char mark = 'p') {
  std::ostringstream out;
  Reporter r(out);
  r.SetTagged(tagged);
  r.Info("Program: ");
  r.Progress('i');
  for (int i = 0; i < count; ++i) r.Progress(mark);
  return out.str();
}

TEST(Reporter, ProgressLineHasFourGroupsOfSixteen) {
  const std::string g(16, 'p');
  EXPECT_EQ(Marks(false, 15), "\nProgram: " + std::string(15, 'p'));
  EXPECT_EQ(Marks(false, 16), "\nProgram: " + g + "|");
  EXPECT_EQ(Marks(false, 64), "\nProgram: " + g + "|" + g + "|" + g + "|" + g);
  EXPECT_EQ(Marks(false, 68), "\nProgram: " + g + "|" + g + "|" + g + "|" + g + "\n         pppp");
}

TEST(Reporter, ContinuationLineIsTaggedToo) {
  const std::string g(16, 'v');
  EXPECT_EQ(Marks(true, 65, 'v'),
            "\n--- INFO  Program: " + g + "|" + g + "|" + g + "|" + g + "\n--- INFO           v");
}

TEST(Reporter, MarkIRestartsTheCountAndPrintsNothing) {
  std::ostringstream out;
  Reporter r(out);
  for (int i = 0; i < 10; ++i) r.Progress('.');
  r.Progress('i');
  for (int i = 0; i < 16; ++i) r.Progress('r');
  EXPECT_EQ(out.str(), std::string(10, '.') + std::string(16, 'r') + "|");
}

}  // namespace
}  // namespace serburn
