// CRC-16 of the block frames and the two message tables.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "flash/link/crc16.h"
#include "flash/link/messages.h"

namespace flash {
namespace {

TEST(Crc16Test, KnownValuesAndFrameCheck) {
  const std::string abc = "abc";
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(abc.data()), abc.size()), 0x9DD6);
  const std::string check = "123456789";
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x31C3);
  EXPECT_EQ(Crc16(nullptr, 0), 0);

  // Data followed by its CRC, high byte first, checks to 0; any flipped bit does not.
  std::vector<uint8_t> frame(514);
  for (size_t i = 0; i < 512; ++i) frame[i] = static_cast<uint8_t>(i * 31 + 5);
  const uint16_t crc = Crc16(frame.data(), 512);
  frame[512] = static_cast<uint8_t>(crc >> 8);
  frame[513] = static_cast<uint8_t>(crc);
  EXPECT_EQ(Crc16(frame.data(), frame.size()), 0);
  frame[512] = static_cast<uint8_t>(frame[512] + 1);
  EXPECT_NE(Crc16(frame.data(), frame.size()), 0);
}

TEST(MessagesTest, SameNumbersInBothTables) {
  for (int id : {201, 203, 206, 207, 210, 211, 212, 213, 214, 216, 218, 220, 227, 301, 302, 303, 305, 306,
                 307, 308, 401, 502, 510, 511, 516, 517, 537, 560, 562, 563, 564, 566, 572}) {
    EXPECT_FALSE(MessageText(id, Language::kEnglish).empty()) << id;
    EXPECT_FALSE(MessageText(id, Language::kJapanese).empty()) << id;
  }
  EXPECT_TRUE(MessageText(999, Language::kEnglish).empty());
}

TEST(MessagesTest, TextsAsTheTablesHoldThem) {
  struct Case {
    int id;
    Language language;
    const char* text;
  };
  const Case cases[] = {
      {201, Language::kEnglish, " No.001 Download error"},
      {201, Language::kJapanese, " No.001 \xE3\x83\x80\xE3\x82\xA6\xE3\x83\xB3\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\x89"
                                 "\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC"},
      {302, Language::kEnglish, "A flash is Erased "},
      {305, Language::kJapanese, "Read && Compare OK!"},
      {401, Language::kEnglish, " No.101 Please set \"hex file\""},
      {537, Language::kEnglish, "Since the unrecoverable error occurred,\r\n please redo from download operation."},
      {560, Language::kJapanese, "Canceled"},
      {563, Language::kJapanese, "Reading && Comparing"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageText(c.id, c.language), c.text) << c.id;
}

TEST(MessagesTest, StaticControlShowsSingleAmpersand) {
  EXPECT_EQ(StaticControlText("Reading && Comparing"), "Reading & Comparing");
  EXPECT_EQ(StaticControlText("&Copy"), "Copy");
  EXPECT_EQ(StaticControlText("plain"), "plain");
}

TEST(MessagesTest, LanguageFollowsTheEnvironment) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    Language expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, "ja_JP.UTF-8", Language::kJapanese},
      {nullptr, nullptr, "en_US.UTF-8", Language::kEnglish},
      {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", Language::kJapanese},
      {"C.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", Language::kEnglish},
      {"ja", nullptr, nullptr, Language::kJapanese},
      {"", "", "", Language::kEnglish},
      {nullptr, nullptr, nullptr, Language::kEnglish},
  };
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::string saved[3];
  bool had[3];
  for (int i = 0; i < 3; ++i) {
    const char* v = std::getenv(names[i]);
    had[i] = v != nullptr;
    if (v) saved[i] = v;
  }
  for (const Case& c : cases) {
    const char* values[] = {c.lcAll, c.lcMessages, c.lang};
    for (int i = 0; i < 3; ++i) {
      if (values[i]) setenv(names[i], values[i], 1);
      else unsetenv(names[i]);
    }
    EXPECT_EQ(InterfaceLanguage(), c.expected) << (c.lang ? c.lang : "-");
  }
  for (int i = 0; i < 3; ++i) {
    if (had[i]) setenv(names[i], saved[i].c_str(), 1);
    else unsetenv(names[i]);
  }
}

}  // namespace
}  // namespace flash
