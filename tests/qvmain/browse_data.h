// Records for the browser window tests: a small forum, newsgroup or mail
// database written record by record, so that a test knows what each view
// holds.
#pragma once

#include <string>

#include "support/browse_records.h"

namespace qvtest {

// Three threads in two sections, four people, six messages:
//   500 thread 1000 Ann -> Bob        503 thread 1002 Ann -> Cid (section 200)
//   501 thread 1000 Bob -> Ann        504 thread 1000 Ann -> Dee
//   502 thread 1001 Cid -> Ann        505 thread 1001 Dee -> Bob
inline uint32_t sampleForum(int kind = 1, const std::string& name = "Browse Forum") {
  uint32_t id = makeBrowseDatabase(kind, name);
  addSection(100, 1, "General");
  addSection(200, 4, "Utilities");
  addPerson(10, "Ann", "Lee", 3, 2);
  addPerson(11, "Bob", "Ray", 1, 2);
  addPerson(12, "Cid", "Zed", 1, 1);
  addPerson(13, "Dee", "Adams", 1, 1);
  addThread(1000, 100, "Pears and apples", 3);
  addThread(1001, 100, "Bananas", 2);
  addThread(1002, 200, "Cherries", 1);
  addMessage(500, 1000, 10, 11, 100, "I like apples.\r\nRed apples most.\r\n");
  addMessage(501, 1000, 11, 10, 102, "Pears are better.\r\n", 0, 500);
  addMessage(502, 1001, 12, 10, 101, "Bananas!\r\n");
  addMessage(503, 1002, 10, 12, 105, "Cherries are red.\r\n");
  addMessage(504, 1000, 10, 13, 103, "Apples again.\r\n", 1, 501);
  addMessage(505, 1001, 13, 11, 104, "More bananas.\r\n", 0, 502);
  return id;
}

}  // namespace qvtest
