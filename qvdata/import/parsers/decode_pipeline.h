// Decodes the messages of a mail store on a second thread during an import:
// the run's thread cuts each message from the file and puts it in, a worker
// decodes it (decodeMail, pure work on the message's own bytes), and the run's
// thread takes the messages out in the order it put them in, to write their
// records. Nothing the worker does touches the run: files, record buffers,
// the import context and prompts stay on the run's thread.
//
// At most kMaxJobs messages or kMaxBytes of their bytes are in at a time
// (one longer message still goes in alone). The destructor stops and joins
// the worker on every path; what was not taken is dropped. Without a worker
// (switched off, a single core, or no thread to be had) a message is decoded
// when the run's thread asks for it, exactly as convertMail decodes it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "import/parsers/mail_message.h"
#include "mime/mime_message.h"

namespace qv::mail {

// One message on its way through the pipeline.
struct MailJob {
  std::string raw;                       // the bytes for the decoder
  std::optional<std::string> original;   // as convertMail takes it
  Flavour flavour = Flavour::Internet;
  bool wanted = true;     // the worker decodes it (false: the message looks to be skipped)
  int64_t progress = 0;   // the cutter's progress once the message was cut
  // Set once the message is done: its decoding, or what the decoding threw.
  std::optional<mime::DecodedMessage> decoded;
  std::exception_ptr failure;
};

class DecodePipeline {
 public:
  // With `threaded` false no worker is started.
  explicit DecodePipeline(bool threaded);
  ~DecodePipeline();
  DecodePipeline(const DecodePipeline&) = delete;
  DecodePipeline& operator=(const DecodePipeline&) = delete;

  // True when another message may go in now. Without a worker one at a time.
  bool room() const;
  bool empty() const;
  void put(std::unique_ptr<MailJob> job);
  // Takes the oldest message out, once the worker is done with it; nullptr
  // when none is in.
  std::unique_ptr<MailJob> take();
  // The decoded message of a job taken out: what the worker made, what it
  // threw thrown again here, or the decoding done now when the worker did
  // not decode it.
  static mime::DecodedMessage decoded(MailJob& job);

  static constexpr size_t kMaxJobs = 64;
  static constexpr size_t kMaxBytes = 16u << 20;
  // The worker is woken when this many messages wait for it, or the queue
  // is full, or the run's thread waits for the oldest one.
  static constexpr size_t kWakeJobs = 16;

 private:
  struct Slot {
    std::unique_ptr<MailJob> job;
    size_t bytes = 0;
    bool done = false;
  };
  bool roomLocked() const;  // room(), with the lock held
  void wakeWorker();        // with the lock held
  void workerLoop();
  static void decodeJob(MailJob& job);

  bool threaded_;
  mutable std::mutex lock_;
  std::condition_variable workToDo_;  // the worker waits for a message
  std::condition_variable workDone_;  // the run's thread waits for the oldest one
  std::deque<Slot> slots_;            // oldest first
  size_t nextWork_ = 0;               // index in slots_ of the first message not done
  size_t bytesIn_ = 0;
  bool workerIdle_ = false;
  bool callerWaiting_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

// Whether mail imports decode on a worker: by default when the machine has
// at least two cores; DecodeThread::Off (tests, measurements) decodes on the
// run's thread. The environment variable QV_DECODE_THREAD=off does the same.
enum class DecodeThread { Auto, Off };
void setDecodeThread(DecodeThread mode);
bool decodeThreadWanted();

}  // namespace qv::mail
