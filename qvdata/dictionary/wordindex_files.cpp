#include "dictionary/wordindex_files.h"

#include "dictionary/file_numbers.h"
#include "storage/posting_driver.h"

namespace qv {

WordListRec WOR;
static FileDecl& wordListDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileWordList, "WordList", "WOR", "VELDRA"};
    decl.reusePositions = true;
    DeclBuilder<WordListRec> b(decl, WOR);
    b.field("WORDID", &WordListRec::WORDID)
        .field("THEWORD", &WordListRec::THEWORD)
        .field("WORDCOUNT", &WordListRec::WORDCOUNT);
    b.key("by_WordId", {{"WORDID"}}, KeyUnique | KeyExcludeEmpty | KeyPrimary)
        .key("by_theWord", {{"THEWORD"}}, KeyUnique | KeyNoCase | KeyExcludeEmpty)
        .key("by_WordCount", {{"WORDCOUNT"}}, KeyDup | KeyExcludeEmpty | KeyOnDemand);
    return decl;
  }();
  return d;
}
File WordList(wordListDecl());
Key WOR_by_WordId = WordList.key("by_WordId");
Key WOR_by_theWord = WordList.key("by_theWord");
Key WOR_by_WordCount = WordList.key("by_WordCount");

MasIdxRec MAS;
static FileDecl& masIdxDecl() {
  static FileDecl d = [] {
    // Posting lists: per word its messages, per message its words.
    registerPostingDriver();
    FileDecl decl{FileMasIdx, "MasIdx", "MAS", kPostingDriverName};
    DeclBuilder<MasIdxRec> b(decl, MAS);
    b.field("SYSID", &MasIdxRec::SYSID).field("WORDID", &MasIdxRec::WORDID);
    b.key("by_SysID", {{"SYSID"}, {"WORDID"}}, KeyUnique | KeyExcludeEmpty | KeyPrimary)
        // The messages of one word in message order: the key then holds both
        // numbers and a search reads a word's messages from the key alone.
        .key("by_WordId", {{"WORDID"}, {"SYSID"}}, KeyDup | KeyExcludeEmpty);
    return decl;
  }();
  return d;
}
File MasIdx(masIdxDecl());
Key MAS_by_SysID = MasIdx.key("by_SysID");
Key MAS_by_WordId = MasIdx.key("by_WordId");

PurgeListRec PUR;
static FileDecl& purgeListDecl() {
  static FileDecl d = [] {
    FileDecl decl{FilePurgeList, "PurgeList", "PUR", "VELDRA"};
    decl.reusePositions = true;
    DeclBuilder<PurgeListRec> b(decl, PUR);
    b.field("SYSID", &PurgeListRec::SYSID).field("WORDID", &PurgeListRec::WORDID);
    return decl;
  }();
  return d;
}
File PurgeList(purgeListDecl());

WordDefsRec WD;
static FileDecl& wordDefsDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileWordDefs, "WordDefs", "WD", "ARDENT"};
    DeclBuilder<WordDefsRec> b(decl, WD);
    b.field("SETNAME", &WordDefsRec::SETNAME)
        .field("ID", &WordDefsRec::ID)
        .field("STARTWORD", &WordDefsRec::STARTWORD)
        .field("INWORD", &WordDefsRec::INWORD)
        .field("ENDWORD", &WordDefsRec::ENDWORD);
    b.key("BY_SETNAME", {{"SETNAME"}, {"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File WordDefs(wordDefsDecl());
Key WD_BY_SETNAME = WordDefs.key("BY_SETNAME");

}  // namespace qv
