// What a hex-file load shows the user. The GUI programmer's progress window implements this
// interface; a load without a progress window (the check-sum computation) gets no view and
// stays silent, its result alone telling of a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace flash {

// Message-box captions of the loads.
inline constexpr const char* kHexFileDecoderCaption = "HexFile decoder";
inline constexpr const char* kSFormatDecoderCaption = "S format decoder";
inline constexpr const char* kIntelHexDecoderCaption = "IntelHex format decoder";

// Status text shown while a hex file is decoded: string 502, joined as it stands to the
// "Full Operation - " prefix when the load is a step of Full Operation.
inline constexpr uint16_t kDecodingHexFileMessage = 502;
inline constexpr const char* kDecodingHexFileText = " Decoding HexFile";
inline constexpr const char* kFullOperationPrefix = "Full Operation - ";

struct HexLoadStatus {
  uint16_t messageNumber = kDecodingHexFileMessage;
  bool fullOperation = false;
  std::string text;  // the English text, prefix included
};

// Why a load failed. The decoders' own codes 1-5 come with the failing line's number.
enum class HexLoadFailure {
  kFileOpen,         // "file open error"
  kEmptyFile,        // "This file is NULL"
  kUnknownFormat,    // "auto-format detector error"
  kAreasDoNotFit,    // the chip's flash areas do not fit the image; nothing was loaded
  kFileError,        // 1: a non-empty line of the wrong kind
  kRecordTypeError,  // 2 (S format): "S" followed by an unknown type
  kDecodeError,      // 2 (Intel-Hex) or 3 (S format): the record does not decode
  kRecordError,      // 3 (Intel-Hex): type and data length disagree
  kAddressBelow,     // 4: record starts below the first flash area
  kAddressAbove,     // 5: record ends above the last flash area
  kElfUnreadable,    // an ELF file that cannot be read, or has nothing to load
  kElfOutsideAreas,  // an ELF segment that does not lie inside one flash area
};

struct HexLoadError {
  HexLoadFailure failure = HexLoadFailure::kFileOpen;
  int code = 0;           // the decoder's error code 1-5; 0 for the load's own failures
  size_t lineNumber = 0;  // 1-based line of a decoder error; 0 otherwise
  std::string caption;    // message-box caption
  std::string text;       // message text, e.g. "decode error in 12"
};

class HexLoadView {
 public:
  virtual ~HexLoadView() = default;
  // Progress window: form 0 (text only), not centred, no title, then the status text.
  virtual void ShowLoadStatus(const HexLoadStatus& status) = 0;
  // An OK-only message box without icon, owned by the progress window.
  virtual void ShowLoadError(const HexLoadError& error) = 0;
};

}  // namespace flash
