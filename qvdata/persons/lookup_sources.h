// The look-up walks of the open database: threads, sections, persons (as
// the pick list and as the person window show them) and indexed words.
#pragma once

#include <memory>

#include "services/lookup_walk.h"

namespace qv {

// The look-up walks of the open database. Sort order 0 is the first named.
//
// GP_THREAD: threads by heading; columns heading, messages; the ID is
// THR:THREADNUMBER.
std::shared_ptr<LookupWalk> threadWalk();
// GP_SECTION: sections by number; columns "04 Name", messages; a text
// positions by the section number it begins with; the ID is SEC:SECSYSID.
std::shared_ptr<LookupWalk> sectionWalk();
// GP_ANS: persons by name or by address; columns "Last, First", address,
// sent, received; a text positions by "Last, First" as written, else by
// the name split as a sender's name is split; the ID is PER:PERSONID.
std::shared_ptr<LookupWalk> personPickWalk();
// BROWSEPERSON: persons by last name or by address; columns the name as
// the person windows show it, address, sent, received; a text positions by
// the start of the last name or of the address.
std::shared_ptr<LookupWalk> personListWalk();
// GP_WORDLIST and the word list: indexed words by word or by the number of
// messages holding them; columns word, messages; a text positions by the
// word (as the index spells it) or by the number.
std::shared_ptr<LookupWalk> wordWalk();

// The orders of the person walks and of the word walk.
enum PersonWalkOrder : int { PersonByName = 0, PersonByAddress = 1 };
enum WordWalkOrder : int { WordByWord = 0, WordByCount = 1 };

}  // namespace qv
