// The page cache of the posting driver's file inside a transaction across
// files. The kept-back edits are all written at the commit; a cache smaller
// than the pages they dirty spills dirty pages to the file before the
// commit, which writes them twice and takes the file's exclusive lock early.
//
// Rules:
// - Before the edits are written the file's cache on the transaction's
//   connection is made large enough for every page the write can dirty (at
//   most every page of the file and the pages of what is added), never
//   beyond kMaxCacheBytes and never smaller than it was.
// - The pages spilled before the commit are counted (postingCacheSpills).
#include <algorithm>

#include "storage/posting_driver.h"

namespace qv {

namespace {
// The largest page cache the write of the edits asks for.
constexpr int64_t kMaxCacheBytes = int64_t(512) << 20;
// Pages for the b-trees' inner pages and the free list, above the estimate.
constexpr int64_t kSparePages = 256;
// Bytes a list row takes beyond its numbers, and bytes per number at most.
constexpr int64_t kRowBytes = 48;
constexpr int64_t kNumberBytes = 5;
}  // namespace

bool PostingDriver::pragmaValue(const std::string& name, int64_t& value) {
  sqlite3_stmt* st = nullptr;
  std::string sql = "PRAGMA \"" + cur_->schema + "\"." + name;
  if (sqlite3_prepare_v2(cur_->db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  bool ok = sqlite3_step(st) == SQLITE_ROW;
  if (ok) value = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return ok;
}

// Pages the cache of the file holds at most (cache_size counts pages when
// positive, KiB when negative).
int64_t PostingDriver::cachePages(int64_t pageSize) {
  int64_t size = 0;
  if (!pragmaValue("cache_size", size)) return 0;
  return size >= 0 ? size : -size * 1024 / pageSize;
}

void PostingDriver::raiseCache(int64_t bytes) {
  int64_t pageSize = 0;
  if (!pragmaValue("page_size", pageSize) || pageSize <= 0) return;
  int64_t pages = std::min(bytes, kMaxCacheBytes) / pageSize;
  if (pages <= cachePages(pageSize)) return;
  exec("PRAGMA \"" + cur_->schema + "\".cache_size = " + std::to_string(pages));
}

void PostingDriver::sizeCacheForEdits() {
  int64_t pageSize = 0, filePages = 0;
  if (!pragmaValue("page_size", pageSize) || pageSize <= 0 || !pragmaValue("page_count", filePages)) return;
  int64_t rows = 0, bytes = 0;
  for (uint32_t word : edits_[Words].ordered()) {
    const Edit& e = *edits_[Words].find(word);
    ++rows;
    bytes += kRowBytes + kNumberBytes * int64_t(e.rewrite ? e.ids.size() : e.added.size());
  }
  for (uint32_t msg : edits_[Messages].ordered()) {
    const Edit& e = *edits_[Messages].find(msg);
    rows += 3;  // its words, its place in file order, its sequence
    bytes += 3 * kRowBytes + kNumberBytes * int64_t(e.ids.size() + e.tokens.size());
  }
  int64_t textWordBytes = 0;
  for (size_t i = textWritten_; i < textPending_.size(); ++i)
    textWordBytes += kRowBytes + int64_t(textPending_[i].second.size());
  rows += int64_t(textPending_.size() - textWritten_);
  bytes += 2 * textWordBytes;  // the row and its unique index
  // Every page a changed row may lie on, and twice the bytes of what is new.
  raiseCache((std::min(filePages, rows) + kSparePages) * pageSize + 2 * bytes);
}

bool PostingDriver::writeEditsInCache() {
  sizeCacheForEdits();
  bool ok = writeEdits();
  noteSpills();
  return ok;
}

// Counts the pages the connection spilled since the last count.
void PostingDriver::noteSpills() {
  int current = 0, highest = 0;
  if (sqlite3_db_status(cur_->db, SQLITE_DBSTATUS_CACHE_SPILL, &current, &highest, 1) == SQLITE_OK)
    spilled_ += current;
}

int64_t postingCacheSpills(File& f) {
  auto* d = f.isOpen() ? dynamic_cast<PostingDriver*>(f.driver()) : nullptr;
  return d ? d->cacheSpills() : 0;
}

}  // namespace qv
