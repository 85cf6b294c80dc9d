#include "flash/chipdef/chip_database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flash/chipdef/chip_values.h"
#include "tests/platform/temp_dir.h"

namespace {

using flash::ChipRecord;
using flash::IsCompleteChipSection;
using flash::ListChips;
using flash::ListChipSections;
using flash::LoadChipRecord;
using testing_support::TempDir;

// The seven keys a listed chip needs, in file order, with a valid value each.
struct Key {
  const char* name;
  const char* value;
};
const Key kRequired[] = {
    {"DownloadFile", "ctrl\\kv40.bin"}, {"LoadAddress", "0x4000"},
    {"StartAddress", "0x080800,0x0A0000"}, {"EndAddress", "0x09FFFF,0x0BFFFF"},
    {"FlashSize", "0x3F800"}, {"Clock", "4,,8"}, {"Baud", "9600,19200"},
};

// A chip section; skip names a key left out, empty names a key written with no value.
std::string Section(const std::string& name, const std::string& skip = "",
                    const std::string& empty = "") {
  std::string s = "[" + name + "]\r\n";
  for (const Key& k : kRequired) {
    if (k.name == skip) continue;
    s += std::string(k.name) + "=" + (k.name == empty ? "" : k.value) + "\r\n";
  }
  return s;
}

std::string Lists(const std::string& name, const std::string& starts, const std::string& ends) {
  return "[" + name + "]\r\nDownloadFile=a.bin\r\nLoadAddress=0x100\r\nStartAddress=" + starts +
         "\r\nEndAddress=" + ends + "\r\nFlashSize=1\r\nClock=16\r\nBaud=9600\r\n";
}

std::string Addresses(int count, unsigned step) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s0x%06X", i == 0 ? "" : ",", static_cast<unsigned>(i) * step);
    s += buffer;
  }
  return s;
}

TEST(ChipDatabase, ListsCompleteSectionsInFileOrderInUpperCase) {
  TempDir dir;
  const std::string path = dir.Write(
      "CHIPDEF.INI", "; chips\r\n" + Section("KV40K358/G") + "\r\n[Tool]\r\nPath=c:\\x\r\n" +
                         Section("kv41small") + Section("NoFlash", "", "FlashSize") +
                         Section("NoBaud", "Baud") + Lists("Ten", Addresses(10, 0x100), Addresses(10, 0x100)));
  EXPECT_EQ(ListChipSections(path), (std::vector<std::string>{"KV40K358/G", "Tool", "kv41small",
                                                               "NoFlash", "NoBaud", "Ten"}));
  EXPECT_EQ(ListChips(path), (std::vector<std::string>{"KV40K358/G", "KV41SMALL", "TEN"}));
}

TEST(ChipDatabase, EveryRequiredKeyMissingOrEmptyLeavesChipOut) {
  TempDir dir;
  for (const Key& k : kRequired) {
    SCOPED_TRACE(k.name);
    const std::string path = dir.Write("CHIPDEF.INI", Section("Missing", k.name) + Section("Empty", "", k.name) +
                                                          Section("Blank", "", "") + "[Quoted]\r\n");
    EXPECT_FALSE(IsCompleteChipSection(path, "Missing"));
    EXPECT_FALSE(IsCompleteChipSection(path, "Empty"));
    EXPECT_TRUE(IsCompleteChipSection(path, "blank"));
    EXPECT_EQ(ListChips(path), (std::vector<std::string>{"BLANK"}));
  }
}

TEST(ChipDatabase, SectionWithoutNameIsNoChipAndDoesNotEndTheList) {
  TempDir dir;
  const std::string path = dir.Write("CHIPDEF.INI", Section("First") + Section("") + Section("Last"));
  EXPECT_EQ(ListChipSections(path), (std::vector<std::string>{"First", "", "Last"}));
  EXPECT_EQ(ListChips(path), (std::vector<std::string>{"FIRST", "LAST"}));
}

TEST(ChipDatabase, MissingFileGivesNoChips) {
  TempDir dir;
  const std::string path = dir.File("CHIPDEF.INI");
  EXPECT_TRUE(ListChipSections(path).empty());
  EXPECT_TRUE(ListChips(path).empty());
  EXPECT_FALSE(IsCompleteChipSection(path, "KV40"));
}

