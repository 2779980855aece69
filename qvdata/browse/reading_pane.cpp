#include "browse/reading_pane.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/messages.h"
#include "storage/fixedstr.h"

namespace qv {

std::string shownText(const std::string& subject, const std::string& text) {
  std::string_view s = trimRight(subject);
  if (s.empty()) return text;
  return "Subject: " + std::string(s) + "\r\n\r\n" + text;
}

bool readShownText(int kind, uint32_t id, std::string& shown) {
  std::vector<int> files = kind == KindMailDb ? std::vector<int>{FileMail, FileMsgText, FileSubjects}
                                              : std::vector<int>{FileMsgNmbr, FileThreads, FileMsgText, FileSubjects};
  FileScope use(files);
  if (!readMessage(kind, id)) return false;
  std::string subject = subjectOfMessage(kind);
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  std::string text = MsgText.get(TXT_IdKey) ? TXT.MsgText : std::string();
  shown = shownText(subject, text);
  return true;
}

namespace {

constexpr size_t kOnePage = 24000, kTwoPages = 48000;

// The length of the page that ends with the first blank at or after
// character `from` (1-based), looking no further than `to`; without a blank
// the page ends after `to`, moved back to the start of a character.
size_t pageEnd(std::string_view s, size_t from, size_t to) {
  for (size_t i = from; i <= to && i <= s.size(); ++i)
    if (s[i - 1] == ' ') return i;
  size_t cut = to;
  while (cut > 0 && cut < s.size() && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

std::vector<TextPage> splitPages(std::string_view shown) {
  std::vector<size_t> ends;
  const size_t n = shown.size();
  if (n > kOnePage) ends.push_back(pageEnd(shown, 23950, 23980));
  if (n > kTwoPages) ends.push_back(pageEnd(shown, 47060, 47100));
  ends.push_back(n);
  std::vector<TextPage> pages;
  size_t first = 0;
  for (size_t i = 0; i < ends.size(); ++i) {
    TextPage p;
    p.first = first;
    p.length = ends[i] - first;
    if (i > 0) {
      p.text = kContinuedMarker;
      p.lead = p.text.size();
    }
    p.text.append(shown.substr(p.first, p.length));
    if (i + 1 < ends.size()) p.text += kMoreMarker;
    pages.push_back(std::move(p));
    first = ends[i];
  }
  return pages;
}

size_t pageOf(const std::vector<TextPage>& pages, size_t pos) {
  for (size_t i = 0; i < pages.size(); ++i)
    if (pos < pages[i].first + pages[i].length) return i;
  return pages.empty() ? 0 : pages.size() - 1;
}

}  // namespace qv
