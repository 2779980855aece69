// The parser of each format group.
#include "import/parser.h"
#include "import/parsers/parsers.h"

namespace qv {

std::unique_ptr<Parser> makeParser(const FormatInfo& f) {
  switch (f.group) {
    case ParserGroup::LineFamily: return makeLineFamilyParser();
    case ParserGroup::NavCisSave: return makeNavCisSaveParser();
    default: return nullptr;
  }
}

}  // namespace qv
