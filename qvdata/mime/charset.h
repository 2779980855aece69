// Decoding message text in its charset to UTF-8.
//
// All text inside the program is UTF-8. Message sources carry text in many
// charsets: the one a part declares, or none at all. The rule is: the declared
// charset, else UTF-8 when the bytes are valid UTF-8, else Windows-1252 (the
// code page of the old readers' files). No byte is dropped silently: a byte
// that is not valid in the charset that is used is decoded as its
// Windows-1252 character instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::mime {

// The charset of 8-bit text that declares none and is not UTF-8: the code
// page of the system that wrote the store.
enum class LegacyCharset {
  Windows1252,  // Windows and DOS readers, and every store not known to come from elsewhere
  MacRoman,     // stores of the classic Mac OS (iconv's "MACINTOSH")
};

// The name of a legacy charset as the converter knows it.
const char* legacyCharsetName(LegacyCharset c);

// True when a charset label says nothing about 8-bit bytes: empty,
// US-ASCII and its aliases, and the labels mailers write for "unknown".
bool isUndeclaredCharset(std::string_view charset);

// Decodes bytes to UTF-8.
//
// declaredCharset is the charset a part names (any spelling MIME allows, for
// example "ISO-8859-1", "latin1", "\"utf-8\"", "ks_c_5601-1987"):
// - "ISO-8859-1" and its aliases are read as Windows-1252, as mail clients
//   write them;
// - "UTF-8" keeps every valid sequence; each byte of a broken sequence is read
//   as Windows-1252;
// - any other charset known to the system's converter is converted; a byte the
//   converter rejects is read as Windows-1252 and conversion goes on after it;
// - an empty, "US-ASCII" or unknown charset means "undeclared": each line is
//   taken as UTF-8 when it is valid UTF-8, else in the legacy charset
//   (Windows-1252 unless the store is known to come from a Mac).
// A leading byte-order mark is removed. Line ends are left as they are.
std::string decodeText(std::string_view bytes, std::string_view declaredCharset,
                       LegacyCharset legacy = LegacyCharset::Windows1252);

// Windows-1252 to UTF-8; the five codes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number.
std::string windows1252ToUtf8(std::string_view bytes);

// The Unicode character of one Windows-1252 code.
char32_t windows1252Char(unsigned char c);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// Appends a code point as UTF-8; invalid code points give U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

// The length of the longest prefix of s, at most maxBytes long, that does not
// end inside a UTF-8 sequence.
size_t utf8PrefixLength(std::string_view s, size_t maxBytes);

// Converts every line end (CR LF, LF alone or CR alone) to CR LF.
std::string toCrLf(std::string_view text);

}  // namespace qv::mime
