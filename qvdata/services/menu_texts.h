// The explanatory texts shown on the pages of the wizards and tool windows.
#pragma once

#include <string>

namespace qv {

enum MenuText : int {
  kMenuMailboxSetup = 1,
  kMenuImportDefaults = 2,
  kMenuImportDirectory = 3,
  kMenuFirstImport = 4,
  kMenuImportWelcome = 5,
  kMenuImportFileType = 6,
  kMenuImportMessageTypes = 7,
  kMenuImportSelection = 8,
  kMenuImportFiles = 9,
  kMenuImportReimport = 10,
  kMenuImportInstructions = 11,
  kMenuMerge = 12,
  kMenuTasks = 13,
  kMenuSearch = 14,
  kMenuIndexControl = 15,
  kMenuRebuild = 16,
  kMenuStopList = 17,
  kMenuWordList = 18,
  kMenuPurge = 19,
  kMenuDuplicates = 20,
  kMenuAddressExport = 21,
  // The pages of the word index settings wizard.
  kMenuWizardNumbers = 22,
  kMenuWizardFooters = 23,
  kMenuWizardFrequent = 24,
  kMenuWizardTables = 25,
  kMenuWizardSets = 26,
  kMenuWizardPause = 27,
  kMenuLast = kMenuWizardPause,  // the highest page number
};

// The text of a page (at most 2500 characters); empty for an unknown number.
std::string GetMenuText(int number);

}  // namespace qv