TEST(ChipDatabase, LoadsTwoAreasLoadAddressAndClockLabels) {
  TempDir dir;
  const std::string path = dir.Write("CHIPDEF.INI", Section("KV40K358/G"));
  ChipRecord record;
  const auto clock = LoadChipRecord(path, "KV40K358/G", record);
  ASSERT_TRUE(clock.has_value());
  EXPECT_EQ(*clock, "4,,8");
  EXPECT_EQ(record.chipName, "KV40K358/G");
  EXPECT_EQ(record.loadAddress, 16384);
  ASSERT_EQ(record.areaCount, 2);
  EXPECT_EQ(record.areas[0].start, 0x080800u);
  EXPECT_EQ(record.areas[0].end, 0x09FFFFu);
  EXPECT_EQ(record.areas[0].Size(), 0x01F800u);
  EXPECT_EQ(record.areas[1].start, 0x0A0000u);
  EXPECT_EQ(record.areas[1].end, 0x0BFFFFu);
  EXPECT_EQ(record.areas[1].Size(), 0x020000u);
  EXPECT_EQ(record.clockLabels, (std::vector<std::string>{"4", "8"}));
}

TEST(ChipDatabase, LowerCaseSectionIsFoundAndNamedInUpperCase) {
  TempDir dir;
  const std::string path = dir.Write("chipdef.ini", Section("kv41small"));
  const std::vector<std::string> chips = ListChips(path);
  ASSERT_EQ(chips, (std::vector<std::string>{"KV41SMALL"}));
  ChipRecord record;
  ASSERT_TRUE(LoadChipRecord(path, chips[0], record).has_value());
  EXPECT_EQ(record.chipName, "KV41SMALL");
  EXPECT_EQ(record.areaCount, 2);
}

TEST(ChipDatabase, LoadAddressIsAProfileInteger) {
  TempDir dir;
  const std::string path = dir.Write(
      "CHIPDEF.INI", "[Hex]\r\nLoadAddress=0x4000\r\n[Dec]\r\nLoadAddress=16384\r\n[None]\r\nClock=4\r\n");
  for (const char* chip : {"Hex", "Dec"}) {
    ChipRecord record;
    ASSERT_TRUE(LoadChipRecord(path, chip, record).has_value());
    EXPECT_EQ(record.loadAddress, 16384) << chip;
  }
  ChipRecord record;
  record.loadAddress = 77;
  ASSERT_EQ(LoadChipRecord(path, "None", record), "4");
  EXPECT_EQ(record.loadAddress, 0);
  EXPECT_EQ(record.areaCount, 0);
}

TEST(ChipDatabase, ClockLabelsAreKeptAsTheyAre) {
  TempDir dir;
  const std::string path = dir.Write("CHIPDEF.INI", "[C]\r\nClock=,4.9152, 8 ,,16MHz,\r\n");
  ChipRecord record;
  ASSERT_EQ(LoadChipRecord(path, "C", record), ",4.9152, 8 ,,16MHz,");
  EXPECT_EQ(record.clockLabels, (std::vector<std::string>{"4.9152", " 8 ", "16MHz"}));
}

// Area lists: which chips are accepted and how many areas they get.
struct AreaCase {
  const char* name;
  std::string starts;
  std::string ends;
  bool accepted;
  int areaCount;
};

class AreaLists : public ::testing::TestWithParam<AreaCase> {};

TEST_P(AreaLists, AcceptOnlyWhatFitsTheRecord) {
  const AreaCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.Write("CHIPDEF.INI", Lists("Chip", c.starts, c.ends));
  EXPECT_EQ(IsCompleteChipSection(path, "Chip"), c.accepted);
  EXPECT_EQ(ListChips(path).size(), c.accepted ? 1u : 0u);
  ChipRecord record;
  record.areaCount = -1;
  const auto clock = LoadChipRecord(path, "Chip", record);
  EXPECT_EQ(clock.has_value(), c.accepted);
  EXPECT_EQ(record.areaCount, c.accepted ? c.areaCount : -1) << "a refused chip leaves the record alone";
}

const AreaCase kAreaCases[] = {
    {"TenAreas", Addresses(10, 0x1000), Addresses(10, 0x1000), true, 10},
    {"ElevenEnds", Addresses(11, 0x1000), Addresses(11, 0x1000), false, 0},
    {"ElevenStartsTenEnds", Addresses(11, 0x1000), Addresses(10, 0x1000), false, 0},
    {"MoreStartsThanEnds", "0x0,0x100,0x200", "0xFF,0x1FF", true, 2},
    {"FewerStartsThanEnds", "0x0", "0xFF,0x1FF", false, 0},
    {"EmptyEntriesSkipped", ",0x0,,0x100,", "0xFF,,0x1FF", true, 2},
    {"ElevenBeyondTheCutCountsAsTen", Addresses(10, 0x1000) + std::string(200, ' ') + ",0x99",
     Addresses(10, 0x1000) + std::string(200, ' ') + ",0x99", true, 10},
};

