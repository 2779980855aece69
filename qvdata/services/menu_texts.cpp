#include "services/menu_texts.h"

#include <map>

namespace qv {

namespace {

const std::map<int, std::string>& texts() {
  static const std::map<int, std::string> t = {
      {kMenuMailboxSetup,
       "Instructions for setting up your mailbox\r\n\r\n"
       "Quorvane keeps your e-mail in mailbox databases. Each mailbox belongs to one owner: you. "
       "Type your name as it appears in the From line of the mail you send, and the e-mail address "
       "you send from. If you have used other addresses over the years (an old provider, a work "
       "address, a CompuServe number), enter them as alternative addresses: mail sent from any of "
       "them is then filed as your own outgoing mail, and mail sent to them as incoming mail.\r\n\r\n"
       "You can add further mailboxes later with File > MailBox Setup, and change the addresses of a "
       "mailbox at any time."},
      {kMenuImportDefaults,
       "Instructions for setting import defaults\r\n\r\n"
       "Choose the program whose files you will import most often: your mail client, news reader or "
       "offline reader. The Import Wizard will offer this file type first, and scheduled tasks use it "
       "when nothing else is chosen. Every import can still choose any of the supported file types."},
      {kMenuImportDirectory,
       "Default directory for import files\r\n\r\n"
       "Choose the directory where your mail client or reader keeps its mail folders or save files. "
       "The Import Wizard starts its file and directory selection there. Quorvane only reads these "
       "files; it never changes or deletes them."},
      {kMenuFirstImport,
       "Instructions for starting your first import\r\n\r\n"
       "Everything is ready for your first import. Press \"Start the ImportWizard\": the wizard asks "
       "for the file type, the kinds of messages to import (mail, forum and newsgroup messages), the "
       "target mailbox and the files or directories to read. Quorvane then creates a database for "
       "every forum and newsgroup it meets, files your mail into the mailbox, threads the messages and "
       "records every correspondent.\r\n\r\n"
       "Messages imported once are recognised when you import the same file again, so you can safely "
       "import a mail folder every week."},
      {kMenuImportWelcome,
       "Welcome to the Import Wizard!\r\n\r\n"
       "The wizard leads you through the choices of an import: the file type, the message types and "
       "their target databases, how the files are selected, and whether messages imported before may "
       "be updated. Check \"Save this session for use in the Task Manager\" to keep these choices as an "
       "import procedure that a scheduled task can run unattended."},
      {kMenuImportFileType,
       "Import file type\r\n\r\n"
       "Choose the program that wrote the files. Mail clients keep folders (mailbox files or one file per "
       "message), news readers keep article stores, and CompuServe offline readers keep message files "
       "or database tables. When you are unsure, Unix Mail reads any standard mailbox file and any "
       "folder of single messages (.eml files or a Maildir tree)."},
      {kMenuImportMessageTypes,
       "Message types\r\n\r\n"
       "Choose which kinds of messages to import. Mail goes into the mailbox you choose. Forum messages "
       "go into the database of their forum; for file types that do not name the forum, type the forum's "
       "name. Newsgroup messages go into one database per newsgroup, created when needed.\r\n\r\n"
       "\"Import no messages (database creation only)\" only creates the databases the files name, which "
       "lets you review them before the real import."},
      {kMenuImportSelection,
       "Preferred selection method\r\n\r\n"
       "Directory tree: every file matching the file masks in a directory and all directories below it.\r\n"
       "Directory: the matching files of one directory.\r\n"
       "File selection: the files you pick one by one."},
      {kMenuImportFiles,
       "Directory for import files\r\n\r\n"
       "Press Select to choose the directory and the file masks (for example *.MBX;*.TXT), or the files "
       "themselves. Several masks are separated by semicolons."},
      {kMenuImportReimport,
       "Allow reimport\r\n\r\n"
       "Normally a message that was imported before is skipped. Check \"Update existing messages\" to "
       "read such messages again, for instance after a database was damaged. A topic chosen here is "
       "attached to every imported mail message, so that the mail of one import can be found together."},
      {kMenuImportInstructions,
       "Instructions for import\r\n\r\n"
       "Quorvane reads the selected files, converts every message and then posts the messages into their "
       "databases. The progress window shows the file being read and the counts of messages found, "
       "imported and skipped. Stop interrupts the import between two steps; messages already posted "
       "stay in the database, and an import of the same files later adds only what is missing."},
      {kMenuMerge,
       "Database merging\r\n\r\n"
       "Merging copies every message of one database into another of the same kind, with its threads, "
       "sections, persons and topics. Messages the target already holds are skipped. The source database "
       "is left as it was; delete it afterwards when you no longer need it."},
      {kMenuTasks,
       "Task Manager\r\n\r\n"
       "A scheduled task runs one or more import procedures at a set time, once, daily on chosen weekdays "
       "or monthly, and can then eliminate duplicate persons, purge, count and index the databases. Tasks "
       "run unattended: no question is asked, and the result of every step is written to the task log."},
      {kMenuSearch,
       "Search wizard\r\n\r\n"
       "Type the words a message must contain, the words of which at least one must occur, and the words "
       "that must not occur. A phrase in quotes must occur as written. Sound-alike, wildcard and "
       "approximate searches look words up in the word list of the database. The result lists the "
       "messages found, newest first."},
      {kMenuIndexControl,
       "Word index\r\n\r\n"
       "The word index lists every word of every message of the database, so that searches answer at "
       "once. Indexing is incremental: a partial run indexes only the messages imported since the last run, "
       "and an interrupted run goes on where it stopped. A full run rebuilds the whole index. Words that "
       "occur in very many messages can be moved to the stop list automatically; words on the stop list "
       "are never indexed.\r\n\r\n"
       "While indexing runs, Quorvane cannot be closed."},
      {kMenuRebuild,
       "Rebuilding the database list\r\n\r\n"
       "Rebuild reads every database directory, checks its files and writes the database list anew from "
       "the description each database keeps of itself. Use it when the list was lost or damaged, or after "
       "moving database directories. The findings are written to TestDB.Txt in the configuration "
       "directory.\r\n\r\n"
       "NextID checks that the counter that numbers new records lies above every number in use, and "
       "raises it when it does not."},
      {kMenuStopList,
       "Stop list\r\n\r\n"
       "Words on the stop list are never indexed and are dropped from search requests. The list is shared "
       "by all databases. Add words that occur everywhere and say nothing; remove a word to have it indexed "
       "by the next full indexing run."},
      {kMenuWordList,
       "Word list\r\n\r\n"
       "The word list shows every indexed word of the database and in how many messages it occurs. Mark a "
       "word for removal to move it to the stop list; its entries are removed from the index by the next "
       "indexing run."},
      {kMenuPurge,
       "Purge and count\r\n\r\n"
       "Purge removes the messages, threads, sections, persons and databases marked for deletion, and "
       "messages older than the date you give. Anything marked to keep, and everything that holds it, is "
       "never purged. Count recounts the messages of every thread, section, person and database."},
      {kMenuDuplicates,
       "Duplicate elimination\r\n\r\n"
       "The same person often appears under several names or addresses. Duplicate elimination finds persons "
       "with the same address, merges them into one and keeps the other strings as aliases, so that future "
       "imports file their messages under the same person."},
      {kMenuAddressExport,
       "Address book export\r\n\r\n"
       "Writes the names and addresses of the persons of the chosen databases to Address.Txt in the format "
       "of an address book, for use in your mail client."},
      {kMenuWizardNumbers,
       "Numbers\r\n\r\n"
       "Choose whether words that begin with a digit are indexed. Short numbers such as 95, 1998 or 3.11 "
       "are then found by a search; long numbers, dates and times never are. Hexadecimal words such as CAFE "
       "are indexed either way."},
      {kMenuWizardFooters,
       "Footers\r\n\r\n"
       "Forum and newsgroup messages often end in a signature or tag line separated from the text by an empty "
       "line. Leave footers out of the index to keep searches to what the messages say."},
      {kMenuWizardFrequent,
       "Frequent words\r\n\r\n"
       "Once more than 10,000 messages of a database are indexed, a word found in more than a quarter of "
       "them says little about any message. Choose for each kind of database whether such words move to the "
       "stop list by themselves."},
      {kMenuWizardTables,
       "Word characters\r\n\r\n"
       "For every character, choose whether it may start a word, stand inside a word and end a word. A "
       "character that may not stand inside a word breaks the text there. Changing these tables changes "
       "what a word is: the word index must then be built again."},
      {kMenuWizardSets,
       "Word definition sets\r\n\r\n"
       "Keep the word characters under a name, to go back to them later or to use them for another kind of "
       "message. Using a set makes it your current word definition."},
      {kMenuWizardPause,
       "Search pause\r\n\r\n"
       "A search that reads many index entries stops after this number of entries to ask whether to go on. "
       "A larger number asks less often."},
  };
  return t;
}

}  // namespace

std::string GetMenuText(int number) {
  auto it = texts().find(number);
  return it == texts().end() ? std::string() : it->second;
}

}  // namespace qv
