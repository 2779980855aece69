// The stop list a new installation starts with (default_stop_list.h).
//
// Rules:
// - The words are stored as they stand: they are upper case already, as
//   the word cutter makes every stop word (wordUpper leaves them as they
//   are), and none stands twice.
// - Only an empty stop list is filled, in one write stream.
#include "services/default_stop_list.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"

namespace qv {

const std::vector<std::string_view>& defaultStopWords() {
  static const std::vector<std::string_view> words = {
      "ABOUT", "ABOVE", "AFTER", "AGAIN", "ALL", "ALSO", "AM", "AN", "AND", "ANY", "ARE", "AS", "AT", "BE",
      "BECAUSE", "BEEN", "BEFORE", "BEING", "BELOW", "BETWEEN", "BOTH", "BUT", "BY", "CAN", "COULD", "DID",
      "DO", "DOES", "DOING", "DOWN", "DURING", "EACH", "FEW", "FOR", "FROM", "FURTHER", "HAD", "HAS", "HAVE",
      "HAVING", "HE", "HER", "HERE", "HERS", "HERSELF", "HIM", "HIMSELF", "HIS", "HOW", "IF", "IN", "INTO",
      "IS", "IT", "ITS", "ITSELF", "JUST", "ME", "MORE", "MOST", "MY", "MYSELF", "NO", "NOR", "NOT", "NOW",
      "OF", "OFF", "ON", "ONCE", "ONLY", "OR", "OTHER", "OUR", "OURS", "OURSELVES", "OUT", "OVER", "OWN",
      "SAME", "SHE", "SHOULD", "SO", "SOME", "SUCH", "THAN", "THAT", "THE", "THEIR", "THEIRS", "THEM",
      "THEMSELVES", "THEN", "THERE", "THESE", "THEY", "THIS", "THOSE", "THROUGH", "TO", "TOO", "UNDER",
      "UNTIL", "UP", "VERY", "WAS", "WE", "WERE", "WHAT", "WHEN", "WHERE", "WHICH", "WHILE", "WHO", "WHOM",
      "WHY", "WILL", "WITH", "WOULD", "YOU", "YOUR", "YOURS", "YOURSELF", "YOURSELVES",
  };
  return words;
}

bool installDefaultStopList() {
  FileScope scope({FileStopList});
  bool ok = true;
  if (!StopList.hasRecords()) {
    ok = StopList.stream();
    for (std::string_view w : defaultStopWords()) {
      if (!ok) break;
      STO = StopListRec();
      STO.THEWORD = w;
      ok = StopList.add() || ErrorCode() == ErrDuplicateKey;
    }
    ok = StopList.flush() && ok;
  }
  return ok;
}

}  // namespace qv
