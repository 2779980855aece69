// A topic attached to, or removed from, every message of a set
// related to the current message (the sets of export and printing: the
// message, its thread or mail partner, sender, recipient, section, the whole
// database, an index word's messages, a topic's, the last search result),
// optionally only those dated within a range. An engine that the group
// window's progress window and qvcli drive alike, one slice per step() (procedure TOPICMSG).
//
// The links are written in transactions over the topic-link file and the
// topics, one per slice of at most 300 classified messages; each moves the
// topic's count by the links it added or removed, so that the count stays
// the number of links at every commit. An aborted run keeps what was
// committed. Attaching to a message that has the link, or removing a link
// that is not there, changes nothing and still counts as classified.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "export/message_set.h"
#include "export/message_set_run.h"

namespace qv {

// The scope codes of classifying, as those of an export: 2r attaches, 2r + 1
// removes, r being the set's rank (1 the message, 2 thread or mail partner,
// 3 sender, 4 recipient, 5 section, 6 the whole database, 7 index word,
// 8 topic, 9 search result).
inline constexpr int kClassifyFirstScope = 2;
inline constexpr int kClassifyLastScope = 19;
// Classified messages to a transaction.
inline constexpr int kClassifySlice = 300;

struct ClassifyRequest {
  int scope = 2;
  uint32_t messageId = 0;   // the current message
  int32_t wordId = 0;       // the current index word (rank 7)
  uint32_t setTopicId = 0;  // the current topic, whose messages are the set (rank 8)
  uint32_t topicId = 0;     // the topic attached or removed
  MessageRange filter;      // dateRange: only messages dated fromDate..toDate
};

// The set found so far and whether it is still being collected (found,
// collecting), and what was done with it.
struct ClassifyView : MessageSetView {
  std::string caption;      // "Classifying .."
  int64_t classified = 0;   // attached or removed
  int64_t filtered = 0;     // outside the date range
  int64_t missing = 0;      // listed by an index or result but no longer there
  int64_t linksAdded = 0;
  int64_t linksRemoved = 0;
};

enum ClassifyResult : int {
  ClassifyRunning = SetRunRunning,
  ClassifyDone = SetRunDone,
  ClassifyFailed = SetRunFailed,
  ClassifyCancelled = SetRunCancelled,
};

// True when the scope code attaches (even), false when it removes (odd).
inline bool classifyAttaches(int scope) { return scope % 2 == 0; }

class ClassifyRun {
 public:
  explicit ClassifyRun(const ClassifyRequest& request);
  ~ClassifyRun();
  ClassifyRun(const ClassifyRun&) = delete;
  ClassifyRun& operator=(const ClassifyRun&) = delete;

  // Called after every slice and at the end.
  void onProgress(std::function<void(const ClassifyView&)> f);
  // Runs one slice. Returns false once the run has ended.
  [[nodiscard]] bool step();
  // Ends the run between slices; what was committed stays.
  void cancel();
  int result() const;
  // Ok unless the run failed.
  Status status() const;
  const ClassifyView& view() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Runs a classification to its end; returns its result.
int TopicMsg(const ClassifyRequest& request, std::function<void(const ClassifyView&)> progress = {});

}  // namespace qv
