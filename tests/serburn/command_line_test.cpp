#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "serburn/command_line.h"

namespace serburn {
namespace {

struct Parsed {
  ParseResult result;
  RunSettings settings;
  std::string output;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed p;
  std::ostringstream out;
  Reporter r(out);
  p.result = ParseCommandLine(args, p.settings, r);
  p.output = out.str();
  return p;
}

struct ErrorCase {
  std::vector<std::string> args;
  const char* message;
};

class CommandLineErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CommandLineErrors, ReportsClassOneMessage) {
  const Parsed p = Parse(GetParam().args);
  EXPECT_EQ(p.result, ParseResult::Failed);
  EXPECT_EQ(p.output, std::string("\nError in configuration: ") + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CommandLineErrors,
    ::testing::Values(
        ErrorCase{{"KV40K358"}, "unknown prefix for parameter. Use '-' or '/'"},
        ErrorCase{{""}, "unknown prefix for parameter. Use '-' or '/'"},
        ErrorCase{{"/"}, "unrecognized option\nunknown switch: / (see serburn --help)"},
        ErrorCase{{"-"}, "unrecognized option\nunknown switch: - (see serburn --help)"},
        ErrorCase{{"/x"}, "unrecognized option\nunknown switch: /x (see serburn --help)"},
        ErrorCase{{"/5"}, "unrecognized option\nunknown switch: /5 (see serburn --help)"},
        ErrorCase{{"/0"}, "unrecognized option\nunknown switch: /0 (see serburn --help)"},
        ErrorCase{{"/h", "/y"}, "unrecognized option\nunknown switch: /y (see serburn --help)"},
        ErrorCase{{"--version-of-nothing"}, "unrecognized option\nunknown switch: --version-of-nothing (see serburn --help)"},
        ErrorCase{{"/b"}, "no data for /b parameter, bin filename is needed"},
        ErrorCase{{"/d"}, "no data in /d parameter, bin filename for RAM-execute is needed"},
        ErrorCase{{"/s3FFF"}, "bad address in /s parameter (should be 0x4000...0xffffff)"},
        ErrorCase{{"/s1000000"}, "bad address in /s parameter (should be 0x4000...0xffffff)"},
        ErrorCase{{"/sxyz"}, "bad address in /s parameter (should be 0x4000...0xffffff)"},
        ErrorCase{{"/s-1"}, "bad address in /s parameter (should be 0x4000...0xffffff)"},
        ErrorCase{{"/w10"}, "bad data for /w parameter (should be 0...9)"},
        ErrorCase{{"/w-1"}, "bad data for /w parameter (should be 0...9)"}));

TEST(CommandLine, HelpSpellings) {
  for (const char* spelling : {"/h", "-H", "/?", "-?", "--help"}) {
    const Parsed p = Parse({spelling});
    EXPECT_EQ(p.result, ParseResult::Ok) << spelling;
    EXPECT_TRUE(p.settings.help) << spelling;
    EXPECT_EQ(p.settings.helpToStandardOutput, std::string(spelling) == "--help") << spelling;
  }
}

TEST(CommandLine, ListPortsIsALongSwitchBesideTheOthers) {
  const Parsed p = Parse({"/2", "--list-ports", "/e"});
  EXPECT_EQ(p.result, ParseResult::Ok);
  EXPECT_TRUE(p.settings.listPorts);
  EXPECT_TRUE(p.settings.erase);
  EXPECT_FALSE(p.settings.help);
  EXPECT_FALSE(Parse({"/2"}).settings.listPorts);
}

TEST(CommandLine, Defaults) {
  const Parsed p = Parse({});
  EXPECT_EQ(p.result, ParseResult::Ok);
  EXPECT_EQ(p.settings.portName, "COM1");
  EXPECT_EQ(p.settings.resetWaitMs, 400u);
  EXPECT_EQ(p.settings.biromBaud, 0);
  EXPECT_FALSE(p.settings.clockText.has_value());
  EXPECT_FALSE(p.settings.chipName.has_value());
  EXPECT_FALSE(p.settings.anyCommand());
}

TEST(CommandLine, PortSwitches) {
  EXPECT_EQ(Parse({"/3"}).settings.portName, "COM3");
  EXPECT_EQ(Parse({"-4"}).settings.portName, "COM4");
  EXPECT_EQ(Parse({"/LCOM7"}).settings.portName, "COM7");
  EXPECT_EQ(Parse({"/l/dev/ttyUSB0"}).settings.portName, "/dev/ttyUSB0");
  EXPECT_EQ(Parse({"/L/dev/pts/3", "/2"}).settings.portName, "COM2");
}

TEST(CommandLine, ChipSwitchTakesTheWholeText) {
  EXPECT_EQ(*Parse({"/KV40K358"}).settings.chipName, "KV40K358");
  EXPECT_EQ(*Parse({"-kv40k358g"}).settings.chipName, "kv40k358g");
}

TEST(CommandLine, BaudRates) {
  Parsed p = Parse({"/i4430:8861"});
  EXPECT_EQ(p.settings.biromBaud, 4430);
  EXPECT_EQ(p.settings.progBaud, 8861);
  p = Parse({"/I4267"});
  EXPECT_EQ(p.settings.biromBaud, 4267);
  EXPECT_EQ(p.settings.progBaud, 0);
  p = Parse({"/i"});
  EXPECT_EQ(p.settings.biromBaud, 0);
}

TEST(CommandLine, ClockTurnsAutoBaudOffOnlyWhenLater) {
  Parsed p = Parse({"/a", "/o8"});
  EXPECT_FALSE(p.settings.autoBaud);
  EXPECT_EQ(*p.settings.clockText, "8");
  p = Parse({"/o8", "/a"});
  EXPECT_TRUE(p.settings.autoBaud);
}

TEST(CommandLine, StartAddressForms) {
  EXPECT_EQ(Parse({"/s0x4000"}).settings.startAddress, 0x4000u);
  EXPECT_EQ(Parse({"/s4000"}).settings.startAddress, 0x4000u);
  EXPECT_EQ(Parse({"/sFFFFFF"}).settings.startAddress, 0xFFFFFFu);
  const Parsed p = Parse({"/s4100"});
  EXPECT_EQ(p.result, ParseResult::Ok);
  EXPECT_EQ(p.settings.startAddress, 0x4100u);
  // Unreadable text keeps an earlier value.
  EXPECT_EQ(Parse({"/s8000", "/sZZ"}).settings.startAddress, 0x8000u);
}

TEST(CommandLine, ResetWait) {
  EXPECT_EQ(Parse({"/w"}).settings.resetWaitMs, 0u);
  EXPECT_EQ(Parse({"/w0"}).settings.resetWaitMs, 0u);
  EXPECT_EQ(Parse({"/w9"}).settings.resetWaitMs, 900u);
}

TEST(CommandLine, FilesTakeTheNextArgument) {
  Parsed p = Parse({"/b", "image.bin", "/d", "mod.bin"});
  EXPECT_EQ(p.settings.dataFileName, "image.bin");
  EXPECT_EQ(p.settings.moduleFileName, "mod.bin");
  EXPECT_TRUE(p.settings.stopAfterStart);
  p = Parse({"/bfoo", "/e"});  // the next argument is the file, whatever it looks like
  EXPECT_EQ(p.settings.dataFileName, "/e");
  EXPECT_FALSE(p.settings.erase);
}

TEST(CommandLine, FlagsAndLongForms) {
  const Parsed p = Parse({"/Erase", "/Check", "/Program", "/Verify", "/Read", "/t", "/Z", "/n", "/u", "/h", "/q"});
  EXPECT_EQ(p.result, ParseResult::Ok);
  const RunSettings& s = p.settings;
  EXPECT_TRUE(s.erase && s.check && s.program && s.verify && s.read);
  EXPECT_TRUE(s.noPinControl && s.swapPins && s.taggedOutput && s.autoErase && s.help && s.singleExitCode);
}

TEST(CommandLine, ResetOnlyStopsReading) {
  const Parsed p = Parse({"/2", "/t", "/g", "/x", "/3"});
  EXPECT_EQ(p.result, ParseResult::ResetOnly);
  EXPECT_EQ(p.settings.portName, "COM2");
  EXPECT_TRUE(p.settings.noPinControl);
  EXPECT_EQ(p.output, "");
}

TEST(CommandLine, UsageTextLineBreaks) {
  const std::string usage = UsageText();
  EXPECT_EQ(usage.substr(0, 4), "\n\r\n\r");
  EXPECT_EQ(usage.substr(usage.size() - 2), "\n\r");
  EXPECT_NE(usage.find("\n\rUSAGE: serburn [/param] [/KV4xKxxx | /d FILE]  [/b FILE] [/commands]\n\r\n\rPARAMETERs:\n\r"),
            std::string::npos);
  EXPECT_NE(usage.find("\n\r           KV41:  /1 /w4 /o4  /e /c /p (Start address read from CHIPDEF.INI)\n\r"),
            std::string::npos);
  // No bare line feed without its carriage return.
  for (size_t i = 0; i < usage.size(); ++i) {
    if (usage[i] == '\n') {
      EXPECT_EQ(usage[i + 1], '\r') << "at " << i;
    }
  }
}

TEST(CommandLine, BuildDateForm) {
  const std::string date = BuildDate();
  ASSERT_EQ(date.size(), 11u);
  EXPECT_EQ(date[3], ' ');
  EXPECT_EQ(date[6], ' ');
  EXPECT_NE(std::string("JanFebMarAprMayJunJulAugSepOctNovDec").find(date.substr(0, 3)), std::string::npos);
}

}  // namespace
}  // namespace serburn
