#include "import/formats.h"

namespace qv {

const std::vector<FormatInfo>& formatTable() {
  using G = ParserGroup;
  const unsigned FM = ImportsForum | ImportsMail;
  static const std::vector<FormatInfo> t = {
      {1, "AUTOSIG", FM, "*.ATO", OpenAs::Lines, G::LineFamily},
      {2, "CISCOMM", FM, "*.DBF", OpenAs::Dbf, G::CisComm},
      {3, "CompuServe 3.x", FM, "FCABINET.DAT", OpenAs::Blocks, G::Cs3},
      {4, "CSNav", FM, "*.THD;*.MSG;*.PLX", OpenAs::Blocks, G::WinCim},
      {5, "DOSCIM", FM, "*.THD;*.MSG;*.PLX", OpenAs::Blocks, G::WinCim},
      {6, "Eudora", ImportsMail, "*.MBX", OpenAs::Blocks, G::Eudora},
      {7, "GoldenCompass", FM, "*.MSG", OpenAs::Blocks, G::GoldenCompass},
      {8, "IE Mail", ImportsMail, "*.MBX", OpenAs::Blocks, G::MailMbx},
      {9, "IE News", ImportsNews, "*.NCH", OpenAs::Blocks, G::NewsIe},
      {10, "NavCIS 1.6x", FM, "RECV.DBF", OpenAs::Dbf, G::NavCisDbf},
      {11, "NavCIS 1.7x-", FM, "HRECV.DBF", OpenAs::Dbf, G::NavCisDbf},
      {12, "OzCIS", FM, "*.MSG;*.PRG;*.OBS", OpenAs::Lines, G::LineFamily},
      {13, "OzWin I", FM, "*.MSG;*.PRG;*.OBS", OpenAs::Lines, G::LineFamily},
      {14, "OzWin II", FM, "*.MSG;*.PRG;*.OBS", OpenAs::Lines, G::LineFamily},
      {15, "TAPCIS 5.x", FM, "*.MSG;*.OLD", OpenAs::Lines, G::LineFamily},
      {16, "VirtualAccess", ImportsNews, "*.", OpenAs::Blocks, G::NewsSpool},
      {17, "WinCIM", FM, "*.THD;*.MSG;*.PLX", OpenAs::Blocks, G::WinCim},
      {18, "Agent News", ImportsNews, "*.*", OpenAs::Blocks, G::NewsSpool},
      {19, "TAPCIS 6.x", FM, "*.MSG;*.OLD", OpenAs::Lines, G::LineFamily},
      {20, "Pegasus", ImportsMail, "*.PMM", OpenAs::Blocks, G::Pegasus},
      {21, "Netscape News", ImportsNews, "*.SNM", OpenAs::Blocks, G::NewsNetscape},
      {22, "Netscape Mail", ImportsMail, "*.*", OpenAs::Blocks, G::MailMbx},
      {23, "Outlook Express Mail", ImportsMail, "*.MBX", OpenAs::Blocks, G::MailMbx},
      {24, "Outlook Express News", ImportsNews, "*.NCH", OpenAs::Blocks, G::NewsIe},
      {25, "NavCIS Save format", FM, "*.SAV", OpenAs::Lines, G::NavCisSave},
      {26, "Unix Mail", ImportsMail, "*.*", OpenAs::Blocks, G::MailUnix},
      {27, "Becky Mail", ImportsMail, "*.MBX", OpenAs::Blocks, G::MailUnix},
      {28, "Unix News", ImportsNews, "*.*", OpenAs::Blocks, G::NewsSpool},
      {29, "Gravity", ImportsNews, "*.*", OpenAs::Blocks, G::NewsNetscape},
      {30, "Agent Mail", ImportsMail, "*.*", OpenAs::Blocks, G::MailUnix},
      {31, "OUI", ImportsNews | ImportsMail, "MESSAGE.DBF", OpenAs::Dbf, G::Oui},
      {32, "Reserv", 0, "", OpenAs::None, G::None},
      {33, "Reserv", 0, "", OpenAs::None, G::None},
      {34, "Reserv", 0, "", OpenAs::None, G::None},
      {35, "Reserv", 0, "", OpenAs::None, G::None},
  };
  return t;
}

const FormatInfo* formatByName(const std::string& name) {
  for (const FormatInfo& f : formatTable())
    if (name == f.name && f.group != ParserGroup::None) return &f;
  return nullptr;
}

const FormatInfo* formatByNumber(int number) {
  for (const FormatInfo& f : formatTable())
    if (f.number == number) return &f;
  return nullptr;
}

std::vector<const FormatInfo*> offeredFormats() {
  std::vector<const FormatInfo*> v;
  for (const FormatInfo& f : formatTable())
    if (f.group != ParserGroup::None && std::string(f.name) != "Gravity") v.push_back(&f);
  return v;
}

bool progressBySize(const FormatInfo& f) {
  switch (f.group) {
    case ParserGroup::WinCim:
    case ParserGroup::NewsSpool:
    case ParserGroup::NewsIe:
    case ParserGroup::NewsNetscape:
    case ParserGroup::MailMbx:
    case ParserGroup::Eudora:
    case ParserGroup::MailUnix:
    case ParserGroup::Pegasus: return true;
    default: return false;
  }
}

bool needsForumName(const FormatInfo& f) {
  for (int n : {1, 2, 7, 12, 15, 19})
    if (f.number == n) return true;
  return false;
}

}  // namespace qv
