// How the bytes of an original are kept: named by the SHA-256 of the bytes,
// packed with zstd (or kept as they are when packing does not make them
// smaller). The packings that older or other writers may have used are read
// as well.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dictionary/original_limits.h"

namespace qv {

// Originals.PACKING.
enum OriginalPacking : uint8_t {
  PackStored = 0,  // DATA holds the bytes as they are
  PackZlib = 1,    // a zlib stream (RFC 1950)
  PackZstd = 2,    // one zstd frame
  PackZstdDictionary = 3,  // one zstd frame packed with the dictionary its header names
};

// The packing new originals are written with, and its level.
inline constexpr OriginalPacking kOriginalPacking = PackZstd;
inline constexpr int kOriginalPackLevel = 1;
// The level originals are packed at with the database's dictionary: with
// one, level 3 packs about as fast as level 1 and some 3 % smaller.
inline constexpr int kOriginalDictionaryLevel = 3;

class OriginalDictionary;

// The bytes of an original ready for the store.
struct PackedOriginal {
  std::string hash;     // SHA-256 of the bytes, 64 lower-case hex digits
  uint32_t size = 0;    // bytes of the original
  uint8_t packing = PackStored;
  std::string data;     // the packed bytes
};

// `bytes` as lower-case hex digits, two for each byte.
std::string hexDigits(std::string_view bytes);
// SHA-256 of `bytes` in lower-case hex.
std::string originalHash(std::string_view bytes);

// `bytes` packed with `packing` at `level` (the packing's own scale; 0 its
// default). Empty on a failure of the packer.
std::string packBytes(std::string_view bytes, int packing, int level = 0);
// Unpacks `data` of a packing into `out`, which must come to `size` bytes.
// False for a packing not known, damaged data or another size, and for
// PackZstdDictionary without the dictionary the frame names.
bool unpackBytes(std::string_view data, int packing, uint64_t size, std::string& out,
                 const OriginalDictionary* dictionary = nullptr);

// The original `bytes` hashed and packed with kOriginalPacking, or with
// `dictionary` when there is one; kept as they are when packing does not
// make them smaller.
PackedOriginal packOriginal(std::string_view bytes, const OriginalDictionary* dictionary = nullptr);
// The same for bytes whose hash is known already.
PackedOriginal packOriginal(std::string_view bytes, std::string hash, const OriginalDictionary* dictionary);

}  // namespace qv
