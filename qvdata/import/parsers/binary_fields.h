// Field readers for the binary files of the CompuServe readers (the WinCIM
// family's filing-cabinet files and the CompuServe 3.x message cabinet).
//
// Encodings: a string is one length byte and that many bytes; 16- and 32-bit
// integers are stored least significant byte first; a date is day, month and
// year minus 1970 (one byte each, in the WinCIM family after four bytes that
// are passed over); a time is seconds, minutes and hours (one byte each). The
// CompuServe 3.x cabinet packs date and time into one 32-bit value.
//
// Every read is checked against the bytes that are there: a FieldReader reads
// up to a limit (the end of a record) or the end of the file, and a read that
// would run past it reads nothing and breaks the reader. A broken reader gives
// 0 and empty texts from then on, so a parser reads a message's fields in
// order and asks ok() once before it uses them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/parsers/block_reader.h"
#include "import/parsers/message_record.h"

namespace qv::cis {

class FieldReader {
 public:
  // Reads from the reader's current position up to the file offset `limit`,
  // or up to the end of the file when `limit` is negative.
  explicit FieldReader(BlockReader& r, int64_t limit = -1) : r_(&r), limit_(limit) {}

  // True while every read found all its bytes.
  bool ok() const { return ok_; }
  // Offset in the file of the next byte.
  int64_t position() const { return r_->position(); }
  // True when at least n more bytes can be read.
  bool has(uint64_t n);
  // True when no byte is left.
  bool atEnd();
  // Bytes left before the limit; -1 for a reader without a limit.
  int64_t remaining() const;

  // Marks the data as broken (a value read makes no sense).
  void fail() { ok_ = false; }

  uint8_t byte();
  uint16_t u16();
  uint32_t u32();
  void skip(uint64_t n);
  // Moves forward to a file offset. An offset behind the current position,
  // or past the data, breaks the reader.
  void skipTo(int64_t offset);
  // A string (length byte and bytes) decoded to UTF-8 (the bytes as they are
  // when they are valid UTF-8, else read as Windows-1252), trailing NULs and
  // surrounding blanks removed, cut to at most `maxChars` characters.
  std::string string(size_t maxChars);
  // A date of the WinCIM family: four bytes passed over, then day, month and
  // year minus 1970. 0 when it is not a possible date.
  int32_t date();
  // Day, month and year minus 1970 without the four leading bytes.
  int32_t dayMonthYear();
  // Seconds, minutes, hours; 0 when they are not a time of day.
  int32_t time();
  // A message text of n bytes (the rest of the data when n is npos): at most
  // enough bytes for the longest stored text are kept and the rest is passed
  // over. With `dropMarker` a leading "@l" is removed. See messageText().
  std::string text(uint64_t n, bool dropMarker);

  static constexpr uint64_t npos = ~uint64_t(0);

 private:
  bool take(size_t n, std::string& out);
  BlockReader* r_;
  int64_t limit_;
  bool ok_ = true;
};

struct PackedDateTime {
  int32_t date = 0;  // day number; 0 when not a date
  int32_t time = 0;  // hundredths since midnight + 1; 0 when not a time
};

// The CompuServe 3.x date and time: the low 16 bits hold the time (bits 0-4
// seconds divided by 2, bits 5-10 minutes, bits 11-15 hours), the high 16 bits
// the date (bits 0-4 day, bits 5-8 month, bits 9-15 year minus 1970).
PackedDateTime unpackDateTime(uint32_t value);

// A message text from source bytes: line ends made CR LF (a lone LF or CR
// becomes CR LF), NUL bytes dropped (they pad texts, they are none), decoded to UTF-8 (as they are when valid UTF-8, else
// Windows-1252) and cut on a character boundary at kMaxText bytes. `cut`
// tells that the bytes were cut from a longer text, so an incomplete UTF-8
// sequence at their end does not make them invalid.
std::string messageText(std::string_view raw, bool cut);

// A name or address text: decoded like a text, trailing NULs and surrounding
// blanks removed, cut to at most `maxChars` characters.
std::string fieldText(std::string_view raw, size_t maxChars);

// A string cut to at most `maxChars` characters (UTF-8).
std::string cutChars(std::string_view s, size_t maxChars);

// An address less a leading "INTERNET:" (any case).
std::string withoutInternetPrefix(std::string_view address);

// A subject less a leading "Copy of:" and the blanks after it.
std::string withoutCopyOf(std::string_view subject);

// A mail's sender name: surrounding double quotes removed; empty when it only
// repeats the sender's address, as stored (`rawAddress`) or as kept
// (`address`).
std::string senderName(std::string name, std::string_view rawAddress, std::string_view address);

// Reads `count` recipient entries of one type: a name and an address (less
// "INTERNET:"), each string cut to `maxChars` characters, and `gap` bytes
// passed over. An entry is added when it was read whole.
void readRecipients(FieldReader& f, size_t count, size_t maxChars, uint64_t gap, const char* type,
                    std::vector<Recipient>& out);

}  // namespace qv::cis
