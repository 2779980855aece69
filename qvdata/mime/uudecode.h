// Uuencoded data decoded as uudecode decodes it: lines before the
// "begin <mode> <name>" line are passed over; each encoded line gives the
// bytes its first character counts, a line shorter than that count needs (its
// trailing blanks lost on the way) is read as if padded with blanks, which
// stand for zero bits, and a few characters past the count are passed over; the
// data ends at the line "end". Data that cannot be decoded whole (no begin
// line, characters that are no uuencoding, no end) is told as damaged.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qv::mime {

enum class UuDamage {
  None,      // decoded whole
  NoBegin,   // no "begin" line: no uuencoded data at all
  BadLine,   // a line holds characters that are no uuencoding
  NoEnd,     // the data stops before its "end" line
};

// What a damage means, for the user: "" for None.
std::string uuDamageText(UuDamage damage);

// The count of bytes an encoded line gives (its first character), or -1
// when the line is no encoded line: empty, or characters outside the
// uuencoding's range, or more than a few characters past its count. With
// `padded` a line shorter than its count needs is one (uudecode pads it).
int uuLineCount(std::string_view line, bool padded);

class UuDecoder {
 public:
  using Sink = std::function<void(const char*, size_t)>;
  explicit UuDecoder(Sink sink) : sink_(std::move(sink)) {}

  // Encoded bytes, in pieces of any size.
  void feed(const char* p, size_t n);
  // The end of the data: what was wrong with it.
  UuDamage finish();

 private:
  void line(std::string_view l);
  enum class State { Before, Data, Ended };
  Sink sink_;
  std::string partial_;
  std::string out_;
  State state_ = State::Before;
  UuDamage damage_ = UuDamage::None;
};

// Decodes uuencoded bytes whole; `damage` tells what was wrong.
std::string uudecode(std::string_view encoded, UuDamage& damage);

}  // namespace qv::mime
