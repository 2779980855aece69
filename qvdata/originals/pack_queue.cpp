#include "originals/pack_queue.h"

#include <atomic>
#include <system_error>

#include "originals/original_dictionary.h"

namespace qv {

namespace {
std::atomic<PackFaultHook> faultHook{nullptr};
}  // namespace

void setPackFaultHook(PackFaultHook hook) { faultHook = hook; }

OriginalPackQueue::OriginalPackQueue(size_t maxBytes, size_t maxItems)
    : maxBytes_(maxBytes), maxItems_(maxItems == 0 ? 1 : maxItems) {}

OriginalPackQueue::~OriginalPackQueue() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  workToDo_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void OriginalPackQueue::doWork(PackItem& item) {
  if (PackFaultHook hook = faultHook) hook(item);
  switch (item.work) {
    case PackWork::Nothing:
      break;
    case PackWork::Hash:
      item.packed.hash = originalHash(item.bytes);
      item.packed.size = uint32_t(item.bytes.size());
      item.packed.packing = PackStored;
      item.packed.data = std::move(item.bytes);
      break;
    case PackWork::Pack:
      item.packed = packOriginal(item.bytes, item.dictionary.get());
      break;
  }
  item.bytes.clear();
  item.bytes.shrink_to_fit();
  item.dictionary.reset();
}

void OriginalPackQueue::put(PackItem item) {
  size_t n = item.bytes.size();
  std::unique_lock<std::mutex> hold(lock_);
  if (!worker_.joinable() && !inline_ && item.work != PackWork::Nothing) {
    try {
      worker_ = std::thread([this] { workerLoop(); });
    } catch (const std::system_error&) {
      inline_ = true;
    }
  }
  if (inline_) {
    // Without a worker every item is done as it comes: the order holds.
    hold.unlock();
    std::exception_ptr failure;
    try {
      doWork(item);
    } catch (...) {
      failure = std::current_exception();
    }
    hold.lock();
    slots_.push_back({std::move(item), 0, true, failure});
    ++nextWork_;
    return;
  }
  // Waits for the worker, not for take(): the caller takes on this thread.
  auto room = [&] {
    size_t pending = slots_.size() - nextWork_;
    return pending == 0 || (pending < maxItems_ && waitingBytes_ + n <= maxBytes_);
  };
  if (!room()) {
    wakeWorker();
    callerWaiting_ = true;
    workDone_.wait(hold, room);
    callerWaiting_ = false;
  }
  waitingBytes_ += n;
  bool done = item.work == PackWork::Nothing && nextWork_ == slots_.size();
  slots_.push_back({std::move(item), n, done, nullptr});
  if (done) ++nextWork_;
  // The worker is woken for a batch, not for every message: a wake-up costs
  // about as much as packing a small one.
  if (slots_.size() - nextWork_ >= kWakeItems || waitingBytes_ >= kWakeBytes) wakeWorker();
}

void OriginalPackQueue::wakeWorker() {
  if (wake_) return;
  wake_ = true;
  workToDo_.notify_one();
}

void OriginalPackQueue::workerLoop() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    if (nextWork_ == slots_.size()) wake_ = false;
    workToDo_.wait(hold, [&] { return stopping_ || (wake_ && nextWork_ < slots_.size()); });
    if (stopping_) return;
    // The slot stays where it is while it is worked on: only the worker
    // moves nextWork_, and take() removes only slots before it.
    PackItem item = std::move(slots_[nextWork_].item);
    hold.unlock();
    std::exception_ptr failure;
    try {
      doWork(item);
    } catch (...) {
      failure = std::current_exception();
    }
    hold.lock();
    slots_[nextWork_].item = std::move(item);
    slots_[nextWork_].failure = failure;
    slots_[nextWork_].done = true;
    waitingBytes_ -= slots_[nextWork_].bytes;
    ++nextWork_;
    if (callerWaiting_) workDone_.notify_one();
  }
}

bool OriginalPackQueue::take(PackItem& out, bool wait) {
  std::unique_lock<std::mutex> hold(lock_);
  if (slots_.empty()) return false;
  if (!slots_.front().done) {
    if (!wait) return false;
    wakeWorker();
    callerWaiting_ = true;
    workDone_.wait(hold, [&] { return slots_.front().done; });
    callerWaiting_ = false;
  }
  out = std::move(slots_.front().item);
  std::exception_ptr failure = slots_.front().failure;
  slots_.pop_front();
  --nextWork_;
  if (failure) std::rethrow_exception(failure);
  return true;
}

size_t OriginalPackQueue::size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return slots_.size();
}

}  // namespace qv
