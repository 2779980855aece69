#include "originals/original_packing.h"

#include "originals/original_dictionary.h"

#include <openssl/evp.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <memory>

namespace qv {

namespace {

// One packing state for every message packed on this thread, instead of
// one made and freed per message.
ZSTD_CCtx* packContext() {
  thread_local std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> c(ZSTD_createCCtx(), ZSTD_freeCCtx);
  return c.get();
}

}  // namespace

std::string hexDigits(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex(bytes.size() * 2, '0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    hex[2 * i] = kHex[uint8_t(bytes[i]) >> 4];
    hex[2 * i + 1] = kHex[uint8_t(bytes[i]) & 15];
  }
  return hex;
}

// OpenSSL's SHA-256 uses the processor's SHA instructions where it has them.
std::string originalHash(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  return hexDigits(std::string_view(reinterpret_cast<const char*>(digest), length));
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
      size_t rc = ZSTD_compressCCtx(packContext(), out.data(), n, bytes.data(), bytes.size(),
                                    level == 0 ? ZSTD_CLEVEL_DEFAULT : level);
      if (ZSTD_isError(rc)) return {};
      out.resize(rc);
      break;
    }
    default: return {};
  }
  return out;
}

bool unpackBytes(std::string_view data, int packing, uint64_t size, std::string& out,
                 const OriginalDictionary* dictionary) {
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
    case PackZstdDictionary: return dictionary && dictionary->unpack(data, size, out);
    default: return false;
  }
}

PackedOriginal packOriginal(std::string_view bytes, const OriginalDictionary* dictionary) {
  return packOriginal(bytes, originalHash(bytes), dictionary);
}

PackedOriginal packOriginal(std::string_view bytes, std::string hash, const OriginalDictionary* dictionary) {
  PackedOriginal p;
  p.hash = std::move(hash);
  p.size = uint32_t(bytes.size());
  int packing = dictionary ? PackZstdDictionary : kOriginalPacking;
  std::string packed = dictionary ? dictionary->pack(bytes, kOriginalDictionaryLevel)
                                  : packBytes(bytes, kOriginalPacking, kOriginalPackLevel);
  if (!packed.empty() && packed.size() < bytes.size()) {
    p.packing = uint8_t(packing);
    p.data = std::move(packed);
  } else {
    p.packing = PackStored;
    p.data.assign(bytes);
  }
  return p;
}

}  // namespace qv
