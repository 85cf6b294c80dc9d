// The target link of the GUI programmer: the state the main window keeps for its commands
// (settings chosen by the user, the chip record, the flash image, the open port and its two
// baud rates, the download state, the error prefix and detail, the command start time) and
// every operation that talks to the board or reports to the user. The command sequences
// (Run...) are what the window's buttons call; each runs one whole command, progress window
// and port included, so a Full Operation runs without a display when the UserInterface is
// a test double. All calls happen on the GUI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "flash/chipdef/chip_record.h"
#include "flash/hexfile/flash_image.h"
#include "flash/link/user_interface.h"
#include "platform/clock.h"
#include "platform/serial_port.h"

namespace flash {

// The seven sound values of the settings file.
struct SoundSettings {
  int sound = 0;  // master switch
  int errorEnable = 0;
  int errorType = 0;  // non-zero: a simple beep; 0: the wave file errorPath
  std::string errorPath = "<none>";
  int endEnable = 0;
  int endType = 0;
  std::string endPath = "<none>";
};

// What the main window has chosen; the window keeps it up to date before each command.
struct LinkSettings {
  std::string programDirectory;   // CHIPDEF.INI, control programs
  std::string settingsDirectory;  // TIMETEST.TXT, CRCTEST.TXT; empty: the program directory
  std::string chipDefPath;       // the CHIPDEF.INI in use
  ChipRecord chip;               // name (as listed), load address and flash areas
  int clockIndex = 0;            // position of the chosen crystal frequency
  std::string hexFilePath;
  int copyFormat = 0;      // 0: Copy writes S-format; 1: Intel-Hex
  uint8_t portNumber = 0;  // 0 = COM1
  SoundSettings sound;
};

// Severity of a report.
enum Severity : uint8_t { kNotice = 0, kError = 1, kFatal = 2, kFatal3 = 3 };
// Sound category of a report.
enum SoundCategory : int { kNoSound = 0, kErrorSound = 1, kCompletionSound = 2 };
// Operations of the timing log.
enum TimingOperation : int {
  kTimingDownload = 0,
  kTimingErase = 1,
  kTimingBlank = 2,
  kTimingProgram = 3,
  kTimingRead = 4,
  kTimingCopy = 5,
  kTimingAuto = 6,
};

// Which data PurgeComPort discards.
enum class PurgeWhat { kInputAndOutput, kInputOnly };

// Status bytes of the control program, and the link's own codes beside them.
inline constexpr uint8_t kStatusBusy = '0';
inline constexpr uint8_t kStatusDone = '1';
inline constexpr uint8_t kStatusFailedOrNotBlank = '4';
inline constexpr uint8_t kStatusCrcError = '5';
inline constexpr uint8_t kStatusTimeout = 3;

inline constexpr size_t kBlockSize = 512;
inline constexpr size_t kFrameSize = kBlockSize + 2;

enum class WriteBlockResult { kDone, kCancelled, kFailed };
enum class ReadBlockResult { kDone, kCancelled, kTimedOut, kBadStatus, kReadCallFailed, kWriteFailed };

// Blank pre-check results.
enum PrecheckResult : int { kPrecheckBlank = 0, kPrecheckNotBlank = 1, kPrecheckStop = 2 };

class FlashLink {
 public:
  FlashLink(platform::SerialPort& port, platform::Clock& clock, UserInterface& ui);
  ~FlashLink();
  FlashLink(const FlashLink&) = delete;
  FlashLink& operator=(const FlashLink&) = delete;

  LinkSettings& Settings() { return settings_; }
  const LinkSettings& Settings() const { return settings_; }
  FlashImage& Image() { return *image_; }

  // ---- Command sequences (what the buttons do) --------------------------------------
  void RunDownload();
  void RunErase();
  void RunBlankCheck();
  void RunProgramAndVerify();
  void RunReadAndCompare();
  void RunCopy();
  void RunFullOperation();

  // ---- Download state and frame ------------------------------------------------------
  bool Downloaded() const { return downloaded_; }
  // Not downloaded: only Download and Full Operation usable. Also what a chip or crystal
  // frequency change does; the focus stays where it is (a failed download and a fatal
  // report move it to the chip list themselves).
  void ResetDownloadState();
  // Takes the command start time for the timing log.
  void MarkCommandStart();
  // The progress window of the running command, or nullptr.
  ProgressWindow* Progress() { return progress_.get(); }
  // Creates the progress window of a command (destroying one left from before) and gives
  // it its title. False when it cannot be created.
  bool CreateProgress(const std::string& title);
  void DestroyProgress();

