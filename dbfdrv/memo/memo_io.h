// Byte-level helpers of the memo files: whole reads and writes at an offset
// and the header's numbers in both byte orders.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbf::memoio {

// Reads up to n bytes at offset; answers the number read (less at the end
// of the file) or -1 on a read error.
long long readAt(int fd, void* buf, size_t n, uint64_t offset);
// Writes all n bytes at offset; false on a write error.
bool writeAt(int fd, const void* buf, size_t n, uint64_t offset);
// The file's size in bytes, or -1.
long long fileSize(int fd);

inline uint32_t getBE32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint32_t getLE32(const unsigned char* p) {
  return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}
inline void putBE32(unsigned char* p, uint32_t v) {
  p[0] = v >> 24, p[1] = v >> 16, p[2] = v >> 8, p[3] = v;
}
inline void putLE32(unsigned char* p, uint32_t v) {
  p[3] = v >> 24, p[2] = v >> 16, p[1] = v >> 8, p[0] = v;
}

}  // namespace dbf::memoio
