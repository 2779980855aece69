// Changing a person's first and last name, with the messages that keep a
// copy of the last name and, for a mailbox owner, the mailbox's name.
#pragma once

#include <string>

#include "dictionary/database_files.h"

namespace qv {

enum class RenameResult {
  Done,
  ChangedMeanwhile,  // the stored record differs from the one the change began with (told)
  Gone,              // the person no longer exists (told)
  Failed,            // locks or a failed write (told); nothing changed
};

// Gives the person of `opened.PERSONID` (the record as it was read when the
// change began) the new names. The record is read again inside the
// transaction: when it differs from `opened` in any field, another user
// changed it meanwhile, `opened` takes the stored record and nothing is
// written. When the last name changes, every message takes the new copy of
// it. A mailbox owner's new name also becomes the mailbox's name.
RenameResult renamePerson(PersonRec& opened, const std::string& last, const std::string& first);

// True when two person records are the same in every field.
bool samePerson(const PersonRec& a, const PersonRec& b);

}  // namespace qv
