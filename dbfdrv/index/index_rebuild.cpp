// Sorting keys in runs and rebuilding indexes from all records.
#include "index/index_rebuild.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <new>
#include <algorithm>

#include "table/engine_status.h"

namespace dbf {
namespace {

// Pairs sorted in memory runs; each full run goes to its own temporary file.
class RunSorter {
 public:
  RunSorter(const IndexTree& order, std::string workDir, std::size_t runBytes)
      : order_(order), dir_(std::move(workDir)), runBytes_(runBytes) {}
  ~RunSorter() {
    for (Run& r : runs_) {
      if (r.file) std::fclose(r.file);
      std::remove(r.path.c_str());
    }
  }

  int add(IndexEntry e) {
    if (buffer_.empty()) {
      // Reserve the run's memory, halving it when that fails.
      for (;;) {
        try {
          buffer_.reserve(runBytes_ / entryBytes() + 1);
          break;
        } catch (const std::bad_alloc&) {
          if (runBytes_ / 2 < kMinSortRunBytes) return ErrNoMemory;
          runBytes_ /= 2;
        }
      }
    }
    buffer_.push_back(std::move(e));
    if (buffer_.size() * entryBytes() >= runBytes_) return spill();
    return StatusOk;
  }

  // Prepares handing the pairs over in tree order, equal keys in the order
  // they were added.
  int start() {
    sortBuffer();
    if (runs_.empty()) return StatusOk;
    if (!buffer_.empty())
      if (int st = spill(); st) return st;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      std::rewind(runs_[i].file);
      if (!readEntry(runs_[i])) return ErrFileReadFailure;
      heap_.push_back(i);
      std::push_heap(heap_.begin(), heap_.end(), Later{this});
    }
    return StatusOk;
  }
  // The next pair; more is false after the last.
  int pull(IndexEntry& out, bool& more) {
    if (runs_.empty()) {
      more = next_ < buffer_.size();
      if (more) out = std::move(buffer_[next_++]);
      return StatusOk;
    }
    more = !heap_.empty();
    if (!more) return StatusOk;
    std::pop_heap(heap_.begin(), heap_.end(), Later{this});
    std::size_t i = heap_.back();
    heap_.pop_back();
    out = std::move(runs_[i].head);
    if (runs_[i].left > 0) {
      if (!readEntry(runs_[i])) return ErrFileReadFailure;
      heap_.push_back(i);
      std::push_heap(heap_.begin(), heap_.end(), Later{this});
    }
    return StatusOk;
  }

 private:
  struct Run {
    std::string path;
    std::FILE* file = nullptr;
    std::size_t left = 0;
    IndexEntry head;
  };
  std::size_t entryBytes() const { return static_cast<std::size_t>(order_.header().keyLength) + 4; }
  void sortBuffer() {
    std::stable_sort(buffer_.begin(), buffer_.end(),
                     [this](const IndexEntry& a, const IndexEntry& b) { return order_.compare(a.key, b.key) < 0; });
  }
  int spill() {
    sortBuffer();
    Run r;
    // The first "STKSn.TMP" of the work directory that does not exist.
    for (int n = 0; n < 100000 && !r.file; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "STKS%d.TMP", n);
      r.path = dir_.empty() ? name : dir_ + "/" + name;
      int fd = ::open(r.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) r.file = ::fdopen(fd, "w+b");
    }
    if (!r.file) return ErrFileWriteFailure;
    runs_.push_back(r);
    Run& run = runs_.back();
    for (const IndexEntry& e : buffer_) {
      uint8_t rec[4] = {static_cast<uint8_t>(e.record), static_cast<uint8_t>(e.record >> 8),
                        static_cast<uint8_t>(e.record >> 16), static_cast<uint8_t>(e.record >> 24)};
      if (std::fwrite(e.key.data(), 1, e.key.size(), run.file) != e.key.size() ||
          std::fwrite(rec, 1, 4, run.file) != 4)
        return ErrFileWriteFailure;
    }
    if (std::fflush(run.file) != 0) return ErrFileWriteFailure;
    run.left = buffer_.size();
    buffer_.clear();
    return StatusOk;
  }
  bool readEntry(Run& r) {
    std::string key(static_cast<std::size_t>(order_.header().keyLength), '\0');
    uint8_t rec[4];
    if (std::fread(key.data(), 1, key.size(), r.file) != key.size() || std::fread(rec, 1, 4, r.file) != 4) return false;
    r.head.key = std::move(key);
    r.head.record = uint32_t{rec[0]} | (uint32_t{rec[1]} << 8) | (uint32_t{rec[2]} << 16) | (uint32_t{rec[3]} << 24);
    --r.left;
    return true;
  }

  // Heap order of runs: by their next key, then by run (earlier runs hold
  // earlier records).
  struct Later {
    const RunSorter* s;
    bool operator()(std::size_t a, std::size_t b) const {
      int c = s->order_.compare(s->runs_[a].head.key, s->runs_[b].head.key);
      return c != 0 ? c > 0 : a > b;
    }
  };

  const IndexTree& order_;
  std::vector<std::size_t> heap_;
  std::size_t next_ = 0;
  std::string dir_;
  std::size_t runBytes_;
  std::vector<IndexEntry> buffer_;
  std::vector<Run> runs_;
};

int collectKeys(IndexTree& tree, const KeyDefinition& def, RecordSource& records, RunSorter& sorter) {
  for (uint32_t n = 1; n <= records.count(); ++n) {
    const RecordAccess* r = nullptr;
    if (int st = records.read(n, r); st) return st;
    std::string key;
    bool included = false;
    if (int st = buildKey(def, *r, key, included); st) return st;
    if (included)
      if (int st = sorter.add(IndexEntry{tree.normalize(key), n, 0}); st) return st;
  }
  return StatusOk;
}

}  // namespace

int rebuildTree(IndexTree& tree, const KeyDefinition& def, RecordSource& records, const std::string& workDir,
                std::size_t runBytes) {
  RunSorter sorter(tree, workDir, std::max(runBytes, kMinSortRunBytes));
  if (int st = collectKeys(tree, def, records, sorter); st) return st;
  if (int st = sorter.start(); st) return st;
  const bool unique = tree.header().unique();
  std::string previous;
  bool any = false;
  return tree.build([&](IndexEntry& e, bool& more) -> int {
    for (;;) {
      if (int st = sorter.pull(e, more); st || !more) return st;
      // A unique tree keeps the first record of each key.
      if (!(unique && any && tree.compare(previous, e.key) == 0)) break;
    }
    previous = e.key;
    any = true;
    return StatusOk;
  });
}

int rebuildSingleIndex(SingleIndex& index, const std::string& path, const KeyDefinition& def, RecordSource& records,
                       const IndexOpenOptions& options, const std::string& workDir) {
  TreeHeader header = index.tree().header();
  bool compact = index.file().kind() == IndexKind::CompactIdx;
  KeyType type = def.type;
  std::string temporary = temporaryIndexName(path);
  {
    SingleIndex fresh;
    IndexOpenOptions exclusive;
    int st = fresh.create(temporary, header, compact, type, exclusive);
    if (st == StatusOk) st = rebuildTree(fresh.tree(), def, records, workDir);
    int closed = fresh.close();
    if (st == StatusOk) st = closed;
    if (st) {
      std::remove(temporary.c_str());
      return st;
    }
  }
  index.close();
  std::remove(path.c_str());
  if (std::rename(temporary.c_str(), path.c_str()) != 0) return ErrFileWriteFailure;
  return index.open(path, type, options);
}

}  // namespace dbf
