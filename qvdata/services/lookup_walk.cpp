// The look-up walk: reads a keyed file a page at a time in one sort order,
// saving and restoring the file's record buffer around every read.
#include "services/lookup_walk.h"

#include <utility>

#include "services/keyed_walk.h"
#include "storage/record.h"

namespace qv {

namespace {

// Restores a file's record buffer when it goes.
class KeepRecord {
 public:
  explicit KeepRecord(File& f) : file_(f), saved_(saveRecord(f.decl())) {}
  ~KeepRecord() { restoreRecord(file_.decl(), saved_); }
  KeepRecord(const KeepRecord&) = delete;
  KeepRecord& operator=(const KeepRecord&) = delete;

 private:
  File& file_;
  RecordImage saved_;
};

}  // namespace

LookupWalk::LookupWalk(KeyedSource source)
    : source_(std::make_unique<KeyedSource>(std::move(source))), files_(source_->files) {}

LookupWalk::~LookupWalk() = default;

int64_t LookupWalk::records() const { return source_->file->records(); }

std::vector<LookupEntry> LookupWalk::walk(int order, int64_t pos, int n, bool forward, bool& reachedEnd) const {
  File& f = *source_->file;
  const Key key = source_->key(order);
  KeepRecord keep(f);
  std::vector<LookupEntry> out;
  reachedEnd = false;
  if (pos == 0)
    f.set(key);
  else
    f.setPosition(key, pos);
  bool first = pos != 0;
  while (int(out.size()) < n) {
    if (!(forward ? f.next() : f.previous())) {
      reachedEnd = true;
      break;
    }
    // A walk from a record begins with that record itself.
    if (first && f.position() == pos) {
      first = false;
      continue;
    }
    first = false;
    LookupEntry e = source_->entry();
    e.pos = f.position();
    out.push_back(std::move(e));
  }
  return out;
}

bool LookupWalk::entryAt(int64_t pos, LookupEntry& out) const {
  File& f = *source_->file;
  KeepRecord keep(f);
  if (!f.getPosition(pos)) return false;
  out = source_->entry();
  out.pos = pos;
  return true;
}

int64_t LookupWalk::seek(int order, const std::string& text, bool& past) const {
  File& f = *source_->file;
  KeepRecord keep(f);
  past = false;
  f.clear();
  const int components = source_->seekText ? source_->seekText(order, text) : 0;
  if (components <= 0) return 0;
  f.setPrefix(source_->key(order), components);
  if (f.next()) return f.position();
  past = true;  // the text sorts after every record
  return 0;
}

bool LookupWalk::entryOfId(uint32_t id, LookupEntry& out) const {
  if (!source_->readId) return false;
  File& f = *source_->file;
  KeepRecord keep(f);
  f.clear();
  if (!source_->readId(id)) return false;
  out = source_->entry();
  out.pos = f.position();
  return true;
}

}  // namespace qv
