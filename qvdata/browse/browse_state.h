// What a browser shows: the database kind, the view (mode) and the chosen
// item of each view. The whole record is what the bookmark saves and
// restores, and what the browsers publish to the find, thread-tree, topic and
// group windows through the process-wide context slots.
#pragma once

#include <cstdint>
#include <string>

#include "services/db_kind.h"

namespace qv {

// Views of the forum and newsgroup browser.
enum ForumMode : int {
  FmNumber = 1,   // MSG:IdKey, newest first
  FmThread = 2,   // MSG:Threadkey, limited to the chosen thread when limitThread
  FmSection = 3,  // MSG:SECkey, always the chosen section
  FmSender = 4,   // MSG:FromKey, limited to the chosen sender when limitSender
  FmReceiver = 5, // MSG:ToKey, limited to the chosen receiver when limitReceiver
  FmDate = 6,     // MSG:DateKey, newest first
  FmWord = 7,     // MasIdx by MAS:by_WordId of the chosen word
  FmTopic = 8,    // SIndex by SIN:IdKey of the chosen topic
  FmResult = 9,   // Search by SEA:IdKey
};

// Views of the mail browser.
enum MailMode : int {
  MmDate = 1,      // MAI:DateKey, newest first
  MmSubject = 2,   // MAI:SubjectKey
  MmPartner = 3,   // MAI:PairKey, limited to the chosen partner when limitPartner
  MmSender = 4,    // MAI:FromKey, limited when limitSender
  MmReceiver = 5,  // MAI:ToKey, limited when limitReceiver
  MmWord = 6,      // MasIdx by MAS:by_WordId of the chosen word
  MmTopic = 7,     // SIndex by SIN:IdKey of the chosen topic
  MmResult = 8,    // Search by SEA:IdKey
};

// A chosen person (sender, receiver or mail partner).
struct BrowsePerson {
  uint32_t id = 0;         // PER:PERSONID; 0: none chosen
  std::string alpha;       // the key's alpha part (FROMALPHA / TOALPHA 10, PAIRALPHA 25)
  std::string name;        // display name
  uint32_t count = 0;      // PER:FROMCOUNT or PER:TOCOUNT

  bool operator==(const BrowsePerson&) const = default;
};

struct BrowseState {
  int kind = KindForumDb;  // the DbKind of the database
  int mode = 1;            // ForumMode for forum and newsgroup databases, MailMode for mail

  // Thread (forum and newsgroup).
  uint32_t threadNumber = 0;
  std::string threadAlpha;
  std::string threadHeading;
  uint32_t threadCount = 0;
  bool limitThread = false;

  // Section (forum).
  uint32_t sectionId = 0;
  std::string sectionLabel;  // two-digit section number, a blank, the description
  uint32_t sectionCount = 0;

  BrowsePerson sender, receiver, partner;
  bool limitSender = false, limitReceiver = false, limitPartner = false;

  // Key word and topic.
  std::string word;
  uint32_t wordId = 0;
  uint32_t topicId = 0;

  int32_t date = 0;       // the date view's locator
  uint32_t selected = 0;  // the message last selected (MSG:MSGNUMBER / MAI:MAILID)

  bool operator==(const BrowseState&) const = default;
};

// True when the view shows a selection rather than every message: a limited
// thread, sender, receiver or partner view, the section view, the key word,
// topic or result-set view.
bool isSelection(const BrowseState& s);

// The context slot (Context for forum and newsgroup, MailContext for mail)
// holds the kind, the mode, the selected message and the IDs of the chosen
// items with their limit flags; names and counts are read back from the
// records.
void writeBrowseContext(const BrowseState& s);
// The state last published for that kind of database (mail reads
// MailContext, the others Context); a blank slot gives a default state.
BrowseState readBrowseContext(int kind);

// The view a browser opens with: settings item ItemBrowseModeForum (forum
// and newsgroup) or ItemBrowseModeMail; a value outside the kind's modes
// gives 1.
int storedBrowseMode(int kind);
// Stores the view and writes the settings block back.
void storeBrowseMode(int kind, int mode);

}  // namespace qv
