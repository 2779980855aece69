#include "import/parsers/news_store_index.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "mime/mime_message.h"

namespace qv::news {

namespace {

std::string field(const std::string& entry, size_t at, size_t size) {
  std::string s = entry.substr(at, size);
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  size_t lead = 0;
  while (lead < s.size() && (s[lead] == ' ' || s[lead] == '\t')) ++lead;
  return mime::decodeHeader(std::string_view(s).substr(lead));
}

}  // namespace

std::string storeIndexPath(const std::string& storePath) {
  namespace fs = std::filesystem;
  fs::path p(storePath);
  for (const char* ext : {".IDX", ".idx"}) {
    fs::path candidate = p;
    candidate.replace_extension(ext);
    std::error_code ec;
    if (candidate != p && fs::is_regular_file(candidate, ec)) return candidate.string();
  }
  return {};
}

void StoreIndex::open(const std::string& storePath) {
  close();
  std::string path = storeIndexPath(storePath);
  if (path.empty()) return;
  RawFile2.setName(path);
  if (!RawFile2.open(Share::ReadOnly)) return;
  reader_ = std::make_unique<BlockReader>(RawFile2);
  reader_->rewind();
}

void StoreIndex::close() {
  if (!reader_) return;
  reader_.reset();
  RawFile2.close();
  aheadLoaded_ = false;
}

bool StoreIndex::loadAhead() {
  if (aheadLoaded_) return true;
  if (!reader_) return false;
  std::string entry;
  if (reader_->read(entry, kIndexEntrySize) != kIndexEntrySize) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(entry.data());
  aheadOffset_ = int64_t(b[0]) | int64_t(b[1]) << 8 | int64_t(b[2]) << 16 | int64_t(b[3]) << 24;
  ahead_.messageId = field(entry, 4, 60);
  ahead_.subject = field(entry, 64, 50);
  ahead_.from = field(entry, 114, 100);
  ahead_.references = field(entry, 214, 400);
  ahead_.newsgroups = field(entry, 614, 100);
  aheadLoaded_ = true;
  return true;
}

const IndexEntry* StoreIndex::entryFor(int64_t previous, int64_t start) {
  const IndexEntry* found = nullptr;
  while (loadAhead() && aheadOffset_ <= start) {
    if (aheadOffset_ > previous) {
      current_ = ahead_;
      found = &current_;
    }
    aheadLoaded_ = false;
  }
  return found;
}

}  // namespace qv::news