  // ---- Serial port ---------------------------------------------------------------------
  // 0 on success, else 206, 210 or 211. comNumber 1 is COM1.
  int OpenComPort(int comNumber, uint32_t baud);
  void CloseComPort();
  bool PortOpen() const;
  int ChangeBaudRate(uint32_t baud);
  bool WriteByte(uint8_t byte);
  uint8_t ReadByte();
  uint8_t ReadByteWithin(int seconds);
  bool WriteBytes(const uint8_t* data, size_t count);
  bool ReadBytes(uint8_t* buffer, size_t count);
  void PurgeComPort(PurgeWhat what);
  uint32_t ClearComErrors();
  uint32_t LineBaud() const { return lineBaud_; }
  uint32_t CommandBaud() const { return commandBaud_; }
  void SetCommandBaud(uint32_t baud) { commandBaud_ = baud; }

  // ---- Boot-ROM download ---------------------------------------------------------------
  // true = failed.
  bool DownloadControlProgram(bool fullOperation);
  // '1' on success, 0 on any failure.
  uint8_t TransferControlProgram();

  // ---- Flash commands ------------------------------------------------------------------
  uint8_t SendEraseCommand(uint32_t address);
  bool EraseFlash(bool fullOperation);       // true = failed
  bool BlankCheckFlash(bool fullOperation);  // true = failed or not blank
  int PrecheckBlank();                       // PrecheckResult
  // Status byte, 3 on time-out, 0 when cancelled, 0xFF when a byte cannot be written.
  uint8_t SendBlockCommand(uint32_t address, bool read);
  WriteBlockResult WriteFlashBlock(uint32_t address, const uint8_t* data);
  // frame: kFrameSize bytes; on kDone the 512 data bytes followed by their CRC.
  ReadBlockResult ReadFlashBlock(uint32_t address, uint8_t* frame);

  // ---- Area operations -----------------------------------------------------------------
  bool ProgramAndVerify(bool fullOperation);  // true = failed or cancelled
  void ReadAndCompare();
  void CopyFlashToFile();

  // ---- Reporter and logs ---------------------------------------------------------------
  void ReportMessage(uint16_t id, uint8_t severity, int sound);
  void SetErrorPrefix(std::string prefix) { errorPrefix_ = std::move(prefix); }
  void SetErrorDetail(std::string detail) { errorDetail_ = std::move(detail); }
  void PlayEventSound(int category);
  void WriteTimingEntry(int operation);
  int CrcTestOffset();
  // Seeds the draw of the CRC test aid (tests make it repeatable).
  void SeedCrcTest(uint32_t seed) { crcTestRandom_.seed(seed); }

  // True once a fatal report has closed the port during the running command: the
  // operation then ends at once without further messages.
  bool LinkLost() const { return linkLost_; }

 private:
  uint8_t WaitForStatus(int limitSeconds, bool pollCancel, bool& cancelled);
  void ShowStatusText(int id, bool fullOperation);
  void WaitForAcknowledgement();
  void EndCancelled();
  bool AreasFitImage();
  bool HexFileMissing();
  bool OpenAtCommandBaud();
  bool LoadHexIntoImage(bool fullOperation);
  size_t BlockTotal() const;
  // The cancellable progress form of a walk over the flash blocks: status text and a bar of
  // one step per block.
  void StartBlockProgress(int messageId, bool fullOperation, const std::optional<std::string>& title);
  // How a walk over the flash blocks ended, and what handling one block asks for.
  enum class BlockWalk { kCompleted, kCancelled, kStopped };
  enum class BlockStep { kNext, kCancel, kStop };
  // Walks every block of every area in list order: the bar shows the blocks done (counted in
  // blocks), a cancel request ends the walk before the next block. beginArea (when given)
  // runs before each area's blocks, and false from it stops the walk.
  BlockWalk WalkFlashBlocks(int& blocks, const std::function<bool(const FlashArea&)>& beginArea,
                            const std::function<BlockStep(const FlashArea&, uint64_t)>& block);
  // The blank-check command with its progress bar. kStopped after a failure already
  // reported (or a lost link); kNotBlank with the 6 detail bytes of the reply in detail.
  enum class BlankCheckOutcome { kBlank, kNotBlank, kStopped };
  BlankCheckOutcome RunBlankCheck(bool fullOperation, uint8_t* detail);

  platform::SerialPort& port_;
  platform::Clock& clock_;
  UserInterface& ui_;
  LinkSettings settings_;
  std::unique_ptr<FlashImage> image_;
  std::unique_ptr<ProgressWindow> progress_;
  uint32_t lineBaud_ = 0;
  uint32_t commandBaud_ = 0;
  bool downloaded_ = false;
  bool linkLost_ = false;
  std::string errorPrefix_;
  std::string errorDetail_;
  platform::CalendarTime commandStart_{};
  std::mt19937 crcTestRandom_;
};

}  // namespace flash
