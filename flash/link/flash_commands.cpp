// The byte-coded commands of the control program: erase, blank check (alone and as the
// pre-check of Full Operation), and the 512-byte block transfers with their CRC.
#include <cstdio>
#include <cstring>

#include "flash/link/crc16.h"
#include "flash/link/flash_link.h"
#include "flash/link/messages.h"

namespace flash {
namespace {

constexpr uint8_t kEraseCommand = 0x38;
constexpr uint8_t kBlankCheckCommand = 0x48;
constexpr uint8_t kWriteBlockCommand = 0x08;
constexpr uint8_t kReadBlockCommand = 0x28;

constexpr int kEraseLimitSeconds = 60;
constexpr int kStatusLimitSeconds = 5;
constexpr int kEraseBarSteps = 5;
constexpr int kBlankBarSteps = 3;
constexpr size_t kBlankDetailSize = 6;

constexpr const char* kCrcCaption = "crc checking";

uint8_t Byte(uint32_t address, int shift) { return static_cast<uint8_t>((address >> shift) & 0xFFu); }

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Whole seconds of the calendar clock.
int64_t CalendarSeconds(const platform::CalendarTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace

void FlashLink::ShowStatusText(int id, bool fullOperation) {
  std::string text = fullOperation ? std::string(kFullOperationStatusPrefix) : std::string();
  text += MessageText(id);
  if (progress_) progress_->SetInfoText(StaticControlText(text));
}

uint8_t FlashLink::WaitForStatus(int limitSeconds, bool pollCancel, bool& cancelled) {
  cancelled = false;
  const int64_t start = CalendarSeconds(clock_.Now());
  for (;;) {
    const uint8_t status = ReadByte();
    if (linkLost_) return kStatusTimeout;  // callers test linkLost_ first
    if (pollCancel && progress_ && progress_->IsCancelled()) {
      cancelled = true;
      return 0;
    }
    if (CalendarSeconds(clock_.Now()) - start > limitSeconds) return kStatusTimeout;
    if (status != 0 && status != kStatusBusy) return status;
  }
}

uint8_t FlashLink::SendEraseCommand(uint32_t address) {
  progress_->SetForm(kFormBarNoButton, false, std::nullopt);
  progress_->InitBar(0, kEraseBarSteps, 1, 0);
  for (uint8_t byte : {kEraseCommand, uint8_t{0x00}, Byte(address, 8), Byte(address, 16)}) {
    if (!WriteByte(byte)) return 0;
  }
  const uint64_t start = clock_.TickMs();
  uint64_t shownSeconds = 0;
  for (;;) {
    const uint8_t status = ReadByte();
    if (linkLost_) return 0;
    const uint64_t seconds = (clock_.TickMs() - start) / 1000u;
    if (seconds != shownSeconds) {
      shownSeconds = seconds;
      if (seconds < static_cast<uint64_t>(kEraseBarSteps)) progress_->StepIt();
    }
    if (seconds > static_cast<uint64_t>(kEraseLimitSeconds)) return kStatusTimeout;
    if (status != 0 && status != kStatusBusy) {
      if (status == kStatusDone) progress_->SetPos(kEraseBarSteps);
      return status;
    }
  }
}

bool FlashLink::EraseFlash(bool fullOperation) {
  ShowStatusText(kMsgErasing, fullOperation);
  const uint8_t status = SendEraseCommand(settings_.chip.areas[0].start);
  if (linkLost_) return true;  // the fatal report has been shown
  if (status == kStatusDone) {
    if (!fullOperation) {
      WriteTimingEntry(kTimingErase);
      ReportMessage(kMsgEraseOk, kNotice, kCompletionSound);
    }
    return false;
  }
  if (status == kStatusTimeout) {
    ReportMessage(kMsgTimeout, kFatal, kErrorSound);
  } else if (status == kStatusFailedOrNotBlank) {
    ReportMessage(kMsgEraseError, kNotice, kErrorSound);
  } else {
    ReportMessage(kMsgCommunicationError, kNotice, kErrorSound);
  }
  return true;
}

FlashLink::BlankCheckOutcome FlashLink::RunBlankCheck(bool fullOperation, uint8_t* detail) {
  ShowStatusText(kMsgBlankChecking, fullOperation);
  progress_->SetForm(kFormBarNoButton, false, std::nullopt);
  progress_->InitBar(0, kBlankBarSteps, 1, 0);
  const uint32_t address = settings_.chip.areas[0].start;
  for (uint8_t byte : {kBlankCheckCommand, Byte(address, 0), Byte(address, 8), Byte(address, 16)}) {
    if (!WriteByte(byte)) return BlankCheckOutcome::kStopped;
  }
  bool cancelled = false;
  const uint8_t status = WaitForStatus(kStatusLimitSeconds, false, cancelled);
  if (linkLost_) return BlankCheckOutcome::kStopped;
  if (status == kStatusTimeout) {
    ReportMessage(kMsgTimeout, kFatal, kErrorSound);
    return BlankCheckOutcome::kStopped;
  }
  if (status == kStatusDone) {
    progress_->SetPos(kBlankBarSteps);
    return BlankCheckOutcome::kBlank;
  }
  if (status == kStatusFailedOrNotBlank) {
    ReadBytes(detail, kBlankDetailSize);
    return linkLost_ ? BlankCheckOutcome::kStopped : BlankCheckOutcome::kNotBlank;
  }
  // A reply the control program never gives.
  ReportMessage(kMsgCommunicationError, kFatal, kErrorSound);
  return BlankCheckOutcome::kStopped;
}

bool FlashLink::BlankCheckFlash(bool fullOperation) {
  uint8_t d[kBlankDetailSize] = {};
  switch (RunBlankCheck(fullOperation, d)) {
    case BlankCheckOutcome::kStopped:
      return true;
    case BlankCheckOutcome::kBlank:
      if (!fullOperation) {
        WriteTimingEntry(kTimingBlank);
        ReportMessage(kMsgBlankOk, kNotice, kCompletionSound);
      }
      return false;
    case BlankCheckOutcome::kNotBlank:
      break;
  }
  if (!fullOperation) {
    char detail[80];
    std::snprintf(detail, sizeof detail, " ErrorAddress = 0x%02X%02X%02X%02X\r\n Flash : 0x%02X%02X", d[0], d[1],
                  d[2], d[3], d[4], d[5]);
    SetErrorDetail(detail);
    ReportMessage(kMsgNotErased, kNotice, kErrorSound);
  } else {
    ReportMessage(kMsgNotErased, kError, kErrorSound);
  }
  return true;
}

// The pre-check of Full Operation: a reply the control program never gives is reported, so
// the user learns why Full Operation stopped, as Blank Check alone would tell.
int FlashLink::PrecheckBlank() {
  uint8_t detail[kBlankDetailSize] = {};
  switch (RunBlankCheck(true, detail)) {
    case BlankCheckOutcome::kBlank: return kPrecheckBlank;
    case BlankCheckOutcome::kNotBlank: return kPrecheckNotBlank;
    case BlankCheckOutcome::kStopped: return kPrecheckStop;
  }
  return kPrecheckStop;
}

uint8_t FlashLink::SendBlockCommand(uint32_t address, bool read) {
  const uint8_t command = read ? kReadBlockCommand : kWriteBlockCommand;
  for (uint8_t byte : {command, uint8_t{0x00}, Byte(address, 8), Byte(address, 16)}) {
    if (!WriteByte(byte)) return 0xFF;
  }
  bool cancelled = false;
  const uint8_t status = WaitForStatus(kStatusLimitSeconds, true, cancelled);
  if (linkLost_) return 0xFF;  // reported already, as a failed write is
  if (cancelled) return 0;
  return status;
}

WriteBlockResult FlashLink::WriteFlashBlock(uint32_t address, const uint8_t* data) {
  for (;;) {
    const uint8_t status = SendBlockCommand(address, false);
    if (status == 0xFF) return WriteBlockResult::kFailed;
    if (status == kStatusTimeout) {
      ReportMessage(kMsgTimeout, kFatal, kErrorSound);
      return WriteBlockResult::kFailed;
    }
    if (status == 0) return WriteBlockResult::kCancelled;
    if (status != kStatusDone) {
      ReportMessage(kMsgProgramError, kFatal, kErrorSound);
      return WriteBlockResult::kFailed;
    }

    uint8_t frame[kFrameSize];
    std::memcpy(frame, data, kBlockSize);
    const uint16_t crc = Crc16(data, kBlockSize);
    frame[kBlockSize] = static_cast<uint8_t>((crc >> 8) + CrcTestOffset());
    frame[kBlockSize + 1] = static_cast<uint8_t>(crc & 0xFF);
    if (!WriteBytes(frame, kFrameSize)) {
      if (!linkLost_) ReportMessage(kMsgPortWriteError, kFatal, kErrorSound);
      return WriteBlockResult::kFailed;
    }

    bool cancelled = false;
    const uint8_t result = WaitForStatus(kStatusLimitSeconds, true, cancelled);
    if (linkLost_) return WriteBlockResult::kFailed;
    if (cancelled) return WriteBlockResult::kCancelled;
    if (result == kStatusTimeout) {
      ReportMessage(kMsgTimeout, kFatal, kErrorSound);
      return WriteBlockResult::kFailed;
    }
    if (result == kStatusDone) return WriteBlockResult::kDone;
    if (result == kStatusCrcError) {
      char question[64];
      std::snprintf(question, sizeof question, "CRC error detected in 0x%X\nretry?", address);
      if (ui_.AskCrcRetry(question, kCrcCaption)) continue;
      return WriteBlockResult::kCancelled;
    }
    ReportMessage(kMsgProgramError, kFatal, kErrorSound);
    return WriteBlockResult::kFailed;
  }
}

ReadBlockResult FlashLink::ReadFlashBlock(uint32_t address, uint8_t* frame) {
  for (;;) {
    const uint8_t status = SendBlockCommand(address, true);
    if (status == 0xFF) return ReadBlockResult::kWriteFailed;
    if (status == kStatusTimeout) return ReadBlockResult::kTimedOut;
    if (status == 0) return ReadBlockResult::kCancelled;
    if (status != kStatusDone) return ReadBlockResult::kBadStatus;

    if (!ReadBytes(frame, kFrameSize)) {
      return linkLost_ ? ReadBlockResult::kWriteFailed : ReadBlockResult::kReadCallFailed;
    }
    if (ClearComErrors() != 0) {
      // A framing or overrun error spoilt the frame: fetch the block again, silently.
      PurgeComPort(PurgeWhat::kInputOnly);
      continue;
    }
    bool cancelled = false;
    const uint8_t result = WaitForStatus(kStatusLimitSeconds, true, cancelled);
    if (linkLost_) return ReadBlockResult::kWriteFailed;
    if (cancelled) return ReadBlockResult::kCancelled;
    if (result == kStatusTimeout) return ReadBlockResult::kTimedOut;
    if (result != kStatusDone) return ReadBlockResult::kBadStatus;

    frame[kBlockSize] = static_cast<uint8_t>(frame[kBlockSize] + CrcTestOffset());
    if (Crc16(frame, kFrameSize) != 0) {
      char question[64];
      std::snprintf(question, sizeof question, "CRC error detected in 0x%X\nretry?", address);
      if (ui_.AskCrcRetry(question, kCrcCaption)) continue;
      return ReadBlockResult::kCancelled;
    }
    return ReadBlockResult::kDone;
  }
}

}  // namespace flash
