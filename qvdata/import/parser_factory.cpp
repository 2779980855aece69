// The parser of each format group.
#include "import/parser.h"
#include "import/parsers/dbf_store_reader.h"
#include "import/parsers/parsers.h"

namespace qv {

std::unique_ptr<Parser> makeParser(const FormatInfo& f) {
  switch (f.group) {
    case ParserGroup::LineFamily: return makeLineFamilyParser();
    case ParserGroup::NavCisSave: return makeNavCisSaveParser();
    case ParserGroup::WinCim: return makeWinCimParser();
    case ParserGroup::Cs3: return makeCs3Parser();
    case ParserGroup::GoldenCompass: return makeGoldenCompassParser();
    case ParserGroup::NewsSpool: return makeNewsSpoolParser();
    case ParserGroup::NewsIe: return makeNewsIeParser();
    case ParserGroup::NewsNetscape: return makeNewsNetscapeParser();
    case ParserGroup::MailMbx: return makeMailMbxParser();
    case ParserGroup::Eudora: return makeEudoraParser();
    case ParserGroup::MailUnix: return makeMailUnixParser();
    case ParserGroup::Pegasus: return makePegasusParser();
    case ParserGroup::CisComm:
    case ParserGroup::NavCisDbf:
    case ParserGroup::Oui: return dbfstore::makeDbfStoreParser();
    default: return nullptr;
  }
}

}  // namespace qv
