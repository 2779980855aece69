#include "export/address_entries.h"

#include <algorithm>

#include "export/export_text.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kInternetPrefix = "INTERNET:";
// The longest content line of a vCard, in octets without its CR LF.
constexpr size_t kVcardLineMax = 75;

const std::vector<AddressFormatInfo> kFormats = {
    {AddressTapcis, "TAPCIS", "Address.Txt", "tapcis"},
    {AddressEudora, "Eudora", "Address.Txt", "eudora"},
    {AddressUnix, "Unix RFC822", "Address.Txt", "rfc822"},
    {AddressOzWin, "OzWin II", "Address.Ab", "ozwin2"},
    {AddressVcard, "vCard 4.0", "Address.vcf", "vcard"},
};

// The codes each kind offers, in the order the window lists them.
std::vector<int> codesOf(int kind) {
  if (kind == KindMailDb) return {AddressEudora, AddressOzWin, AddressTapcis, AddressUnix, AddressVcard};
  if (kind == KindNewsDb) return {AddressUnix, AddressVcard};
  return {AddressOzWin, AddressTapcis, AddressVcard};
}

int layoutItem(int kind) {
  return kind == KindMailDb ? ItemExportLayoutMail : kind == KindNewsDb ? ItemExportLayoutNews : ItemExportLayoutForum;
}

int vcardItem(int kind) {
  return kind == KindMailDb ? ItemAddressVcardMail : kind == KindNewsDb ? ItemAddressVcardNews : ItemAddressVcardForum;
}

bool isInternet(std::string_view a) { return a.find('@') != std::string_view::npos; }

bool isControl(unsigned char c) { return c < 32 || c == 127; }

// A line format cannot hold line ends: control characters become blanks.
std::string lineSafe(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (isControl(static_cast<unsigned char>(c))) c = ' ';
  return out;
}

// Characters that may stand in an unquoted name before an address (atext,
// blanks, and any character beyond ASCII).
bool plainNameChar(unsigned char c) {
  if (c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ') return true;
  return std::string_view("!#$%&'*+-/=?^_`{|}~").find(char(c)) != std::string_view::npos;
}

// A quoted string: the text between double quotes, with '"' and '\' escaped.
std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A name written before an address: as it is when every character may stand
// unquoted, else as a quoted string.
std::string phrase(std::string_view s) {
  bool plain = !s.empty() && s.front() != ' ' && std::all_of(s.begin(), s.end(), [](char c) {
    return plainNameChar(static_cast<unsigned char>(c));
  });
  return plain ? std::string(s) : quoted(s);
}

// The RFC 822 entry of the Internet formats: a name before the address in
// angle brackets, so that a reader takes the name as the name, or the
// address alone without a last name.
std::string internetEntry(const PersonText& p) {
  std::string address = lineSafe(addressBookInternet(p.address));
  std::string last = lineSafe(p.last), first = lineSafe(p.first);
  if (last.empty()) return address;
  std::string name = first.empty() ? phrase(last) : quoted(first + " " + last);
  return name + " <" + address + ">";
}

std::string ozWinEntry(const std::string& name, const std::string& address) {
  // A length is one byte; the fields are far shorter, the cut only guards it.
  std::string n = name.substr(0, 255), a = address.substr(0, 255);
  std::string out;
  out += char(uint8_t(n.size()));
  out += n;
  out += char(uint8_t(a.size()));
  out += a;
  out += '\0';
  out += '\0';
  return out;
}

std::string vcardEntry(const PersonText& p) {
  std::string email = addressBookInternet(p.address);
  std::string name = addressBookName(p);
  std::string out = vcardLine("BEGIN:VCARD") + vcardLine("VERSION:4.0");
  out += vcardLine("FN:" + vcardEscape(name.empty() ? email : name));
  out += vcardLine("N:" + vcardEscape(p.last) + ";" + vcardEscape(p.first) + ";;;");
  out += vcardLine("EMAIL:" + vcardEscape(email));
  out += vcardLine("END:VCARD");
  return out;
}

// The length of a UTF-8 sequence's leading byte (1 for a stray byte).
size_t sequenceLength(unsigned char c) {
  if (c >= 0xF0 && c <= 0xF7) return 4;
  if (c >= 0xE0) return c <= 0xEF ? 3 : 1;
  if (c >= 0xC0) return 2;
  return 1;
}

}  // namespace

const std::vector<AddressFormatInfo>& addressFormats() { return kFormats; }

const AddressFormatInfo* addressFormatInfo(int code) {
  for (const AddressFormatInfo& f : kFormats)
    if (f.code == code) return &f;
  return nullptr;
}

std::vector<AddressFormatInfo> addressFormatsOf(int kind) {
  std::vector<AddressFormatInfo> out;
  for (int code : codesOf(kind)) out.push_back(*addressFormatInfo(code));
  return out;
}

bool addressFormatOffered(int kind, int code) {
  std::vector<int> codes = codesOf(kind);
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

int rememberedAddressFormat(int kind) {
  if (KonfigGet(vcardItem(kind)) != 0) return AddressVcard;
  int64_t layout = KonfigGet(layoutItem(kind));
  if (layout != AddressVcard && addressFormatOffered(kind, int(layout))) return int(layout);
  return kind == KindNewsDb ? AddressUnix : AddressTapcis;
}

void rememberAddressFormat(int kind, int code) {
  KonfigSet(vcardItem(kind), code == AddressVcard ? 1 : 0);
  if (code != AddressVcard && kind != KindNewsDb) KonfigSet(layoutItem(kind), code);
  Konfig(KSaveDisplay);
}

std::string addressBookName(const PersonText& p) {
  if (p.first.empty()) return p.last;
  if (p.last.empty()) return p.first;
  return p.first + " " + p.last;
}

std::string addressBookCompuServe(std::string_view address) {
  return isInternet(address) ? kInternetPrefix + std::string(address) : std::string(address);
}

// A CompuServe number becomes its Internet address; any other address that
// lacks an at sign (an obscured "name at host", a forum's "All") is written
// as it stands rather than made into a wrong address at the CompuServe domain.
std::string addressBookInternet(std::string_view address) {
  if (isInternet(address)) return std::string(address);
  return compuServeInternetAddress(address);
}

std::string addressEntry(int format, const PersonText& p) {
  if (p.address.empty()) return {};
  switch (format) {
    case AddressTapcis:
      return lineSafe(addressBookName(p)) + " " + lineSafe(addressBookCompuServe(p.address)) + "|" + kCrLf;
    case AddressOzWin:
      return ozWinEntry(addressBookName(p), addressBookCompuServe(p.address));
    case AddressEudora:
      return "alias " + internetEntry(p) + kCrLf;
    case AddressUnix:
      return internetEntry(p) + kCrLf;
    case AddressVcard:
      return vcardEntry(p);
    default:
      return {};
  }
}

std::string vcardEscape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' || c == ',' || c == ';') {
      out += '\\';
      out += c;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\n";
    } else {
      out += isControl(static_cast<unsigned char>(c)) ? ' ' : c;
    }
  }
  return out;
}

std::string vcardLine(std::string_view line) {
  std::string out;
  size_t room = kVcardLineMax;  // octets the current physical line may still take
  size_t i = 0;
  while (i < line.size()) {
    size_t n = std::min(sequenceLength(static_cast<unsigned char>(line[i])), line.size() - i);
    if (n > room) {
      out += kCrLf;
      out += ' ';
      room = kVcardLineMax - 1;
    }
    out.append(line.substr(i, n));
    room -= n;
    i += n;
  }
  return out + kCrLf;
}

}  // namespace qv
