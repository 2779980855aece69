// Installations written as older versions wrote them, through the
// converter's declarations of the old record layouts.
#pragma once

#include <cstdint>
#include <string>

namespace qvtest {

struct OldInstallationOptions {
  bool duplicateOwners = false;   // both mailboxes owned by "Mary Owner"
  bool missingDirectory = false;  // a forum definition whose directory F7 is not there
  int version = 250;              // the version the control file names
};

// The old layout: everything in the program directory `root`. Three
// databases: the forums "CIS:IBMPRO" (F1) and "CIS:MACFORUM" (F2), and the
// one mail database "CIS:MAIL" (F3) holding the mail of the mailboxes
// "Mary Owner" (three mails) and "John Smith" (two mails), with persons,
// key words and their links, and a carbon copy.
void writeOldInstallation(const std::string& root, const OldInstallationOptions& options = {});

// The current layout at `version`: CFG/IDX008.ADF naming it, and the
// database list and file list in the layout of that version (40-character
// names before 3.30 and from 3.53 to 3.59, the current one otherwise), the
// list with "CIS:IBMPRO" (F1) and "Mary Owner" (F2).
void writeNewLayout(const std::string& root, int version);

// What the old installation holds, for the checks.
inline constexpr uint32_t kMaryId = 260001, kJohnId = 260002, kAliceId = 260003, kBobId = 260004, kCarlId = 260005;
inline constexpr uint32_t kMailDateHeader = 270001, kMailGreeting = 270002, kMailHtml = 270003,
                          kMailJohn = 270004, kMailReceived = 270005;
inline constexpr const char* kGreetingText = "Hello Alice,\r\nthanks for the pictures of the new house.\r\n";

}  // namespace qvtest
