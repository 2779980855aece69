// The address-book formats and the entry each writes for a person: the
// formats a kind of database offers, the format remembered per kind, and
// the bytes of one entry in each format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/export_text.h"

namespace qv {

// The address-book formats by their codes.
enum AddressFormat : int {
  AddressTapcis = 1,  // "Name address|" lines
  AddressEudora = 2,  // "alias" lines of a nickname file
  AddressUnix = 3,    // one RFC 822 address a line
  AddressOzWin = 4,   // binary entries: length, name, length, address, two zero bytes
  AddressVcard = 5,   // vCard 4.0, one card per person
};

struct AddressFormatInfo {
  int code;
  const char* name;         // as the window lists it
  const char* defaultFile;  // the file name when the user gives none
  const char* cliName;      // as qvcli's --format names it
};

// Every format, in code order.
const std::vector<AddressFormatInfo>& addressFormats();
// The formats a kind of database offers (qv::DbKind), as the window lists them.
std::vector<AddressFormatInfo> addressFormatsOf(int kind);
bool addressFormatOffered(int kind, int code);
// The format of a code; nullptr for an unknown code.
const AddressFormatInfo* addressFormatInfo(int code);

// The format last chosen for a kind: vCard when its item says so, else the
// kind's export layout when the kind offers it, else TAPCIS for forum and
// mail databases and Unix RFC822 for newsgroup databases.
int rememberedAddressFormat(int kind);
// Keeps the choice in memory and in the control file. A newsgroup database
// offers one of the reader formats only, so its export layout (which may
// hold the originals choice of the message export) is left alone.
void rememberAddressFormat(int kind, int code);

// The person's name as the CompuServe formats write it: "First Last", the
// last or the first name alone, or "" without either.
std::string addressBookName(const PersonText& p);
// An address as the CompuServe formats write it: "INTERNET:" before an
// Internet address, a CompuServe number as it is.
std::string addressBookCompuServe(std::string_view address);
// An address as the Internet formats write it: an Internet address as it
// is; otherwise the first comma becomes a full stop and "@" and the
// CompuServe mail domain follow.
std::string addressBookInternet(std::string_view address);

// The bytes of one person's entry in a format, line ends included; "" for a
// person without an address, who is left out of every format.
std::string addressEntry(int format, const PersonText& p);

// vCard pieces: a text value with "\", ",", ";" and line ends escaped, and
// a content line ended by CR LF and folded so that no line is longer than
// 75 octets (a fold never splits a UTF-8 character).
std::string vcardEscape(std::string_view text);
std::string vcardLine(std::string_view line);

}  // namespace qv
