// GP_WORDLIST: the words of the current database's word index with the
// number of messages each occurs in.
#include "dictionary/dictionary.h"
#include "frame/window_host.h"
#include "lookup/lookup_list.h"
#include "wordindex/word_cut.h"

namespace qvm {

namespace {

LookupRow wordRow() {
  LookupRow r;
  r.id = uint32_t(qv::WOR.WORDID);
  r.texts = {QString::fromStdString(qv::WOR.THEWORD.str()), QString::number(qv::WOR.WORDCOUNT)};
  return r;
}

}  // namespace

LookupDef wordLookup() {
  LookupDef s;
  s.title = QStringLiteral(" Indexed Words [");
  s.columns = {QStringLiteral("Word"), QStringLiteral("Indexes")};
  s.widths = {280, 80};
  s.numberColumns = {1};
  s.slot = SlotGpWordList;
  s.listSlot = ListGpWordList;
  s.files = {28};
  s.file = &qv::WordList;
  s.key = [](int) { return qv::WOR_by_theWord; };
  s.row = wordRow;
  s.seekText = [](int, const QString& text) {
    std::string w = qv::wordUpper(text.trimmed().toStdString());
    if (w.empty()) return 0;
    qv::WOR.THEWORD = w;
    return 1;
  };
  s.readId = [](uint32_t id) {
    qv::WOR.WORDID = int32_t(id);
    return qv::WordList.get(qv::WOR_by_WordId);
  };
  return s;
}

void pickWord(QWidget* parent, const QString& startText, PickDone done) {
  openLookupList(parent, wordLookup(), startText, 0, std::move(done));
}

}  // namespace qvm
