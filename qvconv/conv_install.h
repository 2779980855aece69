// What the converter finds in an installation: its layout, its version and
// its directories, and the text and buttons the converter's window shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "services/startup.h"

namespace qvconv {

// The version the converter brings an installation to, in hundredths.
inline constexpr int kTargetVersion = qv::kConvertedVersion;
// Versions of the current layout that need no conversion at all.
inline constexpr int kNoNeedFrom = qv::kFirstCurrentListVersion;
inline constexpr int kNoNeedTo = qv::kLastCurrentListVersion;

enum class Situation {
  NoInstallation,  // neither CFG/IDX008.ADF nor IDX008.ADF in the program directory
  Upgraded,        // current layout, version 3.60 or later, or a new installation (version 0)
  NoNeed,          // current layout, version 3.30 to 3.52
  Minor,           // current layout, any other version: the database list and file list
  Full,            // old layout: everything in the program directory
  Interrupted,     // a full conversion was cut short: put back the saved copies and convert again
  Finishing,       // a full conversion was cut short while it removed the old files: remove the rest
};

struct Installation {
  std::string root;     // the program directory
  Situation situation = Situation::NoInstallation;
  int version = 0;      // hundredths (352 for 3.52)
  std::string dataDir;  // the root of the database directories
  std::string tempDir;  // the temporary directory as the settings name it
};

// Looks at the installation at `root` without changing anything.
Installation inspect(const std::string& root);

// The version with the picture N4.2 ("3.52").
std::string versionText(int version);
// The explanatory text of the window and whether the start button is offered.
std::string windowText(const Installation& inst);
bool offersStart(const Installation& inst);

// The control file of an installation, read and written by path.
bool readControlBlock(const std::string& path, uint8_t block, std::array<uint8_t, 200>& data);
bool writeControlBlock(const std::string& path, uint8_t block, const std::array<uint8_t, 200>& data);
// Draws the next ID from the control file at `path`; 0 when it cannot.
uint32_t nextId(const std::string& path);

// Sets the marker that a full conversion keeps in the program directory
// (qv::kMarkConverting, qv::kMarkFinishing); an empty mark removes it.
bool markConversion(const std::string& root, const std::string& mark);
// What to do about a conversion that was cut short by a version that kept
// no marker (its saved copies are there, the old files partly converted).
std::string interruptedText();

// Paths inside an installation.
std::string cfgDir(const std::string& root);
std::string tempDirOf(const std::string& root);  // root/TEMP
std::string idxName(int number);                 // "IDX002.ADF"
std::string databaseDir(const std::string& dataDir, uint32_t dirNumber);

}  // namespace qvconv
