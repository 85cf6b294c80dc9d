#include "flash/app/command_options.h"

#include <gtest/gtest.h>

#include "flash/app/version_text.h"

TEST(CommandOptions, HelpNamesBothSwitchesAndEndsTheProgram) {
  const CommandOptionsReply reply = AnswerCommandOptions({"-platform", "offscreen", "--help"});
  EXPECT_TRUE(reply.exitNow);
  EXPECT_EQ(reply.exitCode, 0);
  EXPECT_EQ(reply.text.rfind("Usage: flash", 0), 0u) << reply.text;
  EXPECT_NE(reply.text.find("--version"), std::string::npos);
  EXPECT_EQ(reply.text.back(), '\n');
}

TEST(CommandOptions, VersionGivesThePackageAndTheAboutBoxVersion) {
  const CommandOptionsReply reply = AnswerCommandOptions({"--version"});
  EXPECT_TRUE(reply.exitNow);
  EXPECT_EQ(reply.exitCode, 0);
  EXPECT_EQ(reply.text,
            std::string("flash (kvflash) ") + KV_PACKAGE_VERSION + ", " + ProgramVersionText() + "\n");
}

TEST(CommandOptions, OtherArgumentsOpenTheWindow) {
  EXPECT_FALSE(AnswerCommandOptions({}).exitNow);
  EXPECT_FALSE(AnswerCommandOptions({"-platform", "offscreen", "-h"}).exitNow);
}
