// The parser of Eudora mailboxes (.MBX): every message begins with a line
// "From ???@???" (followed by the date Eudora received it) and runs to the
// next such line; what comes before the first one is passed over. Eudora
// keeps messages decoded: HTML between <x-html> and </x-html>, attachments
// detached and named by "Attachment Converted:" lines. Mailboxes of the Mac
// version have CR line ends, and their 8-bit text that declares no charset
// is Mac Roman (the mail parser tells them by their line ends).
#include "import/parsers/mail_parser.h"
#include "import/parsers/parsers.h"

namespace qv {

std::unique_ptr<Parser> makeEudoraParser() {
  auto separator = [](std::string_view line, const mail::MailLine*) { return line.substr(0, 12) == "From ???@???"; };
  return mail::makeMailParser(mail::makeSeparatorCutter(separator, false), mail::Flavour::Eudora);
}

}  // namespace qv
