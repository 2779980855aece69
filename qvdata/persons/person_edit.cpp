// The name form's person: read once, shown as values, renamed against the
// record as it was read.
#include "persons/person_edit.h"

#include "persons/person_list.h"
#include "services/whole_names.h"

namespace qv {

PersonEdit::PersonEdit() : opened_(std::make_unique<PersonRec>()) {}

PersonEdit::~PersonEdit() = default;

bool PersonEdit::open(uint32_t id) { return readPersonRecord(id, *opened_); }

PersonFields PersonEdit::fields() const {
  PersonFields f;
  f.personString = opened_->PERSONSTRING.str();
  const PersonName whole = personName(*opened_);
  f.last = whole.last;
  f.first = whole.first;
  f.address = opened_->ADDRESS.str();
  f.sent = opened_->FROMCOUNT;
  f.received = opened_->TOCOUNT;
  return f;
}

RenameResult PersonEdit::rename(const std::string& last, const std::string& first) {
  return renamePerson(*opened_, last, first);
}

}  // namespace qv
