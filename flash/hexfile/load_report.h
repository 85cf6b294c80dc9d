// Shared by the hex-file loads: builds and shows a load error when a view is given.
#pragma once

#include <cstddef>
#include <string>

#include "flash/hexfile/hex_load_view.h"

namespace flash {

// Shows "<what> in <line>" under caption; nothing when view is null.
inline void ReportLineError(HexLoadView* view, const char* caption, HexLoadFailure failure,
                            int code, size_t lineNumber, const char* what) {
  if (view == nullptr) return;
  HexLoadError error;
  error.failure = failure;
  error.code = code;
  error.lineNumber = lineNumber;
  error.caption = caption;
  error.text = std::string(what) + " in " + std::to_string(lineNumber);
  view->ShowLoadError(error);
}

// Shows a failure of the load itself (no line number); nothing when view is null.
inline void ReportLoadError(HexLoadView* view, HexLoadFailure failure, const std::string& text,
                            const char* caption = kHexFileDecoderCaption) {
  if (view == nullptr) return;
  HexLoadError error;
  error.failure = failure;
  error.caption = caption;
  error.text = text;
  view->ShowLoadError(error);
}

}  // namespace flash
