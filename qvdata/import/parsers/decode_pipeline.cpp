// The decoding worker of the mail stores and its in-order queue.
#include "import/parsers/decode_pipeline.h"

#include <atomic>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace qv::mail {

namespace {

std::atomic<DecodeThread> decodeMode{DecodeThread::Auto};

constexpr std::string_view kDecodeThreadVariable = "QV_DECODE_THREAD";

}  // namespace

void setDecodeThread(DecodeThread mode) { decodeMode = mode; }

bool decodeThreadWanted() {
  if (decodeMode == DecodeThread::Off) return false;
  if (const char* v = std::getenv(kDecodeThreadVariable.data())) {
    std::string_view value(v);
    if (value == "off" || value == "0") return false;
  }
  return std::thread::hardware_concurrency() >= 2;
}

DecodePipeline::DecodePipeline(bool threaded) : threaded_(threaded) {}

DecodePipeline::~DecodePipeline() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  workToDo_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void DecodePipeline::decodeJob(MailJob& job) {
  try {
    job.decoded = decodeMail(job.raw, &job.original, job.flavour);
    // The run's thread needs only the decoding and the original now.
    job.raw = std::string();
  } catch (...) {
    job.failure = std::current_exception();
  }
}

bool DecodePipeline::room() const {
  std::lock_guard<std::mutex> hold(lock_);
  return roomLocked();
}

bool DecodePipeline::roomLocked() const {
  if (!threaded_) return slots_.empty();
  return slots_.empty() || (slots_.size() < kMaxJobs && bytesIn_ < kMaxBytes);
}

bool DecodePipeline::empty() const {
  std::lock_guard<std::mutex> hold(lock_);
  return slots_.empty();
}

void DecodePipeline::put(std::unique_ptr<MailJob> job) {
  size_t bytes = job->raw.size() + (job->original ? job->original->size() : 0);
  std::unique_lock<std::mutex> hold(lock_);
  if (threaded_ && !worker_.joinable()) {
    // GMime and the decoder's tables are set up here, before a second
    // thread decodes.
    mime::prepareDecoding();
    try {
      worker_ = std::thread([this] { workerLoop(); });
    } catch (const std::system_error&) {
      threaded_ = false;  // no thread to be had: decoded when taken
    }
  }
  bool done = !threaded_ || (!job->wanted && nextWork_ == slots_.size());
  slots_.push_back({std::move(job), bytes, done});
  bytesIn_ += bytes;
  if (done) {
    ++nextWork_;
    return;
  }
  // The worker is woken for a batch, not for every message: a wake-up costs
  // about as much as decoding a small one.
  if (slots_.size() - nextWork_ >= kWakeJobs || !roomLocked()) wakeWorker();
}

void DecodePipeline::wakeWorker() {
  if (workerIdle_) workToDo_.notify_one();
}

void DecodePipeline::workerLoop() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    workerIdle_ = true;
    workToDo_.wait(hold, [&] { return stopping_ || nextWork_ < slots_.size(); });
    workerIdle_ = false;
    if (stopping_) return;
    // The slot stays where it is while it is worked on: only the worker
    // moves nextWork_, and take() removes only slots before it.
    MailJob* job = slots_[nextWork_].job.get();
    if (job->wanted) {
      hold.unlock();
      decodeJob(*job);
      hold.lock();
    }
    slots_[nextWork_].done = true;
    ++nextWork_;
    if (callerWaiting_) workDone_.notify_one();
  }
}

std::unique_ptr<MailJob> DecodePipeline::take() {
  std::unique_lock<std::mutex> hold(lock_);
  if (slots_.empty()) return nullptr;
  if (!slots_.front().done) {
    wakeWorker();
    callerWaiting_ = true;
    workDone_.wait(hold, [&] { return slots_.front().done; });
    callerWaiting_ = false;
  }
  std::unique_ptr<MailJob> job = std::move(slots_.front().job);
  bytesIn_ -= slots_.front().bytes;
  slots_.pop_front();
  --nextWork_;
  return job;
}

mime::DecodedMessage DecodePipeline::decoded(MailJob& job) {
  if (job.failure) std::rethrow_exception(job.failure);
  if (job.decoded) return std::move(*job.decoded);
  return decodeMail(job.raw, &job.original, job.flavour);
}

}  // namespace qv::mail
