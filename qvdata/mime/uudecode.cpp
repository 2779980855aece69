#include "mime/uudecode.h"

#include <cstring>

namespace qv::mime {

namespace {

constexpr unsigned char kFirst = 32;  // the blank: zero bits
constexpr unsigned char kLast = 96;   // the backquote: zero bits too
constexpr size_t kSlack = 3;          // characters a line may carry past its count

std::string_view withoutLineEnd(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool uuChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= kFirst && u <= kLast;
}

int bits(char c) { return (static_cast<unsigned char>(c) - kFirst) & 63; }

}  // namespace

std::string uuDamageText(UuDamage damage) {
  switch (damage) {
    case UuDamage::None: return "";
    case UuDamage::NoBegin: return "its uuencoded data has no begin line";
    case UuDamage::BadLine: return "its uuencoded data holds characters that are no uuencoding";
    case UuDamage::NoEnd: return "its uuencoded data stops before its end line";
  }
  return "";
}

int uuLineCount(std::string_view l, bool padded) {
  if (l.empty()) return -1;
  for (char c : l)
    if (!uuChar(c)) return -1;
  int count = bits(l[0]);
  size_t need = size_t((count + 2) / 3 * 4);
  size_t have = l.size() - 1;
  if (count == 0) return padded || have <= 2 ? 0 : -1;
  if (have > need + kSlack || (have < need && !padded)) return -1;
  return count;
}

void UuDecoder::feed(const char* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    const char* nl = static_cast<const char*>(std::memchr(p + i, '\n', n - i));
    size_t end = nl ? size_t(nl - p) + 1 : n;
    partial_.append(p + i, end - i);
    i = end;
    if (nl) {
      line(withoutLineEnd(partial_));
      partial_.clear();
    }
  }
}

UuDamage UuDecoder::finish() {
  if (!partial_.empty()) line(withoutLineEnd(partial_));
  partial_.clear();
  if (state_ == State::Before) return UuDamage::NoBegin;
  if (state_ == State::Data && damage_ == UuDamage::None) damage_ = UuDamage::NoEnd;
  return damage_;
}

void UuDecoder::line(std::string_view l) {
  switch (state_) {
    case State::Before:
      if (l.substr(0, 6) == "begin ") state_ = State::Data;
      return;
    case State::Ended:
      return;
    case State::Data:
      break;
  }
  std::string_view trimmed = l;
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) trimmed.remove_suffix(1);
  if (trimmed == "end") {
    state_ = State::Ended;
    return;
  }
  // A line of blanks lost them all: a line of no bytes.
  if (trimmed.empty()) return;
  int count = uuLineCount(l, true);
  if (count < 0) {
    if (damage_ == UuDamage::None) damage_ = UuDamage::BadLine;
    return;
  }
  out_.clear();
  // Each four characters give three bytes; missing characters are blanks.
  auto at = [&](size_t i) { return i < l.size() ? bits(l[i]) : 0; };
  for (size_t i = 1; out_.size() < size_t(count); i += 4) {
    int a = at(i), b = at(i + 1), c = at(i + 2), d = at(i + 3);
    out_ += char((a << 2) | (b >> 4));
    if (out_.size() < size_t(count)) out_ += char(((b & 15) << 4) | (c >> 2));
    if (out_.size() < size_t(count)) out_ += char(((c & 3) << 6) | d);
  }
  sink_(out_.data(), out_.size());
}

std::string uudecode(std::string_view encoded, UuDamage& damage) {
  std::string out;
  UuDecoder d([&](const char* p, size_t n) { out.append(p, n); });
  d.feed(encoded.data(), encoded.size());
  damage = d.finish();
  return out;
}

}  // namespace qv::mime
