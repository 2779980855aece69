// The parser of the CompuServe readers that keep their messages as text:
// OzCIS, OzWin I, OzWin II, TAPCIS 5.x, TAPCIS 6.x and AUTOSIG.
//
// A forum message begins with the five header lines of header_lines.h. Mail
// of the OzCIS family starts with "Date:  ", then "From:" (received) or
// "MgTo:" (sent), then "Subj:"; TAPCIS and AUTOSIG mail has the header of a
// forum message.
#include <memory>
#include <string>
#include <vector>

#include "import/parsers/cis_text.h"
#include "import/parsers/header_lines.h"
#include "import/parsers/line_file_parser.h"
#include "import/parsers/message_record.h"
#include "import/parsers/parsers.h"
#include "services/names.h"

namespace qv {

namespace {

using cis::after;
using cis::trim;

enum class Variant { OzCis, OzWin1, OzWin2, Tapcis5, Tapcis6, Autosig, Other };

Variant variantOf(std::string_view name) {
  if (name == "OzCIS") return Variant::OzCis;
  if (name == "OzWin I") return Variant::OzWin1;
  if (name == "OzWin II") return Variant::OzWin2;
  if (name == "TAPCIS 5.x") return Variant::Tapcis5;
  if (name == "TAPCIS 6.x") return Variant::Tapcis6;
  if (name == "AUTOSIG") return Variant::Autosig;
  return Variant::Other;
}

bool ozFamily(Variant v) { return v == Variant::OzCis || v == Variant::OzWin1 || v == Variant::OzWin2; }

cis::HeaderRules rulesOf(Variant v) {
  cis::HeaderRules r;
  r.forumInLine = v == Variant::OzWin1 || v == Variant::OzWin2;
  r.parentField = v == Variant::OzWin2;
  r.atMarkers = v == Variant::Tapcis5;
  r.outboxMail = v == Variant::Tapcis5;
  return r;
}

class LineFamilyParser : public cis::LineFileParser {
 protected:
  bool begin(ImportContext& ctx) override {
    variant_ = variantOf(ctx.format().name);
    kind_ = ctx.fileKind();
    if (kind_ != 1 && kind_ != 2) kind_ = ctx.settings().importMail && !ctx.settings().importForum ? 2 : 1;
    return variant_ != Variant::Other;
  }

  bool startsMessage(std::string& line, std::vector<std::string>&) override {
    if (kind_ == 2 && ozFamily(variant_)) return line.starts_with("Date:  ");
    return line.starts_with("#:");
  }

  bool convertMessage(ImportContext& ctx) override {
    cis::HeaderRules rules = rulesOf(variant_);
    if (kind_ == 1) return cis::convertForumMessage(ctx, msg_, rules, std::string(trim(ctx.settings().forumName)));
    if (ozFamily(variant_)) return convertOzMail(ctx);
    return cis::convertMailMessage(ctx, msg_, rules);
  }

 private:
  // Mail of the OzCIS family ("Date:  ", "From:" or "MgTo:", "Subj:").
  bool convertOzMail(ImportContext& ctx) {
    if (!ctx.settings().importMail) return skipped(ctx);
    cis::DateTime when = cis::parseDateTime(after(msg_.header(1), 7));
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return skipped(ctx);

    MessageFields m;
    std::string line2 = msg_.header(2);
    int direction;
    if (line2.starts_with("From:")) {
      direction = 1;
      FindCISAdress(2, after(line2, 5), m.senderName, m.senderAddress);
    } else if (line2.starts_with("MgTo:")) {
      direction = 2;
      FindCISAdress(2, after(line2, 5), m.recipientName, m.recipientAddress);
    } else {
      return skipped(ctx);
    }
    if (!msg_.lineStarts(3, "Subj:")) return skipped(ctx);
    m.subject = trim(after(msg_.header(3), 5));
    m.date = when.date;
    m.time = when.time;
    m.text = msg_.text(variant_ == Variant::OzWin2 ? 6 : 5);
    return emitMail(ctx, *box, direction, m);
  }

  Variant variant_ = Variant::Other;
  int kind_ = 1;
};

}  // namespace

std::unique_ptr<Parser> makeLineFamilyParser() { return std::make_unique<LineFamilyParser>(); }

}  // namespace qv
