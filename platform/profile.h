// Profile (INI) files with the private-profile behaviour of the original platform:
// section and key names compared without case; values trimmed of blanks and unquoted
// when in matching quotes; files with CR LF or LF; lines before the first section and
// lines that are not "key=value" are ignored on reading and kept on writing. The file is
// read anew at every call, so a change on disk is seen by the next lookup.
//
// Line syntax: blanks (space, tab, CR, VT, FF) around a line are ignored. A line whose first
// character is ';' is a comment. A line that starts with '[' and holds a ']' is a section
// header; the name is what stands between the '[' and the last ']', trimmed. Any other line
// with an '=' is key=value: the key is the text before the first '=', the value the text
// after it, both trimmed. A value that starts and ends with the same quote character
// (" or ') and is at least two characters long loses those two quotes.
//
// Repeated sections (the same name twice, in any case) act as one: a lookup finds the
// first occurrence of the key across the repeats in file order, and the section is listed
// once, at its first place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Section names in file order (a repeated section is listed once, at its first place).
// An unreadable or missing file gives an empty list.
std::vector<std::string> GetProfileSectionNames(const std::string& path);

// The value of key in section (first occurrence, sections merged when repeated), or
// defaultValue when the file, section or key is missing.
std::string GetProfileString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& defaultValue);

// Integer value: optional blanks and sign, then decimal digits, or hexadecimal digits after
// "0x"/"0X"; reading stops at the first other character; too many digits wrap around in 32
// bits. defaultValue when the key is missing or its value is empty; 0 when the value holds
// no digits.
int32_t GetProfileInt(const std::string& path, const std::string& section,
                      const std::string& key, int32_t defaultValue);

// Sets key=value in section, creating the file, the section (at the end) or the key (at the
// end of the section's first occurrence) as needed; replaces an existing value (the one a
// lookup finds); keeps every other line, comment and line ending. New lines end like the
// file's first line (CR LF in a new file). Written atomically (temp file, then rename).
// Returns true on success; false also when the names or the value cannot be stored as one
// line (a line break or NUL anywhere, an empty key, a key with '=' or starting with ';' or
// '[').
bool WriteProfileString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value);

// The same operations on a profile text in memory; the file functions above use them.
std::vector<std::string> ProfileSectionNamesInText(std::string_view text);
// The value as GetProfileString returns it, or nothing when the section or key is missing.
std::optional<std::string> FindProfileValueInText(std::string_view text, std::string_view section,
                                                  std::string_view key);
// Converts a value by the GetProfileInt rule (the value is present).
int32_t ParseProfileInt(std::string_view value);
// Sets key=value in text as WriteProfileString does. Returns false, leaving text unchanged,
// when the names or value cannot be stored.
bool SetProfileStringInText(std::string& text, std::string_view section, std::string_view key,
                            std::string_view value);

}  // namespace platform
