// Word-index files of a database, kept under the word-index root in the
// database's directory name: the word list, the (message, word) pairs, the
// pairs written in bulk by an indexing run, and the word-definition sets.
#pragma once

#include <cstdint>

#include "storage/file.h"

namespace qv {

// File 28, WordList (IDX028.DAT): one record per distinct indexed word.
struct WordListRec {
  int32_t WORDID = 0;
  Str<40> THEWORD;
  int32_t WORDCOUNT = 0;  // in how many messages the word occurs
};
extern WordListRec WOR;
extern File WordList;
// by_WordCount is built on demand: after an indexing run, and when the word
// list is browsed while the database marks it stale.
extern Key WOR_by_WordId, WOR_by_theWord, WOR_by_WordCount;

// File 29, MasIdx (IDX029): one record per (message, distinct word) pair.
struct MasIdxRec {
  uint32_t SYSID = 0;   // the message's ID
  uint32_t WORDID = 0;  // WOR.WORDID
};
extern MasIdxRec MAS;
extern File MasIdx;
extern Key MAS_by_SysID, MAS_by_WordId;

// File 33, PurgeList (IDX033.DAT): (message, word) pairs written in bulk by
// the indexing run.
struct PurgeListRec {
  int32_t SYSID = 0;
  int32_t WORDID = 0;
};
extern PurgeListRec PUR;
extern File PurgeList;

// File 39, WordDefs (IDX039): word-definition character sets.
struct WordDefsRec {
  Str<40> SETNAME;
  uint8_t ID = 0;  // a character code
  uint8_t STARTWORD = 0;
  uint8_t INWORD = 0;
  uint8_t ENDWORD = 0;
};
extern WordDefsRec WD;
extern File WordDefs;
extern Key WD_BY_SETNAME;

}  // namespace qv