INSTANTIATE_TEST_SUITE_P(Cases, AreaLists, ::testing::ValuesIn(kAreaCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Found by fuzzing: an EndAddress of commas alone is not empty, yet holds no area.
TEST(ChipDatabase, EndAddressOfCommasAloneIsNotListed) {
  TempDir dir;
  const std::string path = dir.Write("CHIPDEF.INI", Lists("Chip", ",,", ","));
  EXPECT_FALSE(IsCompleteChipSection(path, "Chip"));
  EXPECT_TRUE(ListChips(path).empty());
  ChipRecord record;
  record.areaCount = 5;
  ASSERT_TRUE(LoadChipRecord(path, "Chip", record).has_value());
  EXPECT_EQ(record.areaCount, 0);
}

TEST(ChipDatabase, ListValuesAreCutAt255Characters) {
  TempDir dir;
  // The 255th character falls inside the address: only "0x12" of "0x123456" is read.
  const std::string padded = std::string(251, ',') + "0x123456";
  const std::string path = dir.Write("CHIPDEF.INI", Lists("Cut", padded, padded));
  ChipRecord record;
  ASSERT_TRUE(LoadChipRecord(path, "Cut", record).has_value());
  ASSERT_EQ(record.areaCount, 1);
  EXPECT_EQ(record.areas[0].start, 0x12u);
  EXPECT_EQ(record.areas[0].end, 0x12u);
}

TEST(ChipDatabase, RepeatedSectionActsAsOne) {
  TempDir dir;
  const std::string path = dir.Write(
      "CHIPDEF.INI",
      "[KV40]\r\nDownloadFile=a.bin\r\nLoadAddress=0x10\r\nStartAddress=0x0\r\n"
      "[Other]\r\nx=1\r\n"
      "[kv40]\r\nEndAddress=0xFFFF\r\nFlashSize=1\r\nClock=16\r\nBaud=9600\r\nLoadAddress=0x20\r\n");
  EXPECT_EQ(ListChips(path), (std::vector<std::string>{"KV40"}));
  ChipRecord record;
  ASSERT_TRUE(LoadChipRecord(path, "KV40", record).has_value());
  EXPECT_EQ(record.loadAddress, 0x10);
  EXPECT_EQ(record.areaCount, 1);
}

struct AddressCase {
  const char* text;
  uint32_t value;
};

TEST(ChipValues, AddressesAreHexWithSignPrefixAndSaturation) {
  const AddressCase cases[] = {
      {"0x080800", 0x080800u}, {"080800", 0x080800u},    {" \t0X1f", 0x1Fu},
      {"1F", 0x1Fu},           {"+0x10", 0x10u},         {"-1", 0xFFFFFFFFu},
      {"-0x10", 0xFFFFFFF0u},  {"0x7FFFFFFF", 0x7FFFFFFFu}, {"0x80000000", 0x7FFFFFFFu},
      {"0xFFFFFFFFFFFF", 0x7FFFFFFFu}, {"-0x80000000", 0x80000000u}, {"-0xFFFFFFFFF", 0x80000000u},
      {"FFFFH", 0xFFFFu},      {"12G4", 0x12u},          {"zz", 0u},
      {"0x", 0u},              {"0xg", 0u},              {"", 0u},
      {"- 5", 0u},             {"0x0x5", 0u},
  };
  for (const AddressCase& c : cases) EXPECT_EQ(flash::ParseChipAddress(c.text), c.value) << c.text;
}

TEST(ChipValues, DecimalsStopAtFirstNonDigitAndSaturate) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"9600", 9600}, {" 19200", 19200}, {"+5", 5}, {"-5", -5}, {"12ab", 12}, {"abc", 0},
      {"0x10", 0},    {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}, {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(flash::ParseChipDecimal(c.text), c.value) << c.text;
}

TEST(ChipValues, ListsSplitAtCommasSkippingEmptyEntries) {
  using V = std::vector<std::string>;
  EXPECT_EQ(flash::SplitChipList("4,,8"), (V{"4", "8"}));
  EXPECT_EQ(flash::SplitChipList(",a,"), (V{"a"}));
  EXPECT_EQ(flash::SplitChipList(",,,"), V{});
  EXPECT_EQ(flash::SplitChipList(""), V{});
  EXPECT_EQ(flash::SplitChipList(" 4, 8"), (V{" 4", " 8"}));
  EXPECT_EQ(flash::CutChipValue(std::string(300, 'x')).size(), 255u);
}

}  // namespace
