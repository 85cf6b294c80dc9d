#include "tests/link/kvsim_link_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "flash/chipdef/chip_database.h"
#include "flash/link/messages.h"

namespace flash::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kExtraChips =
    "\r\n[TWOAREA]\r\nDownloadFile=os3f10.ctl\r\nLoadAddress=0x0400\r\nStartAddress=0x4000,0x5000\r\n"
    "EndAddress=0x47FF,0x5BFF\r\nFlashSize=5120\r\nClock=4,8,16\r\nBaud=4800,9600,19200\r\n"
    "Baud2=9600,19200,38400\r\n"
    "\r\n[PARTIAL]\r\nDownloadFile=os3f10.ctl\r\nLoadAddress=0x0400\r\nStartAddress=0x4000,0x5000\r\n"
    "EndAddress=0x47FF,0x5A01\r\nFlashSize=4610\r\nClock=4,8,16\r\nBaud=4800,9600,19200\r\n"
    "Baud2=9600,19200,38400\r\n";

}  // namespace

void KvsimLinkFixture::SetUp() {
  SetLanguage(Language::kEnglish);
  const std::string data = kvsim_harness::SourceDataDir();
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() == ".ctl") fs::copy_file(entry.path(), fs::path(dir.path()) / entry.path().filename());
  }
  WriteFile(dir.File("CHIPDEF.INI"), ReadFile(data + "/CHIPDEF.INI") + kExtraChips);
  ui.onReset = [this] { return board.ResetIntoBoot(); };
}

void KvsimLinkFixture::TearDown() { unsetenv("KVPORT_COM3"); }

void KvsimLinkFixture::StartBoard(const std::string& chip, const std::string& clock, std::vector<std::string> faults,
                                  const std::string& initialFlash, std::vector<std::string> extra) {
  kvsim_harness::KvsimOptions o;
  o.chipdef = dir.File("CHIPDEF.INI");
  o.chip = chip;
  o.clock = clock;
  o.faults = std::move(faults);
  o.initialFlash = initialFlash;
  o.extraArgs = std::move(extra);
  ASSERT_TRUE(board.Start(o)) << board.Error();
  setenv("KVPORT_COM3", board.LinkPath().c_str(), 1);
  LinkSettings& s = link.Settings();
  s.programDirectory = dir.path() + "/";
  s.chipDefPath = dir.File("CHIPDEF.INI");
  s.portNumber = 2;
  ChipRecord record;
  ASSERT_TRUE(LoadChipRecord(s.chipDefPath, chip, record));
  s.chip = record;
  const auto& labels = record.clockLabels;
  s.clockIndex = static_cast<int>(std::find(labels.begin(), labels.end(), clock) - labels.begin());
}

std::string KvsimLinkFixture::HexFile(const std::string& name, const std::vector<uint8_t>& image, uint32_t base) {
  WriteFile(dir.File(name), MakeSRecords(image, base));
  return dir.File(name);
}

std::vector<uint8_t> KvsimLinkFixture::Image(size_t size) {
  std::vector<uint8_t> image(size, 0xFF);
  for (size_t i = 0x200; i < 0x400; ++i) image[i] = static_cast<uint8_t>(i ^ 0x55);
  for (size_t i = 0x1000; i < 0x1100; ++i) image[i] = static_cast<uint8_t>(i);
  image[0x1A00] = 0x12;
  image[0x1A01] = 0x34;
  image[size - 2] = 0x56;
  image[size - 1] = 0x78;
  return image;
}

void KvsimLinkFixture::ExpectFlashEquals(const std::vector<uint8_t>& image) {
  const std::string flash = board.ReadFlashImage();
  ASSERT_EQ(flash.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), reinterpret_cast<const uint8_t*>(flash.data())));
}

void KvsimLinkFixture::Download() {
  link.RunDownload();
  ASSERT_TRUE(link.Downloaded()) << ::testing::PrintToString(ui.log);
  ui.log.clear();
  ui.positions.clear();
  ui.titles.clear();
}

}  // namespace flash::testing
