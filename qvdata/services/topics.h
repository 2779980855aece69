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
// Deletes a topic of the current database.
bool deleteTopic(uint32_t id);

}  // namespace qv
