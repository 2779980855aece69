// Base64 content decoded as mail readers decode it: characters outside the
// alphabet (line ends, blanks, junk) are passed over; the "=" padding of a
// last group ends the data (what follows it, such as a broken closing
// boundary and text after it, is no data); and a last group that lost its
// padding still gives its bytes (two characters one byte, three characters
// two), which a decoder that waits for four characters would drop from the
// end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qv::mime {

class Base64Decoder {
 public:
  using Sink = std::function<void(const char*, size_t)>;
  explicit Base64Decoder(Sink sink) : sink_(std::move(sink)) {}

  // Encoded bytes, in pieces of any size.
  void feed(const char* p, size_t n);
  // The end of the content: the bytes of a last group without padding.
  void finish();

 private:
  void endGroup();
  Sink sink_;
  std::string out_;
  uint32_t bits_ = 0;
  int count_ = 0;  // characters of the group read so far
  bool ended_ = false;  // the padding of the last group was read
};

}  // namespace qv::mime
