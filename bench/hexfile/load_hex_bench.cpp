// Loading a full 0x90000-byte image from an S-format and from an Intel-Hex file (16 data
// bytes a line) through LoadHexFile, against srec_cat converting the same file to binary,
// measured in the same run. Prints MB/s of hex text. Usage: bench_load_hex [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "flash/hexfile/hex_file_loader.h"
#include "flash/output/record_format.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBase = 0x000000;

std::string MakeSFile(const std::vector<uint8_t>& image) {
  std::string text;
  char line[flash::kRecordLineBufferSize];
  const uint8_t tag[4] = {'K', 'V', 'T', '2'};
  text.append(line, flash::FormatSRecord(line, tag, 0, flash::kSRecordHeader));
  for (size_t i = 0; i < image.size(); i += 16) {
    const size_t n = flash::FormatSRecord(line, std::span(image).subspan(i, 16),
                                          static_cast<uint32_t>(kBase + i), flash::kSRecordData24);
    text.append(line, n - 1).append("\r\n");
  }
  text.append("S804000000FB\r\n");
  return text;
}

std::string MakeIntelFile(const std::vector<uint8_t>& image) {
  std::string text;
  char line[flash::kRecordLineBufferSize];
  for (size_t i = 0; i < image.size(); i += 16) {
    const auto address = static_cast<uint32_t>(kBase + i);
    if (i == 0 || (address & 0xFFFF) == 0) {
      text.append(line, flash::FormatIntelLinearAddressRecord(line, address) - 1).append("\r\n");
    }
    const size_t n = flash::FormatIntelDataRecord(line, std::span(image).subspan(i, 16), address);
    text.append(line, n - 1).append("\r\n");
  }
  text.append(":00000001FF\r\n");
  return text;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Figures {
  double best;
  double median;
};

template <typename F>
Figures Measure(int repetitions, F&& run) {
  std::vector<double> times;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = Clock::now();
    run();
    times.push_back(Seconds(Clock::now() - start));
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

int Bench(const std::string& label, const std::string& path, const char* srecFormat,
          const std::vector<uint8_t>& expected, const std::string& dir, int repetitions) {
  const std::vector<flash::FlashArea> areas{{kBase, kBase + flash::kFlashImageSize - 1}};
  flash::FlashImage image;
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

  bool ok = true;
  const Figures load = Measure(repetitions, [&] {
    ok = ok && flash::LoadHexFile(path, areas, image, false, 0xFF, nullptr);
  });
  if (!ok || !std::equal(expected.begin(), expected.end(), image.Data())) {
    std::printf("%s: load FAILED\n", label.c_str());
    return 1;
  }
  std::printf(
      "%-9s %6.2f MB of hex text   LoadHexFile: best %7.2f ms (%7.1f MB/s), median %7.2f ms (%7.1f "
      "MB/s)\n",
      label.c_str(), megabytes, load.best * 1e3, megabytes / load.best, load.median * 1e3,
      megabytes / load.median);

  const std::string command =
      "srec_cat " + path + " " + srecFormat + " -o " + dir + "/out.bin -binary >/dev/null 2>&1";
  if (std::system("srec_cat -VERSion >/dev/null 2>&1") != 0) {
    std::printf("%-9s srec_cat not installed: no comparison\n", label.c_str());
    return 0;
  }
  bool srecOk = true;
  const Figures srec = Measure(std::max(3, repetitions / 5),
                               [&] { srecOk = srecOk && std::system(command.c_str()) == 0; });
  if (!srecOk) {
    std::printf("%s: srec_cat FAILED\n", label.c_str());
    return 1;
  }
  std::printf(
      "%-9s srec_cat to binary:    best %7.2f ms (%7.1f MB/s), median %7.2f ms  -> LoadHexFile "
      "%.1fx faster (best vs best)\n",
      label.c_str(), srec.best * 1e3, megabytes / srec.best, srec.median * 1e3,
      srec.best / load.best);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  char pattern[] = "/tmp/kvbench.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string dir = pattern;

  std::vector<uint8_t> image(flash::kFlashImageSize);
  std::mt19937 random(42);
  for (auto& b : image) b = static_cast<uint8_t>(random());

  const std::string sPath = dir + "/image.mhx";
  const std::string iPath = dir + "/image.hex";
  std::ofstream(sPath, std::ios::binary) << MakeSFile(image);
  std::ofstream(iPath, std::ios::binary) << MakeIntelFile(image);

  std::printf("image 0x%X bytes, %d repetitions\n", flash::kFlashImageSize, repetitions);
  int failures = Bench("S-format", sPath, "-motorola", image, dir, repetitions);
  failures += Bench("Intel-Hex", iPath, "-intel", image, dir, repetitions);

  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return failures;
}
