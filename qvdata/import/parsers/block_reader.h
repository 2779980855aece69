// Sequential reading of a source file opened as byte blocks (RawFile), for
// the parsers of the block formats.
//
// The file is read in 10000-byte blocks into a window of at most 20000 bytes,
// so memory stays bounded whatever the size of the source. The reader gives
// bytes, looks ahead within the window, and cuts lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/file.h"

namespace qv {

class BlockReader {
 public:
  static constexpr size_t kBlock = 10000;
  static constexpr size_t kWindow = 20000;

  explicit BlockReader(File& f) : file_(&f) {}

  // Back to the start of the file.
  void rewind();
  // Byte offset (in the file) of the next byte to be read.
  int64_t position() const { return base_ + int64_t(pos_); }
  // Moves to a byte offset of the file (keeping the window when the offset
  // lies in it).
  void seek(int64_t offset);
  bool atEnd();
  // The byte at `ahead` bytes past the current one, or -1 past the end of the
  // file. `ahead` must be below kWindow - kBlock.
  int peek(size_t ahead = 0);
  int get();
  void skip(size_t n);
  // Does the input at the current position start with `s`?
  bool startsWith(std::string_view s);
  // Reads a line up to LF (the LF consumed, a CR before it dropped). A lone CR
  // also ends a line when `crEnds` is set (files with classic Mac line ends).
  // Lines are cut in pieces of at most `maxLength` bytes. False at end of file.
  bool readLine(std::string& line, size_t maxLength = 64000, bool crEnds = false);
  // Whether the last line read by readLine() ended at a line end; false when
  // it was cut at maxLength (the line goes on in the next piece) or ended with
  // the file.
  bool lineEnded() const { return lineEnded_; }
  // The bytes that ended the last line read by readLine() as the file holds
  // them ("\n", "\r\n" or "\r"); empty when lineEnded() is false.
  std::string_view lineEnd() const { return lineEnd_; }
  // Appends up to n bytes to `out`; returns how many were read.
  size_t read(std::string& out, size_t n);

 private:
  bool fill(size_t need);
  File* file_;
  std::string buf_;     // the window
  size_t pos_ = 0;      // next byte within buf_
  int64_t base_ = 0;    // file offset of buf_[0]
  int64_t next_ = 0;    // file offset of the next block to read
  bool eof_ = false;
  bool lineEnded_ = false;
  std::string_view lineEnd_;
};

}  // namespace qv
