// kvsim end to end through a real pseudo-terminal, one boot-ROM dialect at a time: sync,
// download, start, test connect, erase, blank check, write, read back, and the flash image
// file holding what was written.
#include <gtest/gtest.h>

#include "tests/sim/sim_test_util.h"

namespace kvsim_test {
namespace {

using kvsim_harness::BoardOptions;
using kvsim_harness::KvsimProcess;

uint32_t Big32(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Erase, blank check, write blocks (ascending), read them back, find them in the image file, and see the
// blank check name the first one.
void ExerciseFlash(MiniHost& host, KvsimProcess& board, uint32_t base, const std::vector<uint32_t>& blocks) {
  EXPECT_EQ(host.Command(0x38, base), (Bytes{'0', '1'}));
  EXPECT_EQ(host.Command(0x48, base), (Bytes{'0', '1'}));
  std::vector<Bytes> written;
  for (size_t i = 0; i < blocks.size(); ++i) {
    written.push_back(Pattern(512, static_cast<uint32_t>(i + 1)));
    EXPECT_EQ(host.WriteBlock(blocks[i], written.back()), (Bytes{'0', '1'})) << std::hex << blocks[i];
  }
  const std::string image = board.ReadFlashImage();
  for (size_t i = 0; i < blocks.size(); ++i) {
    Bytes frame;
    ASSERT_EQ(host.ReadBlock(blocks[i], frame), (Bytes{'0', '1'}));
    ASSERT_EQ(frame.size(), 515u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 512), written[i]);
    EXPECT_EQ(XmodemCrc(frame.data(), 514), 0);
    EXPECT_EQ(frame[514], '1');
    EXPECT_EQ(Slice(image, blocks[i] - base, 512), written[i]);
  }
  ASSERT_EQ(host.Command(0x48, base), (Bytes{'0', '4'}));
  const Bytes detail = host.Receive(6);
  ASSERT_EQ(detail.size(), 6u);
  EXPECT_EQ(Big32(detail, 0), blocks.front());
  EXPECT_EQ(detail[4], written.front()[0]);
  EXPECT_EQ(detail[5], written.front()[1]);
  // Erase brings the whole flash back to 0xFF.
  EXPECT_EQ(host.Command(0x38, base), (Bytes{'0', '1'}));
  EXPECT_EQ(board.ReadFlashImage(), std::string(image.size(), '\xFF'));
}

TEST(KvsimDialects, GuiBootRomWithTwoAreasAndNoBaud2) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("OS3F24", "8"))) << board.Error();
  EXPECT_EQ(board.ReadFlashImage(), std::string(0x0BFFFF - 0x080800 + 1, '\xFF'));
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 9600));
  EXPECT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("os3f24.ctl")), 1), 0x0400),
            (Bytes{0x11, 0x01, 0x11, '1'}));
  ASSERT_TRUE(host.SetBaud(19200));  // twice Baud
  ASSERT_TRUE(host.Send({0xE8}));
  EXPECT_EQ(host.ReceiveByte(), '1');
  ExerciseFlash(host, board, 0x080800, {0x080800, 0x09FE00, 0x0A0000, 0x0BFE00});
  EXPECT_EQ(board.Stop(), 0);
}

TEST(KvsimDialects, GuiBootRomWithAnAreaEndingAtTheTopOfTheAddressSpace) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("OS3F80", "16"))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 19200));
  EXPECT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("os3f80.ctl")), 1), 0x0800),
            (Bytes{0x11, 0x01, 0x11, '1'}));
  ASSERT_TRUE(host.SetBaud(57600));
  ExerciseFlash(host, board, 0xFC0000, {0xFC0000, 0xFFFE00});
}

TEST(KvsimDialects, GuiBootRomWantsASecondSyncBeforeTheStartButTheKv40BiromDoesNot) {
  for (const char* dialect : {"boot", "kv40"}) {
    KvsimProcess board;
    ASSERT_TRUE(board.Start(BoardOptions("OS3F10", "8", dialect))) << board.Error();
    MiniHost host;
    ASSERT_TRUE(host.Open(board.LinkPath(), 9600));
    host.Send({0x18});
    EXPECT_EQ(host.ReceiveByte(), 0x11);
    host.Send(BootLoadFrame(WithClockByte(ReadFile(Data("os3f10.ctl")), 1), 0x0400));
    EXPECT_EQ(host.ReceiveByte(), 0x01);
    host.Send({0x40, 0, 0, 0, 0});
    if (std::string(dialect) == "boot") {
      EXPECT_FALSE(host.ReceiveByte(300).has_value());
      host.Send({0x18});
      EXPECT_EQ(host.ReceiveByte(), 0x11);
      host.Send({0x40, 0, 0, 0, 0});
    }
    EXPECT_EQ(host.ReceiveByte(), '1') << dialect;
  }
}

TEST(KvsimDialects, DownloadOptionBootRomNeedsNoSyncAndAnswersOtherCodes) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("OS3F30", "4"))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 4800));
  EXPECT_EQ(host.BootRomDownload(ReadFile(Data("os3f30.ctl")), 0x0400), (Bytes{0x13, 0x06, 0x13, '1'}));
  ASSERT_TRUE(host.SetBaud(9600));
  ASSERT_TRUE(host.Send({0xE8}));
  EXPECT_EQ(host.ReceiveByte(), '1');
}

