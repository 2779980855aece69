// How an import packs the originals of each database it writes to: with the
// database's dictionary when it has one; while it has none, its first
// originals wait unpacked (in the temporary file) as the samples a
// dictionary is trained on, once enough of them are there or the conversion
// ends, and are packed with it when they are posted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "originals/original_dictionary.h"

namespace qv {

// What the samples of all databases of a run may hold in memory together.
inline constexpr size_t kSampleBudget = 64u * 1024 * 1024;

class OriginalTraining {
 public:
  // The dictionary database `target` has (null: none yet).
  void known(uint32_t target, std::shared_ptr<const OriginalDictionary> dictionary);
  std::shared_ptr<const OriginalDictionary> dictionary(uint32_t target) const;
  // Offers an original of `target` while it has no dictionary: true when it
  // is taken as a sample (its record then waits unpacked), false when it is
  // to be packed now without one. The kDictionarySamples-th sample trains
  // the dictionary.
  bool sample(uint32_t target, std::string_view bytes);
  // At the end of the conversion: a dictionary for every database holding
  // at least kDictionaryMinSamples samples.
  void trainRest();

 private:
  struct Entry {
    std::shared_ptr<const OriginalDictionary> dictionary;
    std::vector<std::string> samples;
    bool done = false;  // trained, or no dictionary in this run
  };
  void train(Entry& e);

  std::map<uint32_t, Entry> targets_;
  size_t held_ = 0;
};

}  // namespace qv
