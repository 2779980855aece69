// Topics of a database (Codes records of type 2): the user's classification
// labels with the string they stand for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr uint8_t kTopicType = 2;

struct Topic {
  uint32_t id = 0;
  std::string text;  // the search string, 40 characters at most
  uint32_t count = 0;
  bool matchCase = false;
  bool matchWord = false;
  int32_t date = 0;
};

// The topics of the database in directory F<dirNumber> (0: the current
// database), by text. Empty when that database's topic file is in use under
// another database.
std::vector<Topic> listTopics(uint32_t dirNumber = 0);
// Adds a topic to the current database (ID from NextNr, dated now).
// Returns the new ID, 0 on failure (reported in mode 7).
uint32_t addTopic(const Topic& t);
// Changes the text and flags of a topic of the current database.
bool updateTopic(const Topic& t);
// Deletes a topic of the current database. Its links stay until a purge
// removes them with the other links whose topic or message is gone.
bool deleteTopic(uint32_t id);

// The IDs of the topics attached to a message (mail databases: a mail) of
// the current database, in link order.
std::vector<uint32_t> topicsOfMessage(uint32_t messageNumber);
// Attaches the topic to the message (attached) or detaches it: the link and
// the topic's count of links change in one transaction, so that the count
// stays the number of links. A link that is already as asked changes
// nothing. False (reported in mode 7) when the files could not be had
// within 5 seconds or a record could not be written; nothing changed then.
bool setTopicLink(uint32_t topicId, uint32_t messageNumber, bool attached);
// Adds `delta` to the count of the topic (inside the caller's transaction
// over Codes). False when the topic is gone or its record could not be held
// or written.
bool addToTopicCount(uint32_t topicId, int64_t delta);

}  // namespace qv
