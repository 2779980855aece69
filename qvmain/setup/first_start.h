// What the window program sets on the first start of a new installation,
// where its choices for a desktop user differ from the stored defaults that
// the command line and the task runner keep.
#pragma once

namespace qvm {

// ItemImportCompletion: keep the window of a finished long job open, so its
// counts and time can be read.
inline constexpr int kCompletionKeepOpen = 2;

// Stores the first start's settings in the control file.
bool applyFirstStartSettings();

}  // namespace qvm
