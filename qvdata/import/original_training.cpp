#include "import/original_training.h"

#include <algorithm>

namespace qv {

void OriginalTraining::known(uint32_t target, std::shared_ptr<const OriginalDictionary> dictionary) {
  Entry& e = targets_[target];
  e.dictionary = std::move(dictionary);
  e.done = e.dictionary != nullptr;
}

std::shared_ptr<const OriginalDictionary> OriginalTraining::dictionary(uint32_t target) const {
  auto it = targets_.find(target);
  return it == targets_.end() ? nullptr : it->second.dictionary;
}

bool OriginalTraining::sample(uint32_t target, std::string_view bytes) {
  Entry& e = targets_[target];
  if (e.done) return false;
  size_t n = std::min(bytes.size(), kDictionarySampleBytes);
  if (held_ + n > kSampleBudget) {
    // No room for this database's samples: it gets no dictionary in this
    // run, and the samples it held wait for posting without one.
    e.done = true;
    return false;
  }
  e.samples.emplace_back(bytes.substr(0, n));
  held_ += n;
  if (e.samples.size() >= kDictionarySamples) train(e);
  return true;
}

void OriginalTraining::trainRest() {
  for (auto& [target, e] : targets_)
    if (!e.done) train(e);
}

void OriginalTraining::train(Entry& e) {
  e.dictionary = OriginalDictionary::train(e.samples);
  e.done = true;
  for (const std::string& s : e.samples) held_ -= s.size();
  e.samples.clear();
  e.samples.shrink_to_fit();
}

}  // namespace qv
