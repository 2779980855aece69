// The items of the settings blocks, one name each (services/settings.h reads
// and writes them). Item numbers are the ones the control file has always
// used; block 1 and block 4 both have an item 17 and 18, so every block has
// names of its own.
#pragma once

namespace qv {

// Block 1, general preferences (KonfigGet, KonfigSet, KonfigText).
enum GeneralItem : int {
  ItemTypeAheadPause = 3,     // tenths of a second between keys of a type-ahead
  ItemLastIdCheck = 5,        // date of the last check of the ID counter
  ItemLastDatabase = 6,       // ID of the database last made active
  ItemImportFormat = 7,       // number of the format the import wizard offers first
  ItemNoTasks = 8,            // 1: scheduled tasks are not started
  ItemDateFormat = 10,        // date display format
  ItemConfigVersion = 11,     // version of the program that last wrote the settings
  ItemTimeFormat = 13,        // time display format
  ItemImportDirectory = 14,   // directory the import wizard offers first (text)
  ItemSchedulerInterval = 15, // seconds between looks at the task list
  ItemThreadTreeFormat = 16,  // row format of the thread tree
  ItemTaskQuietFrom = 17,     // start of the period without tasks, minutes after midnight
  ItemTaskQuietTo = 18,       // end of that period
  ItemLastMailbox = 19,       // ID of the mailbox last created or chosen
};

// Block 9, display and tuning (KonfigGet, KonfigSet, KonfigFont, SpeedVal).
enum DisplayItem : int {
  ItemColourHighlight = 22,   // colour of searched words (0xBBGGRR)
  ItemColourCounters = 23,    // colour of counters
  ItemColourKeep = 24,        // colour of items to keep
  ItemColourDelete = 25,      // colour of items to delete
  ItemSpeedDuplicates = 26,   // tuning position: duplicate elimination batch
  ItemSpeedPurge = 27,        // tuning position: purge and count batch
  ItemSpeedIndex = 28,        // tuning position: indexing batch
  ItemSpeedFind = 29,         // tuning position: text find batch
  ItemSpeedImport = 30,       // tuning position: import (also the parsers' slice)
  ItemImportSlice = 31,       // working value only: the import run's slice (from item 30's position)
  ItemImportCompletion = 32,  // 1 tell the time and close, 0 close, other: keep the window open
  ItemFontLists = 33,         // font of lists
  ItemFontText = 34,          // font of message texts
  ItemFontCounters = 35,      // font of counters
  ItemFontThreadTree = 36,    // font of the thread tree
  ItemFontFirst = ItemFontLists,      // the fonts are items 33..36
  ItemFontLast = ItemFontThreadTree,
  ItemColourThreadTree = 37,  // colour of the thread tree
  ItemBrowseModeForum = 38,   // last view of the forum and newsgroup browser
  ItemBrowseModeMail = 39,    // last view of the mail browser
  ItemRestoreFrame = 42,      // 1: the frame opens where it was left
  ItemAfterTask = 57,         // what the program does when a task has finished
  ItemWrapColumn = 58,        // line width of exports
  ItemExportHeaders = 59,     // export header layout used when none is stored
  ItemHardLineEnds = 60,      // 1: exports wrap lines with hard line ends
  ItemExportLayoutMail = 61,  // export layout of mail
  ItemExportLayoutForum = 62, // export layout of forum messages
  ItemExportLayoutNews = 63,  // export layout of newsgroup messages
  // 1: the address book of a mail (forum, newsgroup) database was last
  // written as vCards; otherwise its format is the kind's export layout.
  ItemAddressVcardMail = 64,
  ItemAddressVcardForum = 65,
  ItemAddressVcardNews = 66,
};

// Block 4, directories (AutoPath).
enum PathItem : int {
  ItemTempDirectory = 17,  // the temporary directory
  ItemDataDirectory = 18,  // the root of the database directories
};

// Block 10, word index (WSVarsGet, WSVarsSet, WSVarsText).
enum WordIndexItem : int {
  ItemIndexRoot = 44,            // the root of the word-index directories (text)
  ItemIndexNumbers = 49,         // 1: words that begin with a digit are indexed
  ItemSearchPause = 50,          // entries read between two "go on?" questions of a search
  ItemForumFooters = 51,         // 1: footers of forum messages are indexed
  ItemNewsFooters = 52,          // 1: footers of newsgroup messages are indexed
  ItemFrequentForum = 53,        // 1: very frequent words of forum databases go to the stop list
  ItemFrequentMail = 54,         // the same for mail databases
  ItemFrequentNews = 55,         // the same for newsgroup databases
  ItemWordIndexSpare = 56,       // kept with the others; no use is known
};

}  // namespace qv
