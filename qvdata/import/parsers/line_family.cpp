// The parser of the CompuServe readers that keep their messages as text:
// OzCIS, OzWin I, OzWin II, TAPCIS 5.x, TAPCIS 6.x and AUTOSIG, and of forum
// sessions and mail captured from the host with a terminal program, which
// these formats read as well.
//
// A forum message begins with the five header lines of header_lines.h. Mail
// of the OzCIS family has the host's mail layout (mail_layout.h); TAPCIS and
// AUTOSIG mail has the header of a forum message or the host's mail layout.
// Whatever the host wrote after a message (reply counts, prompts, menus,
// host_lines.h) is cut from its end.
#include <memory>
#include <string>
#include <vector>

#include "import/parsers/cis_text.h"
#include "import/parsers/header_lines.h"
#include "import/parsers/host_lines.h"
#include "import/parsers/line_file_parser.h"
#include "import/parsers/mail_layout.h"
#include "import/parsers/message_record.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

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
    kind_ = cisKindOf(ctx);
    return variant_ != Variant::Other;
  }

  // Forum files: "#:". Mail files: the mail layout's "Date:  " line when the
  // line after it is "From:" or "MgTo:" (that line is read to tell), and for
  // TAPCIS and AUTOSIG "#:" too.
  bool startsMessage(std::string& line, std::vector<std::string>& more) override {
    if (line.starts_with("#:")) return kind_ == KindForumDb || !ozFamily(variant_);
    if (kind_ != KindMailDb || !line.starts_with(cis::kMailDateLabel)) return false;
    std::string next;
    if (!reader().next(next)) return false;
    bool starts = cis::mailLayoutStart(line, next);
    if (starts)
      more.push_back(std::move(next));
    else
      reader().giveBack({std::move(next)});
    return starts;
  }

  bool convertMessage(ImportContext& ctx) override {
    msg_.cut(cis::messageEnd(msg_.lines, 1));
    cis::HeaderRules rules = rulesOf(variant_);
    if (kind_ == KindForumDb) return cis::convertForumMessage(ctx, msg_, rules, std::string(trim(ctx.settings().forumName)));
    if (msg_.lineStarts(1, cis::kMailDateLabel))
      return cis::convertLayoutMail(ctx, msg_, variant_ == Variant::OzWin2 ? 6 : 5);
    return cis::convertMailMessage(ctx, msg_, rules);
  }

 private:
  Variant variant_ = Variant::Other;
  int kind_ = KindForumDb;
};

}  // namespace

std::unique_ptr<Parser> makeLineFamilyParser() { return std::make_unique<LineFamilyParser>(); }

}  // namespace qv
