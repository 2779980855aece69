#include "originals/original_packing.h"

#include <openssl/evp.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>

namespace qv {

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them.
std::string originalHash(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex(size_t(length) * 2, '0');
  for (unsigned int i = 0; i < length; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 15];
  }
  return hex;
}

std::string packBytes(std::string_view bytes, int packing, int level) {
  std::string out;
  switch (packing) {
    case PackStored: out.assign(bytes); break;
    case PackZlib: {
      uLongf n = compressBound(uLong(bytes.size()));
      out.resize(n);
      int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(bytes.data()),
                         uLong(bytes.size()), level == 0 ? Z_DEFAULT_COMPRESSION : level);
      if (rc != Z_OK) return {};
      out.resize(n);
      break;
    }
    case PackZstd: {
      size_t n = ZSTD_compressBound(bytes.size());
      out.resize(n);
      size_t rc = ZSTD_compress(out.data(), n, bytes.data(), bytes.size(), level == 0 ? ZSTD_CLEVEL_DEFAULT : level);
      if (ZSTD_isError(rc)) return {};
      out.resize(rc);
      break;
    }
    default: return {};
  }
  return out;
}

bool unpackBytes(std::string_view data, int packing, uint64_t size, std::string& out) {
  out.clear();
  if (size > uint64_t(kOriginalMaxBytes)) return false;
  switch (packing) {
    case PackStored:
      if (data.size() != size) return false;
      out.assign(data);
      return true;
    case PackZlib: {
      out.resize(size_t(size));
      uLongf n = uLongf(size);
      int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                          uLong(data.size()));
      if (rc != Z_OK || n != size) {
        out.clear();
        return false;
      }
      return true;
    }
    case PackZstd: {
      unsigned long long framed = ZSTD_getFrameContentSize(data.data(), data.size());
      if (framed != size) return false;
      out.resize(size_t(size));
      size_t rc = ZSTD_decompress(out.data(), out.size(), data.data(), data.size());
      if (ZSTD_isError(rc) || rc != size) {
        out.clear();
        return false;
      }
      return true;
    }
    default: return false;
  }
}

PackedOriginal packOriginal(std::string_view bytes) {
  PackedOriginal p;
  p.hash = originalHash(bytes);
  p.size = uint32_t(bytes.size());
  std::string packed = packBytes(bytes, kOriginalPacking, kOriginalPackLevel);
  if (!packed.empty() && packed.size() < bytes.size()) {
    p.packing = kOriginalPacking;
    p.data = std::move(packed);
  } else {
    p.packing = PackStored;
    p.data.assign(bytes);
  }
  return p;
}

}  // namespace qv
