// Content detection of the line formats: does a file hold forum messages,
// mail, or neither?
#include <string>
#include <vector>

#include "import/parser.h"
#include "import/parsers/line_reader.h"
#include "import/parsers/mail_layout.h"

namespace qv {

namespace {

// OzCIS, OzWin I, OzWin II: the first "Date:  " line followed by "MgTo:" or
// "From:" is mail; the first "#:" line with "Sb:" two lines further down is
// a forum message. Anything else where those lines start decides against.
int detectOz(cis::LineReader& r) {
  std::string line;
  while (r.next(line)) {
    if (line.starts_with("Date:  ")) {
      if (!r.next(line)) return KindNoDb;
      return line.starts_with("MgTo:") || line.starts_with("From:") ? KindMailDb : KindNoDb;
    }
    if (line.starts_with("#:")) {
      if (!r.next(line) || !r.next(line)) return KindNoDb;
      return line.starts_with("Sb:") ? KindForumDb : KindNoDb;
    }
  }
  return KindNoDb;
}

// TAPCIS 5.x, TAPCIS 6.x, AUTOSIG: any "#:" line; the import kind decides.
// Mail in the host's layout ("Date:  " and "From:" or "MgTo:", as a capture
// of the host's mail shows it) is mail: for an import of mail wherever it
// comes first, for any other import when the file has no "#:" line.
int detectTapcis(cis::LineReader& r, int importKind) {
  std::string line;
  bool mailLayout = false;
  while (r.next(line)) {
    if (line.starts_with("#:")) return importKind == KindMailDb ? KindMailDb : KindForumDb;
    if (mailLayout || !line.starts_with(cis::kMailDateLabel)) continue;
    std::string next;
    if (!r.next(next)) break;
    mailLayout = cis::mailLayoutStart(line, next);
    if (mailLayout && importKind == KindMailDb) return KindMailDb;
    r.giveBack({std::move(next)});
  }
  return mailLayout ? KindMailDb : KindNoDb;
}

// NavCIS save files: a block of "Subject:", "From:", "To:" and then "Date:"
// (mail) or "Forum:" (forum). A block that goes wrong is searched again from
// the line after its "Subject:" line.
int detectNavCis(cis::LineReader& r) {
  std::string line;
  while (r.next(line)) {
    if (!line.starts_with("Subject:  ")) continue;
    std::vector<std::string> rest;
    std::string l;
    while (rest.size() < 3 && r.next(l)) rest.push_back(std::move(l));
    if (rest.size() == 3 && rest[0].starts_with("   From:  ") && rest[1].starts_with("     To:  ")) {
      if (rest[2].starts_with("   Date:  ")) return KindMailDb;
      if (rest[2].starts_with("  Forum:  ")) return KindForumDb;
    }
    r.giveBack(std::move(rest));
  }
  return KindNoDb;
}

}  // namespace

int detectLineFormat(const std::string& format, File& lines, int importKind) {
  cis::LineReader r(lines);
  r.rewind();
  int result = KindNoDb;
  if (format == "OzCIS" || format == "OzWin I" || format == "OzWin II")
    result = detectOz(r);
  else if (format == "TAPCIS 5.x" || format == "TAPCIS 6.x" || format == "AUTOSIG")
    result = detectTapcis(r, importKind);
  else if (format == "NavCIS Save format")
    result = detectNavCis(r);
  lines.setFileOrder();
  return result;
}

}  // namespace qv
