#include "serburn/birom.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/paths.h"
#include "serburn/birom_dialect.h"
#include "serburn/chip_resolver.h"

namespace serburn {

namespace {

constexpr uint8_t kSyncRequest = 0x18;
constexpr uint8_t kSyncAnswer = 0x11;
constexpr uint8_t kNewSyncRequest = 0x56;  // "V"
constexpr uint8_t kNewSyncAnswer = 0x46;   // "F"
constexpr int kNewSyncRequests = 7;
constexpr uint32_t kNewSyncGapMs = 30;
constexpr uint8_t kDownloadAnswer = 0x01;
constexpr uint8_t kNewReplyLead = 0xF1;
constexpr uint8_t kNewDownloadReply = 0x83;
constexpr uint8_t kNewExecReply = 0x84;
constexpr uint8_t kModuleOk = 0x31;  // "1"
constexpr int kDownloadAttempts = 5;
constexpr size_t kClockByteOffset = 2;
constexpr int32_t kAutoBaudRates[] = {4800, 9600, 19200};
constexpr const char* kExecError = "bad reply during executing command 'EXEC'";

const BiromDialect& DialectOf(const Session& s) { return *s.settings.dialect; }

bool BiromError(Session& s, const char* text) { return s.reporter.Error(ErrorClass::Birom, text); }

StartResult StartFailed(Session& s, const char* text) {
  BiromError(s, text);
  return StartResult::Failed;
}

// A chip marked DownloadOption=1, in a dialect that knows the mark.
bool DownloadOptionChip(const Session& s) {
  return s.settings.downloadOption && DialectOf(s).servesDownloadOption;
}

uint8_t Sum(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  unsigned sum = 0;
  for (size_t i = from; i < to; ++i) sum += bytes[i];
  return static_cast<uint8_t>(sum);
}

[[nodiscard]] bool WriteFrame(Session& s, const std::vector<uint8_t>& frame) {
  s.link.DiscardInput();
  if (!s.link.Write(frame.data(), frame.size())) return false;
  s.link.DrainOutput();
  return true;
}

void ReportDownloading(Session& s, const std::string& path) {
  s.reporter.Info(std::string("Downloading ") + DialectOf(s).seriesName + " ");
  s.reporter.Append(platform::BaseName(path) + " for parameter /" + s.settings.chipName.value_or("") + " : ");
}

// After a failed download attempt: a fresh boot-ROM entry, marked "." (no answer) or ":".
[[nodiscard]] bool MarkRetry(Session& s) {
  const SyncResult r = Sync(s);
  if (r == SyncResult::Failed) return false;
  s.reporter.Append(r == SyncResult::Synced ? ":" : ".");
  return true;
}

// Sends the download frame until accepted() sees the boot ROM's answer, with a fresh
// boot-ROM entry between attempts, at most kDownloadAttempts times.
template <typename Accepted>
[[nodiscard]] bool SendDownloadFrame(Session& s, const std::vector<uint8_t>& frame, Accepted accepted) {
  for (int attempt = 1;; ++attempt) {
    if (!WriteFrame(s, frame)) return false;
    if (accepted()) break;
    if (!MarkRetry(s)) return false;
    if (attempt == kDownloadAttempts) return BiromError(s, "MCU not reply during executing 'DOWNLOAD' command");
  }
  s.reporter.Append(" Ok");
  return true;
}

// Reads the module, which must have as many bytes as the dialect takes.
[[nodiscard]] bool ReadSizedModule(Session& s, const std::string& path, std::vector<uint8_t>& module) {
  if (!ReadModuleFile(s, path, module)) return false;
  const BiromDialect& d = DialectOf(s);
  if (module.size() < d.minModuleSize || module.size() > d.maxModuleSize) {
    return s.reporter.Error(ErrorClass::FileOperations, "boot file is too big");
  }
  return true;
}

[[nodiscard]] SyncResult SyncByteHandshake(Session& s) {
  if (!s.link.WriteByte(kSyncRequest)) return SyncResult::Failed;
  return s.link.ReadByte() == kSyncAnswer ? SyncResult::Synced : SyncResult::NotSynced;
}

[[nodiscard]] SyncResult RepeatedVHandshake(Session& s) {
  for (int i = 0; i < kNewSyncRequests; ++i) {
    if (!s.link.WriteByte(kNewSyncRequest)) return SyncResult::Failed;
    s.link.Wait(kNewSyncGapMs);
  }
  uint8_t reply[kNewSyncRequests] = {};
  const size_t n = s.link.Read(reply, kNewSyncRequests);
  for (size_t i = 0; i < n; ++i) {
    if (reply[i] == kNewSyncAnswer) return SyncResult::Synced;
  }
  return SyncResult::NotSynced;
}

[[nodiscard]] bool DownloadShortFrame(Session& s, const std::vector<uint8_t>& module, const std::string& path) {
  const auto n = static_cast<uint32_t>(module.size());
  const uint32_t load = s.settings.loadAddress;
  std::vector<uint8_t> frame = {0x00, static_cast<uint8_t>(load >> 8), static_cast<uint8_t>(load),
                                static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
  frame.insert(frame.end(), module.begin(), module.end());
  frame.push_back(Sum(frame, 0, frame.size()));

  ReportDownloading(s, path);
  return SendDownloadFrame(s, frame, [&] {
    // With the download option the answer is read and not judged.
    if (DownloadOptionChip(s)) {
      s.link.SkipBytes(2);
      return true;
    }
    return s.link.ReadByte() == kDownloadAnswer;
  });
}

[[nodiscard]] bool DownloadFileThenData(Session& s, const std::vector<uint8_t>& module, const std::string& path) {
  const auto n = static_cast<uint32_t>(module.size());
  const uint32_t load = s.settings.loadAddress;
  std::vector<uint8_t> header = {0x00,
                                 static_cast<uint8_t>(load >> 24), static_cast<uint8_t>(load >> 16),
                                 static_cast<uint8_t>(load >> 8), static_cast<uint8_t>(load),
                                 static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                                 static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
  header.push_back(Sum(header, 0, header.size()));
  if (!WriteFrame(s, header)) return false;
  if (s.link.ReadByte() != kDownloadAnswer) return BiromError(s, "MCU not reply during executing 'FILE' command");

  std::vector<uint8_t> frame = module;
  frame.push_back(Sum(module, 0, module.size()));
  ReportDownloading(s, path);
  if (!WriteFrame(s, frame)) return false;
  if (s.link.ReadByte() != kDownloadAnswer) {
    return BiromError(s, "MCU not reply during executing 'DOWNLOAD' command");
  }
  s.reporter.Append(" Ok");
  return true;
}

[[nodiscard]] bool DownloadCommandFrame(Session& s, const std::vector<uint8_t>& module, const std::string& path) {
  const auto n = static_cast<uint32_t>(module.size());
  const uint32_t load = s.settings.loadAddress;
  std::vector<uint8_t> frame = {0x01, 0x03,
                                static_cast<uint8_t>(load), static_cast<uint8_t>(load >> 8),
                                static_cast<uint8_t>(load >> 16), 0x00,
                                static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
  frame.insert(frame.end(), module.begin(), module.end());

  ReportDownloading(s, path);
  return SendDownloadFrame(s, frame, [&] {
    uint8_t reply[4] = {0, 0, 0, 0};
    return s.link.Read(reply, 4) == 4 && reply[0] == kNewReplyLead && reply[1] == kNewDownloadReply;
  });
}

// With /d, in a dialect whose run ends at the start: the module is left running.
bool StopsAtStart(const Session& s) { return s.settings.stopAfterStart && DialectOf(s).stopsAfterStart; }

StartResult StopAfterStart(Session& s) {
  s.reporter.Info("Start RAMexecute module Ok");
  return StartResult::StoppedAfterStart;
}

// The module runs: the link follows it to ProgBaud.
[[nodiscard]] StartResult FollowToProgBaud(Session& s) {
  if (!s.link.SetBaud(s.settings.progBaud)) return StartResult::Failed;
  s.link.Wait(DialectOf(s).startWaitMs);
  return StartResult::Started;
}

[[nodiscard]] StartResult StartShortFrame(Session& s) {
  const std::vector<uint8_t> frame = {0x40, 0x00, 0x00, 0x00, 0x00};
  if (!s.link.Write(frame.data(), frame.size())) return StartResult::Failed;
  s.link.DrainOutput();
  if (StopsAtStart(s)) return StopAfterStart(s);
  s.link.SkipBytes(1);
  return FollowToProgBaud(s);
}

[[nodiscard]] StartResult StartExecFrame(Session& s) {
  const std::vector<uint8_t> frame = {0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x40};
  if (!s.link.Write(frame.data(), frame.size())) return StartResult::Failed;
  s.link.DrainOutput();
  if (s.link.ReadByte() != kModuleOk) return StartFailed(s, kExecError);
  if (StopsAtStart(s)) return StopAfterStart(s);
  return FollowToProgBaud(s);
}

[[nodiscard]] StartResult StartCommandFrame(Session& s) {
  const uint32_t address = DialectOf(s).moduleStartAddress;
  const std::vector<uint8_t> frame = {0x01, 0x04,
                                      static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                                      static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24)};
  if (!s.link.Write(frame.data(), frame.size())) return StartResult::Failed;
  s.link.DrainOutput();
  if (!s.link.Write(frame.data(), 3)) return StartResult::Failed;
  uint8_t reply[3] = {0, 0, 0};
  if (s.link.Read(reply, 3) != 3 || reply[0] != kNewReplyLead || reply[1] != kNewExecReply) {
    return StartFailed(s, kExecError);
  }
  if (s.autoEraseStart) {
    s.autoEraseStart = false;
    return StartResult::Started;
  }
  if (StopsAtStart(s)) return StopAfterStart(s);
  if (reply[2] != kModuleOk) return StartFailed(s, kExecError);
  return FollowToProgBaud(s);
}

}  // namespace

SyncResult Sync(Session& s) {
  if (s.link.ResetPulse(true) == PortLink::Pulse::Failed) return SyncResult::Failed;
  s.link.DiscardInput();
  switch (DialectOf(s).handshake) {
    case Handshake::RepeatedV: return RepeatedVHandshake(s);
    case Handshake::SyncByte:
      // A download-option chip's boot ROM speaks unasked: whatever comes is its answer.
      if (DownloadOptionChip(s)) {
        s.link.SkipBytes(1);
        return SyncResult::Synced;
      }
      return SyncByteHandshake(s);
  }
  return SyncResult::Failed;
}

bool AutoBaud(Session& s) {
  s.reporter.Info("BIROM Baud   : ");
  for (int32_t rate : kAutoBaudRates) {
    if (!s.link.SetBaud(rate)) return false;
    const SyncResult r = Sync(s);
    if (r == SyncResult::Failed) return false;
    if (r == SyncResult::Synced) {
      s.settings.biromBaud = rate;
      s.settings.progBaud = rate * 2;
      s.reporter.Append(std::to_string(rate) + " Ok.");
      return true;
    }
  }
  return BiromError(s, "MCU not found during test connect");
}

bool EnterBirom(Session& s) {
  int syncs = 1;
  if (s.settings.noPinControl) {
    s.reporter.Info("Wait RESET MCU.");
    syncs = DialectOf(s).manualResetSyncs;
  }
  for (int i = 0; i < syncs; ++i) {
    const SyncResult r = Sync(s);
    if (r == SyncResult::Failed) return false;
    if (r == SyncResult::Synced) return true;
  }
  return BiromError(s, "MCU not found during test connect");
}

bool ReadModuleFile(Session& s, const std::string& path, std::vector<uint8_t>& module) {
  const std::string file = PlatformPath(path);
  std::error_code ignored;
  std::ifstream in(file, std::ios::binary);
  if (!in || std::filesystem::is_directory(file, ignored)) {
    return s.reporter.Error(ErrorClass::FileOperations, "unable to open boot file");
  }
  module.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    module.clear();
    return s.reporter.Error(ErrorClass::FileOperations, "unable to read boot file");
  }
  if (s.settings.clockIndex != 0 && module.size() > kClockByteOffset) {
    module[kClockByteOffset] = static_cast<uint8_t>(s.settings.clockIndex - 1);
  }
  return true;
}

bool DownloadModule(Session& s, const std::string& path) {
  std::vector<uint8_t> module;
  if (!ReadSizedModule(s, path, module)) return false;
  switch (DialectOf(s).download) {
    case DownloadFrame::Short: return DownloadShortFrame(s, module, path);
    case DownloadFrame::FileThenData: return DownloadFileThenData(s, module, path);
    case DownloadFrame::Command: return DownloadCommandFrame(s, module, path);
  }
  return false;
}

StartResult StartModule(Session& s) {
  switch (DialectOf(s).start) {
    case StartFrame::Short: return StartShortFrame(s);
    case StartFrame::Exec: return StartExecFrame(s);
    case StartFrame::Command: return StartCommandFrame(s);
  }
  return StartResult::Failed;
}

}  // namespace serburn
