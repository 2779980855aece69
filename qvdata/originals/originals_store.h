// The originals of a database: the bytes of every imported mail and
// newsgroup article as its source held them (forum messages are their own
// originals), kept in the database's Originals file (IDX036.ADF, layout in
// docs/originals.md), each distinct content once.
//
// A database is the current one, as for readMessage (services/messages.h):
// the one findDatabase + useDatabase, selectDatabase or ActivateDatabase
// made current (Mem.Dirnamn); `kind` is its DbKind (Mem.ForumType). A
// database made before originals were kept has no Originals file: it keeps
// none and reads as having none, without failing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "originals/original_dictionary.h"
#include "originals/original_packing.h"
#include "services/originals_setting.h"

namespace qv {

// A hash in hex (originalHash) as a file of `form` names it.
std::string storedHash(std::string_view hex, HashForm form);
// The hash a HASH of either form names, in hex (a HASH that is neither
// comes back as it is, so that it matches no hash).
std::string hashOfStored(std::string_view stored);

// True when the current database keeps originals (its own setting; mail and
// newsgroup databases only). Reads the Originals file, opening it for
// reading when no procedure has it open.
bool keepsOriginals(int kind);
// The bytes of the message `messageId` of the current database as they were
// read from its source; nullopt when none is kept (or the kept one is
// damaged, or its dictionary is, or the file cannot be read: `damage` then
// says so, and stays empty when the message has none). Opens the Originals file as keepsOriginals
// does.
std::optional<std::string> readOriginal(int kind, uint32_t messageId, std::string* damage = nullptr);

// keepsOriginals for the database in directory F<dirNumber> while another
// (or none) is current; false when a procedure has the Originals file open.
// With `dictionary`, also the database's dictionary (null when it has none).
bool keepsOriginalsIn(uint32_t dirNumber, int kind,
                      std::shared_ptr<const OriginalDictionary>* dictionary = nullptr);

// The dictionary `id` of the open Originals file; null when the file holds
// none of that ID or its row is damaged. Dictionaries read once are kept
// for the file while it stays open.
std::shared_ptr<const OriginalDictionary> storedDictionary(uint32_t id);
// The dictionary new originals of the open Originals file are packed with
// (the first it holds); null when it holds none. Opens the file as
// keepsOriginals does.
std::shared_ptr<const OriginalDictionary> databaseDictionary();

// The current database's Originals file open: as a procedure opened it, or
// opened here for reading. False when it is not there, or is open for a
// procedure on another database.
bool originalsOpenForReading();
// True for the newsgroup database in directory F<dirNumber> when it holds
// no article and its Originals file no setting (or it has none): one made
// by a run stopped before its first articles were committed, which is as
// new as one a run makes now and keeps originals like every new newsgroup.
// False when a procedure has the Originals file open.
bool newNewsgroupIn(uint32_t dirNumber);

// The rest work on the Originals file open for writing, normally inside the
// caller's transaction; a failed write is reported with `reportMode`
// (services/record_helpers.h) and gives false.

// Records `original` as the original of `messageId`: its content is added
// unless the file holds it already; an original the message had before is
// let go (removeOriginal). One longer than kOriginalMaxBytes is not kept.
// `form` is the file's (originalsHashForm); the short form reads it first.
bool writeOriginal(uint32_t messageId, const PackedOriginal& original, HashForm form, int reportMode);
bool writeOriginal(uint32_t messageId, const PackedOriginal& original, int reportMode);
// Records that the source of `messageId` holds no original (a CompuServe
// reader's mail): a message row with a blank HASH, which the check accepts.
bool markNoOriginal(uint32_t messageId, int reportMode);
// Adds the row of `dictionary` unless the file holds it already.
bool writeDictionary(const OriginalDictionary& dictionary, int reportMode);
// Lets go of the original of `messageId`: its content is removed with its
// last message. True when the message had none.
bool removeOriginal(uint32_t messageId, int reportMode);

// What `qvcli check` reports of the originals of the current database: one
// line per fault, empty when all is well. Every mail or article has its
// original or is marked as having none in its source (when the database
// keeps them), every message row its message and
// its content, every content a message, and every content unpacks to bytes
// of its hash. The database's message file is open; the Originals file is
// opened for reading when no procedure has it open.
std::vector<std::string> checkOriginals(int kind);

}  // namespace qv
