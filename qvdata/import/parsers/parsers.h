// Factories of the parsers built into the library, one per parser group.
#pragma once

#include <memory>

#include "import/parser.h"

namespace qv {

// OzCIS, OzWin I, OzWin II, TAPCIS 5.x, TAPCIS 6.x and AUTOSIG message files.
std::unique_ptr<Parser> makeLineFamilyParser();
// NavCIS save files.
std::unique_ptr<Parser> makeNavCisSaveParser();

// WinCIM, DOSCIM and CSNav filing-cabinet files.
std::unique_ptr<Parser> makeWinCimParser();
// The CompuServe 3.x message cabinet.
std::unique_ptr<Parser> makeCs3Parser();
// GoldenCompass message files.
std::unique_ptr<Parser> makeGoldenCompassParser();

// VirtualAccess, Agent News and Unix News stores and news spool files.
std::unique_ptr<Parser> makeNewsSpoolParser();
// IE News and Outlook Express News stores (".NCH", and the ".dbx" stores of
// Outlook Express 5 and later).
std::unique_ptr<Parser> makeNewsIeParser();
// The ".NCH" stores alone.
std::unique_ptr<Parser> makeNewsNchParser();
// Netscape News (".SNM") and Gravity stores.
std::unique_ptr<Parser> makeNewsNetscapeParser();

// IE Mail, Outlook Express Mail (.MBX record stores) and Netscape Mail.
std::unique_ptr<Parser> makeMailMbxParser();
// Eudora mailboxes.
std::unique_ptr<Parser> makeEudoraParser();
// Unix Mail, Becky Mail and Agent Mail files, Maildir and .eml files.
std::unique_ptr<Parser> makeMailUnixParser();
// Pegasus folders.
std::unique_ptr<Parser> makePegasusParser();

}  // namespace qv
