#include "wordindex/wordindex_windows.h"

#include "services/procedure_starter.h"
#include "wordindex/word_index_wizard.h"
#include "wordindex/stop_list_window.h"
#include "wordindex/word_list_window.h"

namespace qvm {

namespace {
// Start routines of the word index windows.
enum WordIndexRoutine : int { RoutineStopList = 211, RoutineWordList = 217, RoutineSearchWz = 219 };
}  // namespace

void registerWordIndexWindows() {
  qv::registerSemaFore(RoutineStopList, [] {
    openBrowseStopList();
    return 1;
  }, 30000);
  qv::registerSemaFore(RoutineWordList, [] {
    openBrowseWordList();
    return 1;
  }, 30000);
  qv::registerSemaFore(RoutineSearchWz, [] {
    openSearchWz();
    return 1;
  }, 40000);
}

}  // namespace qvm
