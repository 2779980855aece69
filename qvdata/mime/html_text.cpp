#include "mime/html_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "mime/charset.h"

namespace qv::mime {

namespace {

struct Entity {
  const char* name;
  char32_t code;
};

// ISO 8859-1 names, codes 160 to 255 in order.
const char* const kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The other entities of HTML 4, and apos.
const Entity kEntities[] = {
    {"apos", 39},        {"OElig", 338},     {"oelig", 339},    {"Scaron", 352},   {"scaron", 353},
    {"Yuml", 376},       {"fnof", 402},      {"circ", 710},     {"tilde", 732},    {"Alpha", 913},
    {"Beta", 914},       {"Gamma", 915},     {"Delta", 916},    {"Epsilon", 917},  {"Zeta", 918},
    {"Eta", 919},        {"Theta", 920},     {"Iota", 921},     {"Kappa", 922},    {"Lambda", 923},
    {"Mu", 924},         {"Nu", 925},        {"Xi", 926},       {"Omicron", 927},  {"Pi", 928},
    {"Rho", 929},        {"Sigma", 931},     {"Tau", 932},      {"Upsilon", 933},  {"Phi", 934},
    {"Chi", 935},        {"Psi", 936},       {"Omega", 937},    {"alpha", 945},    {"beta", 946},
    {"gamma", 947},      {"delta", 948},     {"epsilon", 949},  {"zeta", 950},     {"eta", 951},
    {"theta", 952},      {"iota", 953},      {"kappa", 954},    {"lambda", 955},   {"mu", 956},
    {"nu", 957},         {"xi", 958},        {"omicron", 959},  {"pi", 960},       {"rho", 961},
    {"sigmaf", 962},     {"sigma", 963},     {"tau", 964},      {"upsilon", 965},  {"phi", 966},
    {"chi", 967},        {"psi", 968},       {"omega", 969},    {"thetasym", 977}, {"upsih", 978},
    {"piv", 982},        {"ensp", 8194},     {"emsp", 8195},    {"thinsp", 8201},  {"zwnj", 8204},
    {"zwj", 8205},       {"lrm", 8206},      {"rlm", 8207},     {"ndash", 8211},   {"mdash", 8212},
    {"lsquo", 8216},     {"rsquo", 8217},    {"sbquo", 8218},   {"ldquo", 8220},   {"rdquo", 8221},
    {"bdquo", 8222},     {"dagger", 8224},   {"Dagger", 8225},  {"bull", 8226},    {"hellip", 8230},
    {"permil", 8240},    {"prime", 8242},    {"Prime", 8243},   {"lsaquo", 8249},  {"rsaquo", 8250},
    {"oline", 8254},     {"frasl", 8260},    {"euro", 8364},    {"image", 8465},   {"weierp", 8472},
    {"real", 8476},      {"trade", 8482},    {"alefsym", 8501}, {"larr", 8592},    {"uarr", 8593},
    {"rarr", 8594},      {"darr", 8595},     {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},
    {"uArr", 8657},      {"rArr", 8658},     {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704},
    {"part", 8706},      {"exist", 8707},    {"empty", 8709},   {"nabla", 8711},   {"isin", 8712},
    {"notin", 8713},     {"ni", 8715},       {"prod", 8719},    {"sum", 8721},     {"minus", 8722},
    {"lowast", 8727},    {"radic", 8730},    {"prop", 8733},    {"infin", 8734},   {"ang", 8736},
    {"and", 8743},       {"or", 8744},       {"cap", 8745},     {"cup", 8746},     {"int", 8747},
    {"there4", 8756},    {"sim", 8764},      {"cong", 8773},    {"asymp", 8776},   {"ne", 8800},
    {"equiv", 8801},     {"le", 8804},       {"ge", 8805},      {"sub", 8834},     {"sup", 8835},
    {"nsub", 8836},      {"sube", 8838},     {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855},
    {"perp", 8869},      {"sdot", 8901},     {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970},
    {"rfloor", 8971},    {"lang", 9001},     {"rang", 9002},    {"loz", 9674},     {"spades", 9824},
    {"clubs", 9827},     {"hearts", 9829},   {"diams", 9830}};

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isAlpha(c) || isDigit(c); }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// Position of needle (lower case) in s from pos on, letter case ignored.
size_t findNoCase(std::string_view s, size_t pos, std::string_view needle) {
  if (needle.empty() || s.size() < needle.size()) return std::string_view::npos;
  for (size_t i = pos; i + needle.size() <= s.size(); ++i) {
    if (lower(s[i]) != needle[0]) continue;
    size_t k = 1;
    while (k < needle.size() && lower(s[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

// The Unicode character of a numeric character reference.
char32_t numericReference(unsigned long long code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0xFFFD;
  if (code >= 0x80 && code <= 0x9F) return windows1252Char(static_cast<unsigned char>(code));
  return static_cast<char32_t>(code);
}

bool lookupNamed(std::string_view name, char32_t& code) {
  for (int i = 0; i < 96; ++i)
    if (name == kLatin1Names[i]) {
      code = char32_t(160 + i);
      return true;
    }
  for (const Entity& e : kEntities)
    if (name == e.name) {
      code = e.code;
      return true;
    }
  return false;
}

enum class Block { None, Line, Paragraph };

class TextBuilder {
 public:
  std::string out;
  int pre = 0;

  // Text as the document holds it: white space collapses outside PRE.
  void text(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (pre > 0 && (c == '\r' || c == '\n')) {
        if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        hardBreak();
      } else if (pre == 0 && isSpace(c)) {
        pendingSpace_ = true;
      } else {
        put(&c, 1);
      }
    }
  }

  // A character from a reference: kept even where white space collapses when
  // literal is set (the no-break space).
  void character(char32_t cp, bool literal) {
    if (!literal && pre == 0 && cp < 0x80 && isSpace(char(cp))) {
      pendingSpace_ = true;
      return;
    }
    if (pre > 0 && (cp == '\n' || cp == '\r')) {
      hardBreak();
      return;
    }
    std::string u;
    appendUtf8(u, cp);
    put(u.data(), u.size());
  }

  // Asks for the current line to end (Line) or for a blank line (Paragraph)
  // before the next text.
  void block(Block b) {
    int want = b == Block::Paragraph ? 2 : b == Block::Line ? 1 : 0;
    if (want == 0) return;
    pendingBreaks_ = std::max(pendingBreaks_, want);
    pendingSpace_ = false;
  }

  // A line break that is always written (BR, a line end inside PRE); breaks
  // before any text are dropped.
  void hardBreak() {
    flushBreaks();
    pendingSpace_ = false;
    if (out.empty()) return;
    trimTrailingBlanks();
    out += "\r\n";
    ++trailingBreaks_;
    linePrefix_ = false;
  }

  // A separator between table cells.
  void cellGap() {
    if (!out.empty() && trailingBreaks_ == 0 && pendingBreaks_ == 0) {
      trimTrailingBlanks();
      out += '\t';
      pendingSpace_ = false;
    }
  }

  void prefix(std::string_view s) {
    flushBreaks();
    pendingSpace_ = false;
    if (trailingBreaks_ > 0 || out.empty()) {
      out += s;
      trailingBreaks_ = 0;
      linePrefix_ = true;
    }
  }

  std::string finish() {
    // Drop trailing blanks and line ends.
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t' || out.back() == '\r' || out.back() == '\n'))
      out.pop_back();
    return std::move(out);
  }

 private:
  bool pendingSpace_ = false;
  int pendingBreaks_ = 0;
  int trailingBreaks_ = 0;  // line ends at the end of out
  bool linePrefix_ = false; // out ends with a list prefix

  void trimTrailingBlanks() {
    while (!out.empty() && out.back() == ' ' && !linePrefix_) out.pop_back();
  }

  void flushBreaks() {
    if (pendingBreaks_ > 0 && !out.empty()) {
      if (trailingBreaks_ == 0) trimTrailingBlanks();
      while (trailingBreaks_ < pendingBreaks_) {
        out += "\r\n";
        ++trailingBreaks_;
      }
    }
    pendingBreaks_ = 0;
  }

  void put(const char* p, size_t n) {
    flushBreaks();
    if (pendingSpace_ && !out.empty() && trailingBreaks_ == 0 && !linePrefix_) out += ' ';
    pendingSpace_ = false;
    out.append(p, n);
    trailingBreaks_ = 0;
    linePrefix_ = false;
  }
};

struct ListLevel {
  bool ordered;
  int next;
};

// Elements whose content is not shown.
bool isHiddenElement(std::string_view name) {
  return name == "script" || name == "style" || name == "title" || name == "textarea" || name == "template";
}

Block blockOf(std::string_view name) {
  static const char* paragraph[] = {"h1", "h2", "h3", "h4", "h5", "h6", "hr", "listing", "plaintext", "table",
                                    "p", "blockquote", "pre", "xmp"};
  static const char* line[] = {"div", "li", "tr", "ul", "ol", "dl", "dt", "dd", "address", "article", "aside",
                               "center", "details", "dialog", "fieldset", "figcaption", "figure", "footer",
                               "form", "header", "main", "nav", "section", "summary", "caption", "legend",
                               "menu", "dir", "body", "html", "option", "thead", "tbody", "tfoot"};
  for (const char* n : paragraph) if (name == n) return Block::Paragraph;
  for (const char* n : line) if (name == n) return Block::Line;
  return Block::None;
}

bool isPreElement(std::string_view name) { return name == "pre" || name == "listing" || name == "xmp"; }

// Decodes the reference at s[i] == '&'; returns the position after it, or i
// when there is no known reference there.
size_t reference(std::string_view s, size_t i, TextBuilder& tb) {
  size_t j = i + 1;
  if (j < s.size() && s[j] == '#') {
    ++j;
    bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
    if (hex) ++j;
    size_t start = j;
    unsigned long long code = 0;
    while (j < s.size() && (hex ? std::isxdigit(static_cast<unsigned char>(s[j])) != 0 : isDigit(s[j]))) {
      int d = isDigit(s[j]) ? s[j] - '0' : lower(s[j]) - 'a' + 10;
      if (code <= 0x10FFFF) code = code * (hex ? 16 : 10) + unsigned(d);
      ++j;
    }
    if (j == start) return i;
    if (j < s.size() && s[j] == ';') ++j;
    tb.character(numericReference(code), false);
    return j;
  }
  size_t start = j;
  while (j < s.size() && isAlnum(s[j]) && j - start < 32) ++j;
  std::string_view name = s.substr(start, j - start);
  if (name.empty()) return i;
  bool semicolon = j < s.size() && s[j] == ';';
  size_t after = semicolon ? j + 1 : j;
  if (name.size() >= 4 && equalsNoCase(name.substr(0, 4), "nbsp")) {
    // "&nbsp" needs no semicolon, even with letters after it.
    tb.character(' ', true);
    return name.size() == 4 ? after : start + 4;
  }
  if (equalsNoCase(name, "quot")) { tb.character('"', false); return after; }
  if (equalsNoCase(name, "lt")) { tb.character('<', false); return after; }
  if (equalsNoCase(name, "gt")) { tb.character('>', false); return after; }
  if (equalsNoCase(name, "amp")) { tb.character('&', false); return after; }
  if (!semicolon) return i;
  if (equalsNoCase(name, "shy")) { tb.character('-', false); return after; }
  char32_t code;
  if (lookupNamed(name, code)) {
    tb.character(code, false);
    return after;
  }
  return i;
}

// Text with references, up to end.
void textRun(std::string_view s, size_t from, size_t end, TextBuilder& tb) {
  std::string_view run = s.substr(0, end);
  size_t plain = from;  // start of the text not yet written
  size_t i = from;
  while (i < end) {
    char c = run[i];
    if (c == '&') {
      if (i > plain) tb.text(run.substr(plain, i - plain));
      size_t after = reference(run, i, tb);
      if (after == i) {
        tb.text("&");
        ++i;
      } else {
        i = after;
      }
      plain = i;
    } else if (c == '\xC2' && i + 1 < end && run[i + 1] == '\xA0') {
      if (i > plain) tb.text(run.substr(plain, i - plain));
      tb.character(' ', true);
      i += 2;
      plain = i;
    } else {
      ++i;
    }
  }
  if (end > plain) tb.text(run.substr(plain, end - plain));
}

constexpr size_t kMaxQuoted = 2048;

// The end of the tag that starts at s[i] == '<' (the position after its
// '>'), or npos when it is not closed.
size_t tagEnd(std::string_view s, size_t i) {
  size_t j = i + 1;
  char lastNonSpace = 0;
  while (j < s.size()) {
    char c = s[j];
    if (c == '>') return j + 1;
    if ((c == '"' || c == '\'') && lastNonSpace == '=') {
      // A quoted value; one that does not close soon is taken as unbalanced.
      size_t close = s.substr(0, std::min(s.size(), j + 1 + kMaxQuoted)).find(c, j + 1);
      if (close == std::string_view::npos) break;
      j = close + 1;
      lastNonSpace = c;
      continue;
    }
    if (!isSpace(c)) lastNonSpace = c;
    ++j;
  }
  // An unbalanced quote: the first '>' ends the tag.
  size_t gt = s.find('>', i + 1);
  return gt == std::string_view::npos ? gt : gt + 1;
}

}  // namespace

std::string htmlToText(std::string_view s) {
  TextBuilder tb;
  std::vector<ListLevel> lists;
  size_t i = 0;
  while (i < s.size()) {
    size_t lt = s.find('<', i);
    if (lt == std::string_view::npos) lt = s.size();
    if (lt > i) textRun(s, i, lt, tb);
    i = lt;
    if (i >= s.size()) break;

    // Comments and declarations.
    if (s.compare(i, 4, "<!--") == 0) {
      size_t close = s.find("-->", i + 4);
      i = close == std::string_view::npos ? s.size() : close + 3;
      continue;
    }
    bool closing = i + 1 < s.size() && s[i + 1] == '/';
    size_t nameStart = i + (closing ? 2 : 1);
    bool declaration = !closing && i + 1 < s.size() && (s[i + 1] == '!' || s[i + 1] == '?');
    if (!declaration && (nameStart >= s.size() || !isAlpha(s[nameStart]))) {
      tb.text("<");
      ++i;
      continue;
    }
    size_t end = tagEnd(s, i);
    if (end == std::string_view::npos) {
      // Not a tag after all: the rest is text.
      textRun(s, i, s.size(), tb);
      break;
    }
    if (declaration) {
      i = end;
      continue;
    }
    size_t nameEnd = nameStart;
    while (nameEnd < end - 1 && !isSpace(s[nameEnd]) && s[nameEnd] != '/' && s[nameEnd] != '>') ++nameEnd;
    std::string name;
    for (size_t k = nameStart; k < nameEnd; ++k) name += lower(s[k]);
    i = end;

    if (!closing && isHiddenElement(name)) {
      size_t close = findNoCase(s, i, "</" + name);
      if (close == std::string_view::npos) {
        i = s.size();
      } else {
        size_t gt = s.find('>', close);
        i = gt == std::string_view::npos ? s.size() : gt + 1;
      }
      continue;
    }
    if (!closing && name == "plaintext") {
      // Everything after it is plain text.
      tb.block(Block::Paragraph);
      ++tb.pre;
      tb.text(s.substr(i));
      break;
    }
    if (name == "br") {
      if (!closing) tb.hardBreak();
      continue;
    }
    if (name == "td" || name == "th") {
      if (!closing) tb.cellGap();
      continue;
    }
    if (isPreElement(name)) {
      if (closing) {
        if (tb.pre > 0) --tb.pre;
      } else {
        ++tb.pre;
      }
    }
    if (name == "ul" || name == "ol" || name == "menu" || name == "dir") {
      if (closing) {
        if (!lists.empty()) lists.pop_back();
      } else if (lists.size() < 64) {
        lists.push_back({name == "ol", 1});
      }
    }
    tb.block(blockOf(name));
    if (name == "li" && !closing) {
      std::string mark(lists.size() > 1 ? 2 * (lists.size() - 1) : 0, ' ');
      if (!lists.empty() && lists.back().ordered) mark += std::to_string(lists.back().next++) + ". ";
      else mark += "* ";
      tb.prefix(mark);
    }
  }
  return tb.finish();
}

}  // namespace qv::mime
