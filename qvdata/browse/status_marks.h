// The status marks of the browsers' status menus: normal (0), keep (1) or
// delete (2) for a message, its thread or section, its mail partner, or the
// whole database. The purge acts on them.
#pragma once

#include <cstdint>

namespace qv {

enum StatusLevel : int {
  LevelMessage = 1,   // MSG.DUMMY / MAI.DUMMY
  LevelThread = 2,    // THR.DUMMY of the message's thread (forum, newsgroup)
  LevelSection = 3,   // SEC.DUMMY of the message's section (forum)
  LevelPartner = 4,   // PER.DUMMY of the mail's partner (mail)
  LevelDatabase = 5,  // FOR.DUMMY of the current database
};

// Sets the status byte of `level` for message (mail) `id` of the current
// database of `kind`. The record is read with a hold of at most 5 seconds
// and written back with only the status changed. False when the message,
// the record or the hold could not be had or the write failed: the record is
// then as it was. A level the kind lacks is refused.
bool setStatus(int kind, StatusLevel level, uint32_t id, int status);

// The same for the item itself: message (mail) `id`, thread, section or
// mail partner of that ID, or the current database (id unused).
bool setItemStatus(int kind, StatusLevel level, uint32_t id, int status);

}  // namespace qv
