// What the person operations share: their transactions, and moving the
// messages of a person to another ID or last name.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "storage/file.h"

namespace qv {

// The lock time-out of the person operations' transactions.
inline constexpr int kPersonLockSeconds = 5;

// Begins a transaction over the files (open) and runs the library's
// transaction check; false, told to the user, when either refused.
bool beginPersonTransaction(std::initializer_list<File*> files);
// Commits; false (told, rolled back) when the commit failed.
bool commitPersonTransaction();

// Makes every message of a database kind that names person `oldId` as its
// sender, receiver or (mail) partner name `newId` with the alphas of
// `newLast` instead. The messages are found by the keys at the old alphas
// (of `oldLast`); a merge passes two IDs, a name change one ID and two last
// names. Runs inside the caller's transaction over the message file; a
// failed write is told and rolls it back (false). MsgNmbr or Mail open.
bool recodePersonMessages(int kind, uint32_t oldId, std::string_view oldLast, uint32_t newId,
                          std::string_view newLast);

// The first message (newest first, as the sender key orders them) that
// person `id` with that last name sent; 0 when there is none. MsgNmbr or
// Mail open.
uint32_t firstMessageFrom(int kind, uint32_t id, std::string_view last);

// Recounts the messages sent and received by the person in the PER buffer
// and writes the person back when its counts changed (a person left without
// messages gets zero counts). False when the write failed (told, rolled
// back). The message file of the kind open.
bool recountPerson(int kind);

}  // namespace qv
