// What differs between the forum and newsgroup browser (BROWSEMSGNMBR) and
// the mail browser (BROWSEMAIL): their views with the selector texts, labels,
// tool tips and entry controls, their list columns, their menus and the
// names they run under. One window serves both kinds through these tables.
#pragma once

#include <QString>
#include <vector>

namespace qvm {

// The control a view offers for choosing its position or its item.
enum class EntryKind {
  None,
  Number,    // a message number locator
  Date,      // a date locator
  Thread,    // thread heading, picked from the thread list
  Section,   // section label, picked from the section list
  Sender,    // person names, picked from the person list
  Receiver,
  Partner,
  Word,      // indexed word, picked from the word list
  Topic,     // topic text, picked from the topics
};

struct BrowseModeInfo {
  int mode;
  const char* selector;   // selector text (also its tool tip)
  const char* label;      // mode label
  EntryKind entry;
  const char* entryTip;   // tool tip of the entry control; nullptr: none
  const char* limitTip;   // tool tip of the limit check box; nullptr: no check box
  const char* lookupTip;  // tool tip of the look-up button; nullptr: no look-up
  const char* previousTip;  // the three item buttons; nullptr: disabled in this view
  const char* filterTip;
  const char* nextTip;
};

// A status menu item: level 0 is a separator.
struct StatusItem {
  const char* text;
  int level;   // qv::StatusLevel
  int status;  // 0 normal, 1 keep, 2 delete
};

// A copy menu item: scope 0 is a separator; print items carry print = true.
struct CopyItem {
  const char* text;
  int scope;
  bool print;
};

struct BrowseKindInfo {
  int kind;                  // qv::DbKind
  const char* threadName;    // "BrowseMsgNmbr" / "BrowseMail"
  const char* findThread;    // "FindText" / "MailFind"
  const char* helpTopic;
  std::vector<BrowseModeInfo> modes;
  std::vector<int> columnWidths;  // default widths in pixels, in the order of qv::browseColumns
  std::vector<StatusItem> statusMenu;
  std::vector<CopyItem> copyMenu;
  int windowSlot;
  int listSlot;
};

inline const QString kBrowseMsgNmbr = QStringLiteral("BrowseMsgNmbr");
inline const QString kBrowseMail = QStringLiteral("BrowseMail");

// The table of a database kind (qv::DbKind).
const BrowseKindInfo& browseKind(int kind);
// The entry of a view; the kind's first view for a number it lacks.
const BrowseModeInfo& browseMode(const BrowseKindInfo& k, int mode);
// The thread name of the browser of a database kind.
QString browseThreadName(int kind);
// The kind the forum and newsgroup browser (and its thread tree and text
// find) shows for the current database: newsgroup for a newsgroup, forum
// for any other.
int threadedBrowseKind();

}  // namespace qvm
