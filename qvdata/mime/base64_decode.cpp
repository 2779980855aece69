#include "mime/base64_decode.h"

#include <array>

namespace qv::mime {

namespace {

constexpr int kNone = -1;
constexpr size_t kFlushAt = 65536;  // decoded bytes gathered before they go to the sink

// The value of each alphabet character, kNone for the others.
constexpr std::array<int, 256> makeValues() {
  std::array<int, 256> v{};
  for (int& x : v) x = kNone;
  for (int i = 0; i < 26; ++i) {
    v['A' + i] = i;
    v['a' + i] = 26 + i;
  }
  for (int i = 0; i < 10; ++i) v['0' + i] = 52 + i;
  v['+'] = 62;
  v['/'] = 63;
  return v;
}

constexpr std::array<int, 256> kValues = makeValues();

}  // namespace

void Base64Decoder::feed(const char* p, size_t n) {
  for (size_t i = 0; i < n && !ended_; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == '=') {
      // Padding after a group begun ends the data; a "=" elsewhere is junk.
      if (count_ >= 2) {
        endGroup();
        ended_ = true;
      }
      continue;
    }
    int v = kValues[c];
    if (v == kNone) continue;
    bits_ = (bits_ << 6) | uint32_t(v);
    if (++count_ == 4) {
      out_ += char(bits_ >> 16);
      out_ += char(bits_ >> 8);
      out_ += char(bits_);
      bits_ = 0;
      count_ = 0;
    }
  }
  if (out_.size() >= kFlushAt) {
    sink_(out_.data(), out_.size());
    out_.clear();
  }
}

// A group of fewer than four characters: two give one byte, three two.
void Base64Decoder::endGroup() {
  if (count_ >= 2) {
    uint32_t b = bits_ << (6 * (4 - count_));
    out_ += char(b >> 16);
    if (count_ == 3) out_ += char(b >> 8);
  }
  bits_ = 0;
  count_ = 0;
}

void Base64Decoder::finish() {
  endGroup();
  if (!out_.empty()) sink_(out_.data(), out_.size());
  out_.clear();
}

}  // namespace qv::mime
