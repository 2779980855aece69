// Hands a topic to the topic form through the Codes record buffer.
#include "services/topic_form.h"

#include "dictionary/dictionary.h"

namespace qv {

void putTopicForForm(const Topic& t) {
  COD = CodesRec();
  COD.TYPE = kTopicType;
  COD.ID = t.id;
  COD.INDEX = t.text;
  COD.COUNT = t.count;
  COD.CHARCASE = t.matchCase ? 1 : 0;
  COD.WORDONLY = t.matchWord ? 1 : 0;
  COD.DATE = t.date;
}

Topic topicOfForm() {
  return Topic{COD.ID, COD.INDEX.str(), COD.COUNT, COD.CHARCASE == 1, COD.WORDONLY == 1, COD.DATE};
}

}  // namespace qv
