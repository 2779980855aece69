// Editing import definitions (Batches) with their file lists, as the
// definition editor and qvcli's definition commands do it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/import_settings.h"

namespace qv {

struct ImportDefinition {
  uint32_t id = 0;
  std::string description;  // 50 characters at most
  ImportSettings settings;  // masks: the file masks (methods 0, 1) or the selected files (method 2)
};

// The checks of the definition editor before a definition is kept. Shows the
// message of the first check that fails (through the prompt interface) and
// returns false:
// - selected files (method 2) and none chosen: "When using the file
//   selection method ..." (" File specification error!");
// - no file mask or file: "You must specify which files to import!" (same title);
// - mail to import and no mailbox database: "Set up MailBox before import!"
//   ("No MailBox available!");
// - a path or file name longer than a definition keeps.
bool CheckImportDefinition(const ImportSettings& s);

// Adds a definition after the checks; its ID comes from NextNr. Returns the
// new ID, 0 when a check failed or the files could not be written (shown).
uint32_t AddImportDefinition(const std::string& description, const ImportSettings& s);
// Changes a definition (settings and file list) after the checks.
bool UpdateImportDefinition(const ImportDefinition& d);
// Deletes a definition with its file list and every task link to it, in one
// transaction.
bool DeleteImportDefinition(uint32_t id);

// Reads one definition; false when it is missing or its format unknown.
bool ReadImportDefinition(uint32_t id, ImportDefinition& d);
// The definitions in ID order (settings included).
std::vector<ImportDefinition> ListImportDefinitions();
// The ID of the definition with that description (trailing blanks and letter
// case ignored); 0 when there is none.
uint32_t FindImportDefinition(const std::string& description);

}  // namespace qv
