// Word-occurrence files written before the posting lists hold one row per
// (message, word) pair in a table named after the file. The first open for
// writing converts such a file in one transaction: the same pairs as posting
// lists, file order kept (a message comes where its last pair was), and the
// old table dropped. A failure leaves the file as it was.
#include <algorithm>
#include <unordered_map>

#include "storage/posting_driver.h"

namespace qv {

bool PostingDriver::convertOlderLayout() {
  const std::string table = "\"" + file_.decl().label + "\"";
  if (!exec("BEGIN IMMEDIATE")) return false;
  auto undo = [&] {
    int code = ErrorCode();
    std::string text = ErrorText();
    sqlite3_exec(own_.db, "ROLLBACK", nullptr, nullptr, nullptr);
    own_.finalizeAll();
    setError(Err(code), file_.name(), "converting the older layout: " + text);
    return false;
  };
  // Every pair in the order it was written.
  std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (message, word)
  sqlite3_stmt* st = nullptr;
  std::string sql = "SELECT SYSID, WORDID FROM " + table + " ORDER BY qv_pos";
  if (sqlite3_prepare_v2(own_.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    failHere();
    return undo();
  }
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    int64_t msg = sqlite3_column_int64(st, 0), word = sqlite3_column_int64(st, 1);
    if (msg > 0 && word > 0 && msg <= UINT32_MAX && word <= UINT32_MAX) pairs.emplace_back(uint32_t(msg), uint32_t(word));
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) {
    failHere();
    return undo();
  }
  if (!createTables()) return undo();
  // A message's place in file order: that of its last pair.
  std::unordered_map<uint32_t, size_t> lastAt;
  for (size_t i = 0; i < pairs.size(); ++i) lastAt[pairs[i].first] = i;
  std::vector<std::pair<size_t, uint32_t>> order;
  order.reserve(lastAt.size());
  for (const auto& [msg, at] : lastAt) order.emplace_back(at, msg);
  std::sort(order.begin(), order.end());
  std::unordered_map<uint32_t, int64_t> sequence;
  for (size_t i = 0; i < order.size(); ++i) sequence[order[i].second] = int64_t(i) + 1;

  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  for (size_t i = 0; i < pairs.size();) {
    Edit e;
    size_t j = i;
    for (; j < pairs.size() && pairs[j].first == pairs[i].first; ++j) e.ids.push_back(pairs[j].second);
    e.loaded = e.rewrite = true;
    nextSeq_ = sequence[pairs[i].first];
    if (!writeMessage(pairs[i].first, e)) return undo();
    i = j;
  }
  std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second < b.second : a.first < b.first;
  });
  for (size_t i = 0; i < pairs.size();) {
    Edit e;
    size_t j = i;
    for (; j < pairs.size() && pairs[j].second == pairs[i].second; ++j) e.ids.push_back(pairs[j].first);
    e.loaded = e.rewrite = true;
    if (!writeWord(pairs[i].second, e)) return undo();
    i = j;
  }
  if (!exec("DROP TABLE " + table) || !exec("DELETE FROM qv_meta WHERE name = 'keys_pending'") ||
      !setMeta("keys", file_.decl().keySignature()) || !setMeta("records", std::to_string(pairs.size())) ||
      !exec("COMMIT"))
    return undo();
  own_.finalizeAll();
  nextSeq_ = 0;
  stored_ = -1;
  return true;
}

}  // namespace qv
