// Hashes and packs originals on a second thread, so that an import reads and
// decodes the next messages while the ones before are packed. What is put
// in comes out in the same order, packed exactly as packOriginal packs it
// on the caller's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "originals/original_packing.h"

namespace qv {

class OriginalDictionary;

// What is done with an original.
enum class PackWork : uint8_t {
  Nothing,  // no bytes: the item only keeps its place in the order
  Hash,     // hashed, kept as it is (a dictionary's sample, packed later)
  Pack,     // hashed and packed (with the item's dictionary, when it has one)
};

struct PackItem {
  uint64_t tag = 0;   // the caller's name for the item
  uint32_t mark = 0;  // and whatever else the caller keeps with it
  PackWork work = PackWork::Nothing;
  std::shared_ptr<const OriginalDictionary> dictionary;
  std::string bytes;      // the original, handed over
  PackedOriginal packed;  // when taken: the hash, size, packing and packed bytes (Hash: the bytes as they are)
};

// Called on the packing thread before each item's work, when set; what it
// throws is that item's failure. Lets tests make the packing fail.
using PackFaultHook = void (*)(const PackItem& item);
void setPackFaultHook(PackFaultHook hook);

class OriginalPackQueue {
 public:
  // At most `maxBytes` of originals wait for the worker at a time (one
  // longer original still goes in alone), and at most `maxItems` items;
  // the caller takes what is done as it goes.
  explicit OriginalPackQueue(size_t maxBytes = kDefaultMaxBytes, size_t maxItems = kDefaultMaxItems);
  // Stops the worker; what was not taken is dropped.
  ~OriginalPackQueue();
  OriginalPackQueue(const OriginalPackQueue&) = delete;
  OriginalPackQueue& operator=(const OriginalPackQueue&) = delete;

  // Puts an item in, waiting while the queue is full. The worker starts
  // with the first item that has work; where no thread can be had, the
  // work is done here.
  void put(PackItem item);
  // Takes the oldest item out once its work is done: waits for it when
  // `wait`, else false when it is not done yet. False when nothing is in.
  // What the work threw (no memory for a large original) is thrown here,
  // with the item taken out: the caller reports it as its failure.
  bool take(PackItem& out, bool wait);
  // Items put in and not taken yet.
  size_t size() const;

  static constexpr size_t kDefaultMaxBytes = 32u << 20;
  static constexpr size_t kDefaultMaxItems = 512;
  // The worker is woken when this many items or bytes wait for it.
  static constexpr size_t kWakeItems = 32;
  static constexpr size_t kWakeBytes = 1u << 20;

 private:
  struct Slot {
    PackItem item;
    size_t bytes = 0;  // the original's bytes, counted while they wait for the worker
    bool done = false;
    std::exception_ptr failure;  // what the work threw, thrown again by take()
  };
  void workerLoop();
  void wakeWorker();  // with the lock held
  static void doWork(PackItem& item);

  const size_t maxBytes_;
  const size_t maxItems_;
  mutable std::mutex lock_;
  std::condition_variable workToDo_;  // the worker waits for a batch
  std::condition_variable workDone_;  // the caller waits for room or for its oldest item
  bool wake_ = false;                 // the worker is to work through what is pending
  bool callerWaiting_ = false;
  std::deque<Slot> slots_;  // oldest first; the worker works through them in order
  size_t nextWork_ = 0;     // index in slots_ of the first item not done
  size_t waitingBytes_ = 0;
  bool stopping_ = false;
  bool inline_ = false;  // no worker thread could be started
  std::thread worker_;
};

}  // namespace qv