TEST(KvsimDialects, Kv40BiromWithTheConsoleProgrammersClockRule) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("KV40K358", "16", "kv40"))) << board.Error();
  EXPECT_EQ(board.Events("start").size(), 1u);
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 19200));
  // serburn's clock index counts the key as 0: "16" is index 3, written as 3 - 1.
  EXPECT_EQ(host.BootRomDownload(WithClockByte(ReadFile(Data("kv40k358.bin")), 3 - 1), 0x0400),
            (Bytes{0x11, 0x01, 0x11, '1'}));
  ASSERT_TRUE(host.SetBaud(38400));
  ASSERT_TRUE(host.Send({0xE8}));
  EXPECT_EQ(host.ReceiveByte(), '1');
  ExerciseFlash(host, board, 0x004000, {0x004000, 0x004200, 0x01FE00});
}

TEST(KvsimDialects, Kv40BiromOfADownloadOptionChipTakesTheFrameWithoutSync) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("KV40K120", "16", "kv40"))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 19200));
  const Bytes image = WithClockByte(ReadFile(Data("kv40k120.bin")), 2);
  const Bytes frame = BootLoadFrame(image, 0x0400);
  ASSERT_TRUE(host.Send(frame));
  EXPECT_EQ(host.ReceiveByte(), 0x06);
  ASSERT_TRUE(host.Send({0x40, 0, 0, 0, 0}));
  EXPECT_EQ(host.ReceiveByte(), '1');
  ASSERT_TRUE(host.SetBaud(38400));
  ASSERT_TRUE(host.Send({0xE8}));
  EXPECT_EQ(host.ReceiveByte(), '1');
}

TEST(KvsimDialects, OlderKv41Birom) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("KV41K604", "8", "kv41-604"))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 19200));
  EXPECT_EQ(host.Kv41OldDownload(WithClockByte(ReadFile(Data("kv41k604.bin")), 1), 0x00F000),
            (Bytes{0x11, 0x01, 0x01, '1'}));
  ASSERT_TRUE(host.SetBaud(38400));
  ASSERT_TRUE(host.Send({0xE8}));
  EXPECT_EQ(host.ReceiveByte(), '1');
  ExerciseFlash(host, board, 0x020000, {0x020000, 0x05FE00});
}

TEST(KvsimDialects, NewerKv41BiromWithTheAutoEraseModule) {
  KvsimProcess board;
  kvsim_harness::KvsimOptions o = BoardOptions("KV41K725", "4", "kv41");
  std::string flash(0x80000, '\xFF');
  flash[0x1234] = 0x00;  // something for the auto-erase to clear
  o.initialFlash = flash;
  ASSERT_TRUE(board.Start(o)) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 9600));
  EXPECT_EQ(host.Kv41Sync(), Bytes(7, 'F'));
  const Bytes ae = ReadFile(Data("ovl/41/ae_flash.725"));
  uint32_t sum = 0;
  for (uint8_t b : ae) sum += b;
  EXPECT_EQ(host.Kv41Load(ae, 0x11000),
            (Bytes{0xF1, 0x83, static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)}));
  EXPECT_EQ(host.Kv41Start(0x11000), (Bytes{0xF1, 0x84, '1'}));
  EXPECT_EQ(host.ReceiveByte(), 0xFF);  // done, back in BIROM
  EXPECT_EQ(board.ReadFlashImage(), std::string(0x80000, '\xFF'));
  // The main module goes straight in: BIROM stays synchronised.
  EXPECT_EQ(host.Kv41Load(WithClockByte(ReadFile(Data("kv41k725.bin")), 0), 0x11000).size(), 4u);
  EXPECT_EQ(host.Kv41Start(0x11000), (Bytes{0xF1, 0x84, '1'}));
  ASSERT_TRUE(host.SetBaud(38400));
  ASSERT_TRUE(host.Send({0xE8}));
  EXPECT_EQ(host.ReceiveByte(), '1');
  ExerciseFlash(host, board, 0x100000, {0x100000, 0x17FE00});
}

TEST(KvsimDialects, NewerKv41BiromRefusesAStartWithoutItsRepeatedBytes) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("KV41K725", "4", "kv41"))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 9600));
  EXPECT_EQ(host.Kv41Sync().size(), 7u);
  EXPECT_EQ(host.Kv41Load(ReadFile(Data("kv41k725.bin")), 0x11000).size(), 4u);
  ASSERT_TRUE(host.Send({0x01, 0x04, 0x00, 0x10, 0x01, 0x00, 0x01, 0x04, 0x01}));  // wrong third byte
  EXPECT_EQ(host.Receive(3, 500), (Bytes{0xF2, 0x84, 0x00}));
}

TEST(KvsimDialects, NewerKv41BiromIgnoresFramesBeforeItsSync) {
  KvsimProcess board;
  ASSERT_TRUE(board.Start(BoardOptions("KV41K725", "4", "kv41"))) << board.Error();
  MiniHost host;
  ASSERT_TRUE(host.Open(board.LinkPath(), 9600));
  EXPECT_EQ(host.Kv41Start(0x11000).size(), 0u);
  EXPECT_EQ(board.Events("ignored").size(), 9u);
  EXPECT_TRUE(board.Events("exec").empty());
}

}  // namespace
}  // namespace kvsim_test
