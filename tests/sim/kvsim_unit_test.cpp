// kvsim's parts without a pseudo-terminal: CRC, flash model, chip database, faults,
// program images, line model, options, and the board's timing when paced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "sim/board.h"
#include "sim/chip_config.h"
#include "sim/crc16.h"
#include "sim/fault_plan.h"
#include "sim/flash_memory.h"
#include "sim/line_model.h"
#include "sim/options.h"
#include "sim/program_image.h"
#include "tests/support/kvsim_harness.h"

namespace kvsim {
namespace {

std::string ChipDef() { return kvsim_harness::SourceDataDir() + "/CHIPDEF.INI"; }

class TempDir {
 public:
  TempDir() {
    std::string p = (std::filesystem::temp_directory_path() / "kvsim-unit-XXXXXX").string();
    path_ = mkdtemp(p.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

TEST(KvsimCrc, XmodemCheckValues) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Crc16(abc, 3), 0x9DD6);
  uint8_t frame[514] = {};
  for (int i = 0; i < 512; ++i) frame[i] = static_cast<uint8_t>(i * 3);
  const uint16_t crc = Crc16(frame, 512);
  frame[512] = static_cast<uint8_t>(crc >> 8);
  frame[513] = static_cast<uint8_t>(crc);
  EXPECT_EQ(Crc16(frame, 514), 0);
}

TEST(KvsimFlash, NorProgrammingGapsAndErase) {
  FlashMemory flash({{0x1000, 0x1FFF}, {0x3000, 0x3FFF}});
  EXPECT_EQ(flash.Size(), 0x3000u);
  EXPECT_TRUE(flash.Covers(0x1E00, 512));
  EXPECT_FALSE(flash.Covers(0x1F00, 512));  // runs into the gap
  EXPECT_FALSE(flash.Covers(0x2000, 1));
  const uint8_t f0[2] = {0xF0, 0xF0};
  const uint8_t x0f[2] = {0x0F, 0x0F};
  EXPECT_TRUE(flash.Program(0x1000, f0, 2));
  EXPECT_FALSE(flash.Program(0x1000, x0f, 2));  // 0 -> 1 impossible
  EXPECT_EQ(flash.Bytes()[0], 0x00);            // what could be cleared is cleared
  EXPECT_FALSE(flash.Program(0x2000, f0, 2));  // starts in the gap
  EXPECT_TRUE(flash.Program(0x1FFF, f0, 2));   // runs into the gap: the rest is skipped
  EXPECT_EQ(flash.Bytes()[0xFFF], 0xF0);
  EXPECT_EQ(flash.Bytes()[0x1000], 0xFF);
  EXPECT_TRUE(flash.EraseFrom(0x1FFF, 1));
  EXPECT_TRUE(flash.Program(0x3FFE, f0, 2));
  EXPECT_EQ(flash.FirstNotBlank(0x1001), std::optional<uint32_t>(0x1001));
  EXPECT_EQ(flash.FirstNotBlank(0x1002), std::optional<uint32_t>(0x3FFE));
  EXPECT_FALSE(flash.EraseFrom(0x2800));
  EXPECT_TRUE(flash.EraseFrom(0x1000, 1));  // interrupted after one byte
  EXPECT_EQ(flash.FirstNotBlank(0x1000), std::optional<uint32_t>(0x1001));
  EXPECT_TRUE(flash.EraseFrom(0x1000));
  EXPECT_EQ(flash.FirstNotBlank(0x1000), std::nullopt);
}

TEST(KvsimFlash, ImageFileRoundTrip) {
  TempDir dir;
  FlashMemory flash({{0xFFFE00, 0xFFFFFF}});
  const uint8_t b[1] = {0x5A};
  ASSERT_TRUE(flash.Program(0xFFFFFF, b, 1));
  ASSERT_TRUE(flash.Save(dir.File("f.bin")));
  FlashMemory again({{0xFFFE00, 0xFFFFFF}});
  ASSERT_TRUE(again.Load(dir.File("f.bin")));
  EXPECT_EQ(again.Bytes(), flash.Bytes());
  FlashMemory bigger({{0xFFFC00, 0xFFFFFF}});
  EXPECT_FALSE(bigger.Load(dir.File("f.bin")));
}

struct ChipCase {
  const char* name;
  size_t areas;
  uint32_t firstStart;
  uint32_t lastEnd;
  uint32_t loadAddress;
  bool option;
  std::vector<uint32_t> commandBauds;
};

TEST(KvsimChipConfig, SampleChips) {
  const ChipCase cases[] = {
      {"OS3F10", 1, 0x4000, 0xFFFF, 0x400, false, {9600, 19200, 38400}},
      {"OS3F24", 2, 0x080800, 0x0BFFFF, 0x400, false, {9600, 19200, 38400}},
      {"os3f80", 1, 0xFC0000, 0xFFFFFF, 0x800, false, {19200, 57600}},
      {"OS3F30", 1, 0x8000, 0x1FFFF, 0x400, true, {9600, 19200, 38400}},
      {"KV40K358G", 1, 0x4000, 0x1FFFF, 0x400, false, {9600, 19200, 38400}},
      {"KV40K358", 1, 0x4000, 0x1FFFF, 0x400, false, {9600, 19200, 38400}},
      {"KV40K516", 2, 0x10000, 0x5FFFF, 0x600, false, {9600, 19200, 57600}},
      {"KV41K604", 1, 0x20000, 0x5FFFF, 0xF000, false, {19200, 38400, 76800}},
      {"KV41K725", 1, 0x100000, 0x17FFFF, 0x11000, false, {38400, 57600, 115200}},
  };
  for (const ChipCase& c : cases) {
    ChipConfig chip;
    ASSERT_EQ(LoadChipConfig(ChipDef(), c.name, chip), "") << c.name;
    EXPECT_EQ(chip.areas.size(), c.areas) << c.name;
    EXPECT_EQ(chip.areas.front().start, c.firstStart) << c.name;
    EXPECT_EQ(chip.areas.back().end, c.lastEnd) << c.name;
    EXPECT_EQ(chip.loadAddress, c.loadAddress) << c.name;
    EXPECT_EQ(chip.downloadOption, c.option) << c.name;
    EXPECT_EQ(chip.commandBauds, c.commandBauds) << c.name;
  }
  ChipConfig chip;
  EXPECT_NE(LoadChipConfig(ChipDef(), "KV40K999", chip), "");
  EXPECT_NE(LoadChipConfig(ChipDef() + ".missing", "OS3F10", chip), "");
}

TEST(KvsimChipConfig, InconsistentSectionsAreRefused) {
  TempDir dir;
  std::ofstream(dir.File("c.ini")) << "[A]\nLoadAddress=0x400\nStartAddress=0x1000,0x3000\nEndAddress=0x1FFF\n"
                                      "Clock=4,8\nBaud=4800,9600\n"
                                      "[B]\nLoadAddress=0x400\nStartAddress=0x1000\nEndAddress=0x1FFF\n"
                                      "Clock=4,8\nBaud=4800\n"
                                      "[C]\nLoadAddress=0x400\nStartAddress=0x3000,0x1000\nEndAddress=0x3FFF,0x1FFF\n"
                                      "Clock=4\nBaud=4800\n";
  ChipConfig chip;
  for (const char* name : {"A", "B", "C"}) EXPECT_NE(LoadChipConfig(dir.File("c.ini"), name, chip), "") << name;
}

TEST(KvsimProgramImage, SampleProgramsFitTheirChips) {
  struct Sample {
    const char* file;
    const char* chip;
    ProgramKind kind;
  };
  const Sample samples[] = {
      {"os3f10.ctl", "OS3F10", ProgramKind::kControl},   {"os3f24.ctl", "OS3F24", ProgramKind::kControl},
      {"os3f80.ctl", "OS3F80", ProgramKind::kControl},   {"os3f30.ctl", "OS3F30", ProgramKind::kControl},
      {"kv40k358.bin", "KV40K358", ProgramKind::kModule}, {"kv40k516.bin", "KV40K516", ProgramKind::kModule},
      {"kv40k120.bin", "KV40K120", ProgramKind::kModule}, {"kv41k604.bin", "KV41K604", ProgramKind::kModule},
      {"kv41k725.bin", "KV41K725", ProgramKind::kModule}, {"ovl/41/ae_flash.725", "KV41K725", ProgramKind::kAutoErase},
  };
  for (const Sample& s : samples) {
    std::ifstream in(kvsim_harness::SourceDataDir() + "/" + s.file, std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ProgramInfo info;
    ASSERT_EQ(CheckProgram(image, info), "") << s.file;
    ChipConfig chip;
    ASSERT_EQ(LoadChipConfig(ChipDef(), s.chip, chip), "");
    EXPECT_EQ(info.linkAddress, chip.loadAddress) << s.file;
    EXPECT_EQ(info.kind, s.kind) << s.file;
    EXPECT_EQ(info.clockByte, 0) << s.file;
  }
}

TEST(KvsimProgramImage, DamageIsFound) {
  const std::vector<uint8_t> good = BuildProgram(ProgramKind::kModule, 0x11000, "text", 64, 2);
  ProgramInfo info;
  ASSERT_EQ(CheckProgram(good, info), "");
  EXPECT_EQ(info.clockByte, 2);
  EXPECT_EQ(info.linkAddress, 0x11000u);
  struct Damage {
    size_t at;
    uint8_t value;
  };
  for (const Damage d : {Damage{0, 'X'}, Damage{3, 'Z'}, Damage{8, 65}, Damage{40, 0}, Damage{15, 0}}) {
    std::vector<uint8_t> bad = good;
    bad[d.at] = d.value;
    EXPECT_NE(CheckProgram(bad, info), "") << d.at;
  }
  std::vector<uint8_t> clockChanged = good;
  clockChanged[kClockByteOffset] = 7;  // the clock byte is outside the checks
  EXPECT_EQ(CheckProgram(clockChanged, info), "");
  EXPECT_NE(CheckProgram(std::vector<uint8_t>(good.begin(), good.begin() + 10), info), "");
}

TEST(KvsimFaultPlan, Parsing) {
  const char* good[] = {"crc-write=2", "crc-read", "write-fail=1", "erase-fail=3", "not-blank=1:00FE00101234",
                        "no-status=erase", "busy=blank:2", "boot-reply=1:05", "short-read=1:100",
                        "nul=connect:1:3", "reset=write", "noise=4", "ae-fail=1", "no-status=exec",
                        "unplug-after-frame=7", "unplug-after-ms=0", "unplug-after-ms=250:erase",
                        "unplug-after-ms=10:write:3", "unplug-after-ms=5:exec"};
  const char* bad[] = {"crc-write=0", "crc-write=x", "bogus=1", "not-blank=1:00FE", "no-status=sing",
                       "busy", "busy=exec", "reset=autoerase", "boot-reply=1", "boot-reply=1:1FF", "short-read=1:515", "nul=read:1:2:3",
                       "unplug-after-frame", "unplug-after-frame=0", "unplug-after-frame=1:2",
                       "unplug-after-ms", "unplug-after-ms=x", "unplug-after-ms=5:sing",
                       "unplug-after-ms=5:erase:0", "unplug-after-ms=5:erase:1:2", "unplug-after-ms=3600001"};
  for (const char* text : good) {
    FaultPlan plan;
    EXPECT_EQ(plan.Add(text), "") << text;
  }
  for (const char* text : bad) {
    FaultPlan plan;
    EXPECT_NE(plan.Add(text), "") << text;
  }
}

TEST(KvsimFaultPlan, FiresOnceAtTheNthOccurrence) {
  FaultPlan plan;
  ASSERT_EQ(plan.Add("crc-write=2"), "");
  plan.Count(Operation::kWrite);
  EXPECT_EQ(plan.Fires(FaultType::kCrcWrite, Operation::kWrite), nullptr);
  plan.Count(Operation::kWrite);
  EXPECT_EQ(plan.Fires(FaultType::kCrcWrite, Operation::kRead), nullptr);
  EXPECT_NE(plan.Fires(FaultType::kCrcWrite, Operation::kWrite), nullptr);
  EXPECT_EQ(plan.Fires(FaultType::kCrcWrite, Operation::kWrite), nullptr);
}

TEST(KvsimLineModel, RatesAndGarbage) {
  EXPECT_TRUE(RatesMatch(9600, 9600));
  EXPECT_TRUE(RatesMatch(9800, 9600));
  EXPECT_FALSE(RatesMatch(9600, 19200));
  EXPECT_FALSE(RatesMatch(4430, 4800));
  EXPECT_FALSE(RatesMatch(0, 9600));
  for (int b = 0; b < 256; ++b) EXPECT_NE(Mangle(static_cast<uint8_t>(b)), b);
  EXPECT_DOUBLE_EQ(LineTimeMs(9600, 96), 100.0);
}

TEST(KvsimOptions, VersionAloneIsEnoughAndNamesThePackage) {
  Options o;
  EXPECT_EQ(ParseOptions({"--version"}, o), "");
  EXPECT_TRUE(o.version);
  EXPECT_FALSE(o.help);
  const std::string text = VersionText();
  EXPECT_EQ(text.rfind("kvsim (kvflash) ", 0), 0u) << text;
  EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
  EXPECT_GT(text.size(), std::string("kvsim (kvflash) \n").size());
  EXPECT_NE(HelpText().find("--version"), std::string::npos);
}

TEST(KvsimOptions, RequiredUnknownAndHelp) {
  Options o;
  EXPECT_NE(ParseOptions({"--link", "x"}, o), "");
  Options p;
  EXPECT_NE(ParseOptions({"--dialect", "kv42"}, p), "");
  Options q;
  EXPECT_EQ(ParseOptions({"--link", "l", "--chipdef", "c", "--chip", "n", "--clock", "8", "--flash-image", "f",
                          "--dialect", "kv41-604", "--fault", "crc-read=1", "--pace", "--erase-ms", "5"},
                         q),
            "");
  EXPECT_EQ(q.dialect, Dialect::kKv41Old);
  EXPECT_EQ(q.faults.size(), 1u);
  EXPECT_EQ(q.eraseMs, 5);
  Options r;
  EXPECT_NE(ParseOptions({"--link", "l", "--chipdef", "c", "--chip", "n", "--clock", "8", "--flash-image", "f",
                          "--erase-ms", "-3"},
                         r),
            "");
  const std::string help = HelpText();
  for (const char* word : {"--link", "--chipdef", "--chip", "--clock", "--dialect", "--flash-image", "--event-log",
                           "--fault", "--pace", "--erase-ms", "--control-file", "SIGUSR1", "SIGUSR2", "crc-write",
                           "crc-read", "write-fail", "erase-fail", "not-blank", "no-status", "busy=", "boot-reply",
                           "short-read", "nul=", "reset=", "noise", "ae-fail", "unplug-after-frame=", "unplug-after-ms=",
                           "TCGETS2", "offset"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

TEST(KvsimBoard, PacedRepliesTakeTheirLineTime) {
  ChipConfig chip;
  ASSERT_EQ(LoadChipConfig(ChipDef(), "OS3F10", chip), "");
  BoardSettings s;
  s.chip = chip;
  s.clockIndex = 1;  // 9600 baud boot ROM
  s.pace = true;
  FlashMemory flash(chip.areas);
  FaultPlan faults;
  EventLog log;
  Board board(s, flash, faults, log);
  const uint8_t sync[] = {0x18, 0x18};
  board.Receive(sync, 2, 9600, 0.0);
  board.Process(0.5);
  TxChunk chunk;
  EXPECT_FALSE(board.TakeOutput(0.5, chunk));  // the first 0x18 is still on the line
  EXPECT_DOUBLE_EQ(board.NextDueMs(), LineTimeMs(9600, 1));
  board.Process(LineTimeMs(9600, 1));
  EXPECT_DOUBLE_EQ(board.NextOutputMs(), LineTimeMs(9600, 2));  // the answer takes its own time
  board.Process(LineTimeMs(9600, 2));
  ASSERT_TRUE(board.TakeOutput(LineTimeMs(9600, 2), chunk));
  EXPECT_EQ(chunk.bytes, std::vector<uint8_t>{0x11});
  EXPECT_EQ(chunk.baud, 9600u);
  // The second answer queues behind the first.
  ASSERT_TRUE(board.TakeOutput(LineTimeMs(9600, 3), chunk));
  EXPECT_DOUBLE_EQ(chunk.dueMs, LineTimeMs(9600, 3));
}

// A paced OS3F10 board at 9600 baud (clock index 1), in the dialect given.
BoardSettings PacedSettings(Dialect dialect) {
  BoardSettings settings;
  EXPECT_EQ(LoadChipConfig(ChipDef(), "OS3F10", settings.chip), "");
  settings.clockIndex = 1;
  settings.dialect = dialect;
  settings.pace = true;
  return settings;
}

struct PacedBoard {
  explicit PacedBoard(Dialect dialect) : settings(PacedSettings(dialect)) {}
  BoardSettings settings;
  FlashMemory flash{settings.chip.areas};
  FaultPlan faults;
  EventLog log;
  Board board{settings, flash, faults, log};
};

double Byte9600(uint64_t count) { return LineTimeMs(9600, count); }

// Everything the board hands out up to nowMs.
std::vector<uint8_t> TakeAll(Board& board, double nowMs) {
  std::vector<uint8_t> sent;
  TxChunk chunk;
  while (board.TakeOutput(nowMs, chunk)) sent.insert(sent.end(), chunk.bytes.begin(), chunk.bytes.end());
  return sent;
}

TEST(KvsimBoard, UnpluggedAtAFrameBeforeAnsweringIt) {
  BoardSettings settings = PacedSettings(Dialect::kBoot);
  settings.pace = false;
  FlashMemory flash(settings.chip.areas);
  FaultPlan faults;
  ASSERT_EQ(faults.Add("unplug-after-frame=2"), "");
  EventLog log;
  Board board(settings, flash, faults, log);
  const uint8_t sync[] = {0x18};
  board.Receive(sync, 1, 9600, 0.0);
  board.Process(0.0);
  EXPECT_EQ(TakeAll(board, 0.0), std::vector<uint8_t>{0x11});
  EXPECT_FALSE(board.Unplugged());
  board.Receive(sync, 1, 9600, 1.0);
  board.Process(1.0);
  EXPECT_TRUE(board.Unplugged());
  EXPECT_TRUE(TakeAll(board, 100.0).empty());
  board.Receive(sync, 1, 9600, 2.0);
  board.Process(2.0);
  EXPECT_TRUE(TakeAll(board, 100.0).empty());
  EXPECT_EQ(board.NextDueMs(), std::numeric_limits<double>::infinity());
}

// Paced: the unplug comes 3 ms after the first sync has arrived. The answer to it is
// through the line before that; the answer to a second sync would not be.
TEST(KvsimBoard, UnpluggedAfterMillisecondsHandsOutOnlyWhatIsThroughTheLine) {
  PacedBoard p(Dialect::kBoot);
  ASSERT_EQ(p.faults.Add("unplug-after-ms=3"), "");
  const uint8_t sync[] = {0x18};
  p.board.Receive(sync, 1, 9600, 0.0);
  p.board.Process(Byte9600(1));
  const double unplugAt = Byte9600(1) + 3.0;
  p.board.Receive(sync, 1, 9600, unplugAt - Byte9600(1) - 0.5);  // answered after unplugAt
  p.board.Process(unplugAt - 0.1);
  EXPECT_FALSE(p.board.Unplugged());
  EXPECT_DOUBLE_EQ(p.board.NextDueMs(), unplugAt);
  p.board.Process(unplugAt + 10.0);
  EXPECT_TRUE(p.board.Unplugged());
  EXPECT_EQ(TakeAll(p.board, unplugAt + 10.0), std::vector<uint8_t>{0x11});
}

TEST(KvsimBoard, RepliesAreTimedFromTheArrivalNotFromALateCaller) {
  PacedBoard p(Dialect::kBoot);
  const uint8_t sync[] = {0x18};
  p.board.Receive(sync, 1, 9600, 0.0);
  p.board.Process(50.0);  // woken 49 ms late
  TxChunk chunk;
  ASSERT_TRUE(p.board.TakeOutput(50.0, chunk));
  EXPECT_EQ(chunk.bytes, std::vector<uint8_t>{0x11});
  EXPECT_DOUBLE_EQ(chunk.dueMs, Byte9600(2));  // arrived after one byte time, answered in the next
}

TEST(KvsimBoard, WaitsForTheByteThatCompletesAFrameNotForEveryByte) {
  PacedBoard p(Dialect::kBoot);
  const uint8_t sync[] = {0x18};
  p.board.Receive(sync, 1, 9600, 0.0);
  p.board.Process(5.0);
  // A load frame of 4 bytes: header (5 bytes), data, sum; 10 bytes written at once.
  const uint8_t frame[] = {0x00, 0x04, 0x00, 0x00, 0x04, 1, 2, 3, 4, 0x12};
  p.board.Receive(frame, sizeof frame, 9600, 5.0);
  p.board.Process(5.0);
  // The first byte says what frame it is, the fifth how long it is; then the whole frame.
  for (uint64_t bytes : {1, 5, 10}) {
    EXPECT_DOUBLE_EQ(p.board.NextDueMs(), 5.0 + Byte9600(bytes)) << bytes;
    p.board.Process(p.board.NextDueMs());
  }
  // Bytes written while the line is still busy queue behind the ones before.
  const uint8_t more[] = {0x18};
  p.board.Receive(more, 1, 9600, 6.0);
  p.board.Process(5.0 + Byte9600(11));
  TxChunk chunk;
  std::vector<uint8_t> sent;
  double lastDue = 0;
  while (p.board.TakeOutput(100.0, chunk)) {
    sent.insert(sent.end(), chunk.bytes.begin(), chunk.bytes.end());
    lastDue = chunk.dueMs;
  }
  EXPECT_EQ(sent, (std::vector<uint8_t>{0x11, 0x01, 0x11}));
  EXPECT_DOUBLE_EQ(lastDue, 5.0 + Byte9600(12));
}

TEST(KvsimBoard, LongRunsKeepExactByteTimes) {
  PacedBoard p(Dialect::kKv41);
  // 1000 'V' written at once: every 'F' answer follows the 'V' before it, back to back.
  const std::vector<uint8_t> v(1000, 'V');
  p.board.Receive(v.data(), v.size(), 9600, 0.0);
  p.board.Process(Byte9600(1000));
  TxChunk chunk;
  size_t count = 0;
  double lastDue = 0;
  while (p.board.TakeOutput(1e9, chunk)) {
    count += chunk.bytes.size();
    lastDue = chunk.dueMs;
  }
  EXPECT_EQ(count, 1000u);
  EXPECT_DOUBLE_EQ(lastDue, Byte9600(1001));
}

TEST(KvsimBoard, DeliveryGroupsBackToBackBytesAndEndsAtAPause) {
  PacedBoard p(Dialect::kKv41);
  const uint8_t three[] = {'V', 'V', 'V'};
  p.board.Receive(three, 3, 9600, 0.0);
  p.board.Process(Byte9600(3));
  const uint8_t late[] = {'V'};
  p.board.Receive(late, 1, 9600, 20.0);  // after a pause
  p.board.Process(20.0 + Byte9600(1));
  // The 'F' answers are due at 2, 3 and 4 byte times, and the late one at 20 ms + 2.
  struct Case {
    double granuleMs;
    double expected;
  };
  const Case cases[] = {
      {0.0, Byte9600(2)}, {Byte9600(1) * 1.2, Byte9600(3)}, {Byte9600(2), Byte9600(4)}, {1000.0, Byte9600(4)}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(p.board.NextDeliveryMs(c.granuleMs), c.expected) << c.granuleMs;
  TxChunk chunk;
  while (p.board.TakeOutput(Byte9600(4), chunk)) {
  }
  EXPECT_DOUBLE_EQ(p.board.NextDeliveryMs(1000.0), 20.0 + Byte9600(2));
  while (p.board.TakeOutput(1e9, chunk)) {
  }
  EXPECT_EQ(p.board.NextDeliveryMs(1000.0), std::numeric_limits<double>::infinity());
}

TEST(KvsimFlash, SaveChangesWritesTheChangedBytesInPlace) {
  TempDir dir;
  const std::string path = dir.File("f.bin");
  FlashMemory flash({{0x1000, 0x1FFF}});
  ASSERT_TRUE(flash.Save(path));
  EXPECT_FALSE(flash.HasChanges());
  const uint8_t data[3] = {0x12, 0x34, 0x56};
  ASSERT_TRUE(flash.Program(0x1800, data, 3));
  ASSERT_TRUE(flash.Program(0x1100, data, 1));
  EXPECT_TRUE(flash.HasChanges());
  ASSERT_TRUE(flash.SaveChanges(path));
  EXPECT_FALSE(flash.HasChanges());
  FlashMemory reread({{0x1000, 0x1FFF}});
  ASSERT_TRUE(reread.Load(path));
  EXPECT_EQ(reread.Bytes(), flash.Bytes());
  // Programming what is already there changes nothing.
  ASSERT_TRUE(flash.Program(0x1800, data, 3));
  EXPECT_FALSE(flash.HasChanges());
  ASSERT_TRUE(flash.EraseFrom(0x1000));
  EXPECT_TRUE(flash.HasChanges());
  // A missing file, or one of another size, is written whole.
  for (const std::string& content : {std::string(), std::string("short")}) {
    std::filesystem::remove(path);
    if (!content.empty()) std::ofstream(path, std::ios::binary) << content;
    const uint8_t one[1] = {0x00};
    ASSERT_TRUE(flash.Program(0x1FFF, one, 1));
    ASSERT_TRUE(flash.SaveChanges(path));
    ASSERT_TRUE(reread.Load(path));
    EXPECT_EQ(reread.Bytes(), flash.Bytes());
    ASSERT_TRUE(flash.EraseFrom(0x1000));
  }
}

}  // namespace
}  // namespace kvsim
