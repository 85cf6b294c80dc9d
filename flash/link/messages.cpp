#include "flash/link/messages.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace flash {
namespace {

struct Entry {
  int id;
  const char* english;
  const char* japanese;
};

// Texts as the string tables hold them, UTF-8.
constexpr Entry kTable[] = {
    {201, " No.001 Download error", " No.001 ダウンロードエラー"},
    {203, " No.003 timeout error", " No.003 タイムアウトエラー"},
    {206, " No.006 Unable to open COM port.", " No.006 COMポートがオープンできません"},
    {207, " No.007 Unable to open Download file.", " No.007 ダウンロードファイルがオープンできません"},
    {210, " No.009 Unable to gain COM port info.", " No.009 COMポートの設定情報を取得できません"},
    {211, " No.010 Unable to change COM port setting.", " No.010 COMポートの設定情報を変更できません"},
    {212, " No.011 Communication error", " No.011 通信エラー"},
    {213, " No.012 Read error", " No.012 読み出しエラー"},
    {214, " No.013 Program error", " No.013 書き込みエラー"},
    {216, " No.015 COM port write error", " No.015 COMポート書き込みエラー"},
    {218, " No.016 COM port read error", " No.016 COMポート読み込みエラー"},
    {220, " No.017 file access error", " No.017 ファイルアクセスエラー"},
    {227, " No.207 memory is not available.", " No.207 メモリが足りません"},
    {301, "It Erased a flash", "Erase OK!"},
    {302, "A flash is Erased ", "Blank Check OK!"},
    {303, "The Programming ended normally", "Program OK!"},
    {305, "The flash and the hex file are identical", "Read && Compare OK!"},
    {306, "It ended normally completely", "Full Operation OK!"},
    {307, "It transferred a control program to the microcomputer", "Download OK!"},
    {308, "The Copy ending", "Copy OK!"},
    {401, " No.101 Please set \"hex file\"", " No.101 \"Hex File\" を設定してください"},
    {537, "Since the unrecoverable error occurred,\r\n please redo from download operation.", "回復不能なエラーが発生したため、\r\nダウンロード操作からやり直してください"},
    {560, "It was canceled", "Canceled"},
    {564, "A flash isn't erased", "Blank Check NG!"},
    {566, "There is a point of difference in the flash and the hex file", "Read && Compare NG!"},
    {572, " No.018 Erase error", " No.018 イレースエラー"},
    // Status texts of the progress window, the same in both tables.
    {502, " Decoding HexFile", " Decoding HexFile"},
    {510, " Erasing", " Erasing"},
    {511, " Blank Checking", " Blank Checking"},
    {516, " Downloading", " Downloading"},
    {517, " Copying", " Copying"},
    {562, "Programming", "Programming"},
    {563, "Reading && Comparing", "Reading && Comparing"},
    // Refusals of data that cannot be used safely.
    {590, " No.019 The flash areas of this microcontroller do not fit the flash image.",
     " No.019 このマイコンのフラッシュ領域はイメージに収まりません"},
    {591, " No.020 The control program file has an unusable size.",
     " No.020 制御プログラムファイルのサイズが不正です"},
    {592, " No.021 No baud rate for the chosen crystal frequency.",
     " No.021 選択した発振周波数のボーレートがありません"},
};

std::optional<Language> g_language;

bool StartsWithJa(const char* value) { return value != nullptr && std::strncmp(value, "ja", 2) == 0; }

}  // namespace

Language InterfaceLanguage() {
  // The first of these that is set and not empty decides, as for the C library's messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') {
      return StartsWithJa(value) ? Language::kJapanese : Language::kEnglish;
    }
  }
  return Language::kEnglish;
}

Language CurrentLanguage() {
  if (!g_language) g_language = InterfaceLanguage();
  return *g_language;
}

void SetLanguage(Language language) { g_language = language; }

std::string_view MessageText(int id, Language language) {
  for (const Entry& entry : kTable) {
    if (entry.id == id) return language == Language::kJapanese ? entry.japanese : entry.english;
  }
  return {};
}

std::string_view MessageText(int id) { return MessageText(id, CurrentLanguage()); }

std::string StaticControlText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        shown += '&';
        ++i;
      }
      continue;
    }
    shown += text[i];
  }
  return shown;
}

}  // namespace flash
