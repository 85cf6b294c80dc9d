// The numbered texts of the GUI programmer: one table in English and one in Japanese with
// the same numbers. The table in use is that of the user's interface language, taken from
// the environment as the C library would (LC_ALL, then LC_MESSAGES, then LANG; a value
// starting with "ja" means Japanese, anything else English).
#pragma once

#include <string>
#include <string_view>

namespace flash {

enum class Language { kEnglish, kJapanese };

// Message numbers used by the target link.
enum MessageId : int {
  kMsgDownloadError = 201,
  kMsgTimeout = 203,
  kMsgCannotOpenPort = 206,
  kMsgCannotOpenDownloadFile = 207,
  kMsgCannotGetPortInfo = 210,
  kMsgCannotChangePortSetting = 211,
  kMsgCommunicationError = 212,
  kMsgReadError = 213,
  kMsgProgramError = 214,
  kMsgPortWriteError = 216,
  kMsgPortReadError = 218,
  kMsgFileAccessError = 220,
  kMsgNoMemory = 227,
  kMsgEraseOk = 301,
  kMsgBlankOk = 302,
  kMsgProgramOk = 303,
  kMsgCompareOk = 305,
  kMsgFullOperationOk = 306,
  kMsgDownloadOk = 307,
  kMsgCopyOk = 308,
  kMsgSetHexFile = 401,
  kMsgDecodingHexFile = 502,
  kMsgErasing = 510,
  kMsgBlankChecking = 511,
  kMsgDownloading = 516,
  kMsgCopying = 517,
  kMsgRedoDownload = 537,
  kMsgCancelled = 560,
  kMsgProgramming = 562,
  kMsgReadingComparing = 563,
  kMsgNotErased = 564,
  kMsgCompareDiffers = 566,
  kMsgEraseError = 572,
  // Refusals this program adds where the data cannot be used safely.
  kMsgAreasDoNotFit = 590,
  kMsgBadControlProgramSize = 591,
  kMsgNoBaudForClock = 592,
};

// The language of the user's interface, from the environment.
Language InterfaceLanguage();
// The language the link uses; InterfaceLanguage() until SetLanguage() overrides it.
Language CurrentLanguage();
void SetLanguage(Language language);

// Text of a message number in a language, or an empty view for an unknown number.
std::string_view MessageText(int id, Language language);
std::string_view MessageText(int id);  // in CurrentLanguage()

// How a static text control shows a resource text: "&&" becomes "&", a lone "&" (a
// mnemonic marker) disappears.
std::string StaticControlText(std::string_view text);

// The prefix of a step's status text inside Full Operation.
inline constexpr std::string_view kFullOperationStatusPrefix = "Full Operation - ";

}  // namespace flash
