// Whether a database keeps the originals of its messages: the settings row
// of its Originals file (IDX036.ADF, layout in docs/originals.md), which
// also tells how the file names a content. Making a database writes the
// setting; the originals themselves are kept by originals/originals_store.h.
//
// The database is the current one (Mem.Dirnamn), `kind` its DbKind. Only
// mail and newsgroup databases keep originals.
#pragma once

#include <cstdint>

namespace qv {

// The settings row's SIZE while the database keeps originals.
inline constexpr uint32_t kOriginalsKept = 1;

// How an Originals file names a content in HASH (its settings row's
// PACKING): a file made from now on by the 32 bytes of the SHA-256, half
// the room in every row and key entry; a file made before by its 64 hex
// digits. A file keeps the form it was made with, and both read alike.
enum class HashForm : uint8_t { Hex = 0, Bytes = 1 };

// True for the kinds of database that keep originals (mail, newsgroups).
bool originalsKeptKind(int kind);
// The settings row of the open Originals file into ORI; false when it has none.
bool originalsSettingsRow();
// The form of the open Originals file.
HashForm originalsHashForm();

// True when the current database's Originals file is there on disk.
bool originalsFileExists();

// Turns the setting of the current database on or off. Turning it on makes
// the Originals file when missing; turning it off keeps the originals kept
// so far (they stay readable), and new imports add none. False for a forum
// database or a failed write (reported with `reportMode`).
bool setKeepOriginals(int kind, bool on, int reportMode);

// Writes the setting of the open file (setKeepOriginals without opening
// it): a new database's setting goes into the transaction of its first
// messages.
bool writeKeepSetting(bool on, int reportMode);

}  // namespace qv
