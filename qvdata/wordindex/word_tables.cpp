#include "wordindex/word_tables.h"

#include <array>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"

namespace qv {

std::vector<std::string> wordSetNames() {
  std::vector<std::string> names;
  FileScope scope({FileWordDefs});
  WordDefs.set(WD_BY_SETNAME);
  while (WordDefs.next())
    if (names.empty() || names.back() != WD.SETNAME.str()) names.push_back(WD.SETNAME.str());
  return names;
}

namespace {
// Removes every record of a set; the file is open.
bool removeSet(const std::string& name) {
  for (;;) {
    WD = WordDefsRec();
    WD.SETNAME = name;
    WordDefs.setPrefix(WD_BY_SETNAME, 1);
    if (!WordDefs.next() || WD.SETNAME.str() != name) return true;
    if (!WordDefs.remove()) return false;
  }
}
}  // namespace

bool saveWordSet(const std::string& name) {
  FileScope scope({FileWordDefs});
  bool ok = beginTransaction({&WordDefs}, 5) && removeSet(name);
  for (int c = 0; ok && c < 256; ++c) {
    WD = WordDefsRec();
    WD.SETNAME = name;
    WD.ID = uint8_t(c);
    WD.STARTWORD = StartWordHash[size_t(c)] ? 0 : 1;  // 1 = the character may start a word
    WD.INWORD = InWordHash[size_t(c)] ? 0 : 1;
    WD.ENDWORD = EndWordHash[size_t(c)] ? 0 : 1;
    ok = WordDefs.add();
  }
  if (ok) ok = commitTransaction();
  if (!ok) rollbackTransaction();
  return ok;
}

bool useWordSet(const std::string& name) {
  FileScope scope({FileWordDefs});
  std::array<uint8_t, 256> start = StartWordHash, in = InWordHash, end = EndWordHash;
  bool found = false;
  WD = WordDefsRec();
  WD.SETNAME = name;
  WordDefs.setPrefix(WD_BY_SETNAME, 1);
  while (WordDefs.next() && WD.SETNAME.str() == name) {
    found = true;
    start[WD.ID] = WD.STARTWORD ? 0 : 1;
    in[WD.ID] = WD.INWORD ? 0 : 1;
    end[WD.ID] = WD.ENDWORD ? 0 : 1;
  }
  scope.release();
  if (!found) return false;
  StartWordHash = start;
  InWordHash = in;
  EndWordHash = end;
  return true;
}

bool deleteWordSet(const std::string& name) {
  FileScope scope({FileWordDefs});
  bool ok = removeSet(name);
  return ok;
}

}  // namespace qv
