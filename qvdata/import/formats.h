// The table of source formats: names, numbers, default masks, how a file is
// opened and which parser group converts it.
#pragma once

#include <string>
#include <vector>

namespace qv {

enum class OpenAs { Lines, Blocks, Dbf, None };

enum class ParserGroup {
  None,
  WinCim,        // WinCIM, DOSCIM, CSNav
  Cs3,           // CompuServe 3.x
  LineFamily,    // OzWin I, OzWin II, OzCIS, TAPCIS 5.x, TAPCIS 6.x, AUTOSIG
  NavCisSave,    // NavCIS Save format
  GoldenCompass,
  NewsSpool,     // VirtualAccess, Agent News, Unix News
  NewsIe,        // IE News, Outlook Express News
  NewsNetscape,  // Netscape News, Gravity
  MailMbx,       // IE Mail, Netscape Mail, Outlook Express Mail
  Eudora,
  MailUnix,      // Unix Mail, Becky Mail, Agent Mail
  Pegasus,
  CisComm,
  NavCisDbf,     // NavCIS 1.6x, NavCIS 1.7x-
  Oui,
};

// The kinds of message a format can import, as a bit mask (FormatInfo::kinds).
// Not database kinds: those are DbKind (services/db_kind.h), where news is 3.
enum FormatKind : unsigned { ImportsForum = 1, ImportsMail = 2, ImportsNews = 4 };

struct FormatInfo {
  int number;
  const char* name;
  unsigned kinds;  // FormatKind bits
  const char* defaultMask;
  OpenAs openAs;
  ParserGroup group;
};

// All 35 entries in table order.
const std::vector<FormatInfo>& formatTable();
// Exact, case-sensitive match on the name; nullptr when unknown.
const FormatInfo* formatByName(const std::string& name);
const FormatInfo* formatByNumber(int number);
// The formats offered in the wizard: all but "Reserv" and "Gravity".
std::vector<const FormatInfo*> offeredFormats();
inline constexpr int kDefaultFormatNumber = 17;  // "WinCIM"

// Formats whose progress bar runs over file sizes rather than record counts.
bool progressBySize(const FormatInfo& f);
// Formats whose forum messages do not name their forum: the import names the
// target forum database.
bool needsForumName(const FormatInfo& f);

}  // namespace qv
