// Changing which database is active: choosing one as the database selection
// does (its self-description follows its list entry), forgetting it so that
// the frame chooses again, deleting it; and whether a database directory is
// the active one's. (What a window reads of the active database:
// active_database.h.)
#pragma once

#include <cstdint>

namespace qv {

// Makes the database the active one (ActivateDatabase) and brings its
// self-description (DbRef) up to date from its list entry. False when it
// could not be activated.
bool chooseDatabase(uint32_t id);
// The active database stops being active: its ID is cleared and the frame
// chooses again (its directory stays set for the files still open until
// then).
void forgetActiveDatabase();
// Deletes the active database (DeleteDatabase) when there is one; afterwards
// none is active, also when the deletion failed.
void deleteActiveDatabase();
// True when F<dirNumber> is the directory of the active database.
bool isActiveDirectory(uint32_t dirNumber);

}  // namespace qv
