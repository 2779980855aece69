// Import definitions: the settings of an import kept for scheduled tasks
// (Batches), with their file masks or selected files in the file list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/import_settings.h"

namespace qv {

// Adds the settings as a new definition with that description (50
// characters at most). The masks (methods 0 and 1) or selected file names
// (method 2) become the definition's file-list records. Returns the new
// definition's ID, 0 on failure (reported).
uint32_t SaveImportDefinition(const ImportSettings& s, const std::string& description);

// Shows "Import definition error!" and returns false when the path or a
// file name is longer than a definition keeps.
bool DefinitionFitsRecord(const ImportSettings& s);
// Fills the settings fields of the BAT buffer (all but BAT.ID) from the
// settings; false when the format is unknown.
bool FillDefinitionRecord(const ImportSettings& s, const std::string& description);
// Replaces the file-list records of a definition with the masks or file
// names, inside the caller's transaction over FileList (open). False (and the
// transaction rolled back, reported) when a record could not be written.
bool WriteDefinitionFiles(uint32_t id, const std::vector<std::string>& masks);

// Reads a definition back into import settings. False when it is missing or
// names a format the table does not have.
bool LoadImportDefinition(uint32_t id, ImportSettings& s);

}  // namespace qv
