// The options export and print share: which database, which set of
// messages, the current message, word or topic, and the ranges.
#pragma once

#include <string>

#include "commands.h"
#include "export/message_set.h"

namespace qvcli {

struct MessageOptions {
  qv::MessageSet set = qv::MessageSet::Message;
  int rank = 1;  // 1 message .. 9 search result
  uint32_t messageId = 0;
  int32_t wordId = 0;
  uint32_t topicId = 0;
  qv::MessageRange range;
};

inline constexpr const char* kMessageOptionsUsage =
    "--scope thread|sender|recipient|section|date|all|word|topic|search|message [--id N] [--word W] "
    "[--topic ID|TEXT] "
    "[--min-id N --max-id N] [--since YYYY-MM-DD --until YYYY-MM-DD]";

// Takes the options from args and makes the database args[0] current.
// Returns 0, or the exit status of a failure already reported.
int takeMessageOptions(Args& args, MessageOptions& out);

}  // namespace qvcli
