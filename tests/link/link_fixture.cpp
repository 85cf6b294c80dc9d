#include "tests/link/link_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "flash/chipdef/chip_database.h"

namespace flash::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "linktest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string MakeSRecords(const std::vector<uint8_t>& image, uint32_t base) {
  std::string text;
  char line[80];
  for (size_t i = 0; i < image.size();) {
    if (image[i] == 0xFF) {
      ++i;
      continue;
    }
    size_t n = 0;
    while (n < 16 && i + n < image.size() && image[i + n] != 0xFF) ++n;
    const uint32_t a = base + static_cast<uint32_t>(i);
    unsigned sum = static_cast<unsigned>(n + 4) + (a >> 16 & 0xFF) + (a >> 8 & 0xFF) + (a & 0xFF);
    int len = std::snprintf(line, sizeof line, "S2%02X%06X", static_cast<unsigned>(n + 4), a & 0xFFFFFFu);
    for (size_t k = 0; k < n; ++k) {
      sum += image[i + k];
      len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X", image[i + k]);
    }
    std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X\r\n", ~sum & 0xFFu);
    text += line;
    i += n;
  }
  text += "S804000000FB\r\n";
  return text;
}

std::string ChipDefText(const ChipSection& chip) {
  std::string text = "[" + chip.name + "]\r\n";
  text += "DownloadFile=" + chip.downloadFile + "\r\n";
  text += "LoadAddress=" + chip.loadAddress + "\r\n";
  if (!chip.downloadOption.empty()) text += "DownloadOption=" + chip.downloadOption + "\r\n";
  text += "StartAddress=" + chip.starts + "\r\n";
  text += "EndAddress=" + chip.ends + "\r\n";
  text += "FlashSize=32\r\n";
  text += "Clock=" + chip.clocks + "\r\n";
  text += "Baud=" + chip.bauds + "\r\n";
  if (!chip.bauds2.empty()) text += "Baud2=" + chip.bauds2 + "\r\n";
  return text;
}

LinkTest::LinkTest() {
  SetLanguage(Language::kEnglish);
  controlProgram.resize(300);
  for (size_t i = 0; i < controlProgram.size(); ++i) controlProgram[i] = static_cast<uint8_t>(i * 7 + 3);
  WriteFile(dir.File("ctrl.bin"), std::string(controlProgram.begin(), controlProgram.end()));
  link.Settings().programDirectory = dir.path() + "/";
  link.Settings().chipDefPath = dir.File("CHIPDEF.INI");
  link.SeedCrcTest(1);
  UseChip(chip);
}

void LinkTest::UseChip(const ChipSection& section) {
  chip = section;
  WriteFile(dir.File("CHIPDEF.INI"), ChipDefText(section));
  ChipRecord record;
  if (!LoadChipRecord(dir.File("CHIPDEF.INI"), section.name, record)) ADD_FAILURE() << "chip not loaded";
  link.Settings().chip = record;
}

void LinkTest::PretendDownloaded(uint32_t commandBaud) {
  link.SetCommandBaud(commandBaud);
  // Bring the fake board into its command state by a quiet boot exchange on the port.
  port.Open("/dev/null-fake");
  const uint8_t boot[] = {0x40, 0, 0, 0, 0};
  port.Write(boot, sizeof boot);
  uint8_t reply = 0;
  port.Read(&reply, 1);
  port.Close();
  port.ClearEvents();
}

void LinkTest::UseHexImage(const std::vector<uint8_t>& image) {
  WriteFile(dir.File("image.mhx"), MakeSRecords(image, Base()));
  link.Settings().hexFilePath = dir.File("image.mhx");
}

std::vector<std::vector<uint8_t>> LinkTest::Writes() const {
  std::vector<std::vector<uint8_t>> writes;
  for (const auto& e : port.Events()) {
    if (e.kind == platform::FakeSerialPort::Event::Kind::Write) writes.push_back(e.data);
  }
  return writes;
}

std::vector<uint32_t> LinkTest::Bauds() const {
  std::vector<uint32_t> bauds;
  for (const auto& e : port.Events()) {
    if (e.kind == platform::FakeSerialPort::Event::Kind::SetBaud) bauds.push_back(e.value);
  }
  return bauds;
}

int LinkTest::Count(platform::FakeSerialPort::Event::Kind kind) const {
  int n = 0;
  for (const auto& e : port.Events()) n += e.kind == kind ? 1 : 0;
  return n;
}

}  // namespace flash::testing
