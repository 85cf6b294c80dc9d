// The operations that walk every flash area block by block: Program & Verify writes the
// image into the target, Read & Compare reads the target back against the image, and
// Copy reads it out into an S-format or Intel-Hex file.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "flash/link/flash_link.h"
#include "flash/link/messages.h"
#include "flash/output/read_out_writer.h"

namespace flash {
namespace {

constexpr const char* kSFormatFilter = "S format files (*.mhx;*.cnv;*.ahx)|*.mhx;*.cnv;*.ahx|all files (*.*)|*.*||";
constexpr const char* kIntelHexFilter = "Intel Hex files (*.hex)|*.hex|all files (*.*)|*.*||";

}  // namespace

size_t FlashLink::BlockTotal() const {
  size_t total = 0;
  for (int i = 0; i < settings_.chip.areaCount; ++i) {
    const FlashArea& area = settings_.chip.areas[static_cast<size_t>(i)];
    if (area.end < area.start) continue;
    total += (static_cast<uint64_t>(area.end) - area.start + kBlockSize) / kBlockSize;
  }
  return total;
}

void FlashLink::EndCancelled() {
  progress_->SetInfoText(StaticControlText(MessageText(kMsgCancelled)));
  progress_->SetButtonCaption("OK");
  progress_->WaitForButton();
  PurgeComPort(PurgeWhat::kInputAndOutput);
}

void FlashLink::StartBlockProgress(int messageId, bool fullOperation, const std::optional<std::string>& title) {
  progress_->SetForm(kFormCancellable, false, title);
  ShowStatusText(messageId, fullOperation);
  progress_->InitBar(0, static_cast<int>(BlockTotal()), 1, 0);
}

FlashLink::BlockWalk FlashLink::WalkFlashBlocks(
    int& blocks, const std::function<bool(const FlashArea&)>& beginArea,
    const std::function<BlockStep(const FlashArea&, uint64_t)>& block) {
  blocks = 0;
  for (int i = 0; i < settings_.chip.areaCount; ++i) {
    const FlashArea& area = settings_.chip.areas[static_cast<size_t>(i)];
    if (beginArea && !beginArea(area)) return BlockWalk::kStopped;
    for (uint64_t a = area.start; a <= area.end; a += kBlockSize) {
      progress_->SetPos(blocks);
      if (progress_->IsCancelled()) return BlockWalk::kCancelled;
      const BlockStep step = block(area, a);
      if (step == BlockStep::kCancel) return BlockWalk::kCancelled;
      if (step == BlockStep::kStop) return BlockWalk::kStopped;
      ++blocks;
    }
  }
  return BlockWalk::kCompleted;
}

bool FlashLink::ProgramAndVerify(bool fullOperation) {
  StartBlockProgress(kMsgProgramming, fullOperation, std::nullopt);

  const uint32_t base = settings_.chip.areas[0].start;
  const uint8_t* image = image_->Data();
  int blocks = 0;
  const BlockWalk walk = WalkFlashBlocks(blocks, nullptr, [&](const FlashArea& area, uint64_t a) {
    // The block's image bytes; those beyond the area's end go out as erased bytes.
    uint8_t block[kBlockSize];
    const uint64_t inArea = std::min<uint64_t>(kBlockSize, uint64_t{area.end} - a + 1);
    std::memcpy(block, image + (a - base), inArea);
    std::memset(block + inArea, 0xFF, kBlockSize - inArea);
    bool blank = true;
    for (uint8_t byte : block) blank = blank && byte == 0xFF;
    if (blank) return BlockStep::kNext;
    switch (WriteFlashBlock(static_cast<uint32_t>(a), block)) {
      case WriteBlockResult::kDone: return BlockStep::kNext;
      case WriteBlockResult::kCancelled: return BlockStep::kCancel;
      case WriteBlockResult::kFailed: return BlockStep::kStop;
    }
    return BlockStep::kStop;
  });
  if (walk == BlockWalk::kStopped) return true;
  progress_->SetPos(blocks);
  if (walk == BlockWalk::kCancelled) {
    EndCancelled();
    return true;
  }
  WriteTimingEntry(fullOperation ? kTimingAuto : kTimingProgram);
  ReportMessage(fullOperation ? kMsgFullOperationOk : kMsgProgramOk, kNotice, kCompletionSound);
  return false;
}

void FlashLink::ReadAndCompare() {
  ClearComErrors();
  StartBlockProgress(kMsgReadingComparing, false, std::nullopt);

  const uint32_t base = settings_.chip.areas[0].start;
  const uint8_t* image = image_->Data();
  int blocks = 0;
  uint8_t frame[kFrameSize];
  const BlockWalk walk = WalkFlashBlocks(blocks, nullptr, [&](const FlashArea& area, uint64_t a) {
    switch (ReadFlashBlock(static_cast<uint32_t>(a), frame)) {
      case ReadBlockResult::kCancelled:
        return BlockStep::kCancel;
      case ReadBlockResult::kWriteFailed:
        return BlockStep::kStop;
      case ReadBlockResult::kTimedOut:
        ReportMessage(kMsgTimeout, kFatal, kErrorSound);
        return BlockStep::kStop;
      case ReadBlockResult::kBadStatus:
        ReportMessage(kMsgReadError, kFatal, kErrorSound);
        return BlockStep::kStop;
      case ReadBlockResult::kReadCallFailed:
        ReportMessage(kMsgPortReadError, kFatal, kErrorSound);
        return BlockStep::kStop;
      case ReadBlockResult::kDone:
        break;
    }
    // Big-endian 16-bit words; a byte beyond the area's end is shown but not compared.
    for (uint64_t off = 0; off < kBlockSize && a + off <= area.end; off += 2) {
      const uint64_t at = a + off - base;
      const bool secondInArea = a + off + 1 <= area.end;
      const unsigned flashWord = 256u * frame[off] + frame[off + 1];
      const unsigned fileHigh = image[at];
      const unsigned fileLow = secondInArea ? image[at + 1] : 0xFFu;
      const unsigned fileWord = 256u * fileHigh + fileLow;
      const bool differs = frame[off] != fileHigh || (secondInArea && frame[off + 1] != fileLow);
      if (differs) {
        char detail[96];
        std::snprintf(detail, sizeof detail, " ErrorAddress = 0x%08X\r\n Flash    : 0x%04X\r\n HexFile : 0x%04X",
                      static_cast<unsigned>(a + off), flashWord, fileWord);
        SetErrorDetail(detail);
        ReportMessage(kMsgCompareDiffers, kNotice, kErrorSound);
        return BlockStep::kStop;
      }
    }
    return BlockStep::kNext;
  });
  if (walk == BlockWalk::kStopped) return;
  progress_->SetPos(blocks);
  if (walk == BlockWalk::kCancelled) {
    EndCancelled();
    return;
  }
  WriteTimingEntry(kTimingRead);
  ReportMessage(kMsgCompareOk, kNotice, kCompletionSound);
}

void FlashLink::CopyFlashToFile() {
  ClearComErrors();
  const bool intelHex = settings_.copyFormat == 1;
  SaveFileRequest request;
  request.filter = intelHex ? kIntelHexFilter : kSFormatFilter;
  request.defaultExtension = intelHex ? "hex" : "mhx";
  request.initialDirectory = settings_.hexFilePath;
  const std::optional<std::string> path = ui_.AskSaveFileName(request);
  if (!path) return;

  if (!CreateProgress("Copy")) return;
  StartBlockProgress(kMsgCopying, false, std::string("Copy"));
  MarkCommandStart();

  ReadOutWriter writer(intelHex ? ReadOutFormat::kIntelHex : ReadOutFormat::kSFormat);
  if (writer.Create(*path) != ReadOutStatus::kOk) {
    ui_.ShowMessageBox(kOpenFileErrorText, kReadOutCaption, MessageIcon::kExclamation, BoxOwner::kMainWindow);
    DestroyProgress();
    return;
  }
  // A write failure is shown at once; the read-out then ends as failed.
  auto written = [this](ReadOutStatus status) {
    if (status == ReadOutStatus::kOk) return true;
    ui_.ShowMessageBox(ReadOutStatusText(status), kReadOutCaption, MessageIcon::kExclamation,
                       BoxOwner::kProgressWindow);
    return false;
  };

  int blocks = 0;
  uint8_t frame[kFrameSize];
  BlockWalk outcome = BlockWalk::kStopped;
  if (written(writer.WriteHeader())) {
    outcome = WalkFlashBlocks(
        blocks, [&](const FlashArea& area) { return written(writer.BeginArea(area.start, area.end)); },
        [&](const FlashArea&, uint64_t a) {
          const ReadBlockResult result = ReadFlashBlock(static_cast<uint32_t>(a), frame);
          if (result == ReadBlockResult::kCancelled) return BlockStep::kCancel;
          if (result != ReadBlockResult::kDone) {
            if (result == ReadBlockResult::kTimedOut) ReportMessage(kMsgTimeout, kFatal, kErrorSound);
            if (result == ReadBlockResult::kBadStatus || result == ReadBlockResult::kReadCallFailed) {
              ReportMessage(kMsgReadError, kFatal, kErrorSound);
            }
            return BlockStep::kStop;
          }
          const bool ok =
              written(writer.WriteBlock(static_cast<uint32_t>(a), std::span<const uint8_t>(frame, kBlockSize)));
          return ok ? BlockStep::kNext : BlockStep::kStop;
        });
  }
  if (progress_) progress_->SetPos(blocks);

  switch (outcome) {
    case BlockWalk::kCompleted:
      WriteTimingEntry(kTimingCopy);
      if (written(writer.Finish())) {
        ReportMessage(kMsgCopyOk, kNotice, kCompletionSound);
      } else {
        writer.Abandon();
      }
      break;
    case BlockWalk::kCancelled:
      writer.Abandon();
      EndCancelled();
      break;
    case BlockWalk::kStopped:
      writer.Abandon();
      break;
  }
  DestroyProgress();
}

}  // namespace flash
