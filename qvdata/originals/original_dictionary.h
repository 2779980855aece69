// A zstd dictionary per database: trained once on the first originals an
// import brings to the database, stored once in its Originals file (a row of
// its own, docs/originals.md) and named by the frame of every content
// packed with it. The header blocks of one mailbox repeat from message to
// message, which a dictionary lets zstd take from it instead of packing
// them again in every message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The originals a dictionary is trained on (the first ones of a database),
// and the fewest that make one worth having.
inline constexpr size_t kDictionarySamples = 1000;
inline constexpr size_t kDictionaryMinSamples = 200;
// The room a dictionary may take.
inline constexpr size_t kDictionaryMaxBytes = 110 * 1024;
inline constexpr size_t kDictionaryLeastBytes = 8 * 1024;
// Of each original, its start is what it lends to training: headers and
// the first text, not whole attachments.
inline constexpr size_t kDictionarySampleBytes = 16 * 1024;

// A dictionary's bytes (zstd's dictionary format) with the packing and
// unpacking states made from them once. Its ID (the format's Dictionary_ID)
// is taken from the SHA-256 of the bytes after the ID, so a dictionary whose
// bytes changed no longer matches its own ID.
class OriginalDictionary {
 public:
  ~OriginalDictionary();
  OriginalDictionary(const OriginalDictionary&) = delete;
  OriginalDictionary& operator=(const OriginalDictionary&) = delete;

  uint32_t id() const { return id_; }
  const std::string& bytes() const { return bytes_; }

  // `bytes` packed as one zstd frame with this dictionary at `level`; empty
  // on a failure of the packer.
  std::string pack(std::string_view bytes, int level) const;
  // Unpacks a frame packed with this dictionary into `out`, which must come
  // to `size` bytes.
  bool unpack(std::string_view data, uint64_t size, std::string& out) const;

  // The dictionary of stored `bytes`; null when they are not a whole
  // dictionary (damaged, or not one of these).
  static std::shared_ptr<const OriginalDictionary> fromBytes(std::string bytes);
  // A dictionary trained on the starts of `samples` (kDictionarySampleBytes
  // each); null when there are fewer than kDictionaryMinSamples or zstd
  // cannot train one from them. The same samples give the same dictionary.
  static std::shared_ptr<const OriginalDictionary> train(const std::vector<std::string>& samples);

 private:
  OriginalDictionary() = default;
  struct Tables;
  uint32_t id_ = 0;
  std::string bytes_;
  std::unique_ptr<Tables> tables_;
};

// The ID the bytes of a dictionary must carry: taken from the SHA-256 of
// what follows the ID field, in zstd's range for private dictionaries.
uint32_t dictionaryIdFor(std::string_view bytes);
// The dictionary a zstd frame was packed with (0: none).
uint32_t frameDictionaryId(std::string_view frame);

// The HASH of the Originals row that holds dictionary `id`, and whether a
// HASH names a dictionary row (content rows hold hex digits only).
std::string dictionaryRowName(uint32_t id);
bool isDictionaryRow(std::string_view hash);
// The ID a dictionary row's HASH names; 0 when it names none.
uint32_t dictionaryRowId(std::string_view hash);
inline constexpr std::string_view kDictionaryRowPrefix = "dictionary ";

}  // namespace qv
