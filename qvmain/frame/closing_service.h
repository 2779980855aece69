// Closing the tool windows before the frame switches or deletes a database.
#pragma once

namespace qvm {

// Asks the first group with running windows to close: with code 1 (and no
// indexing run) "FindGroup", "ImportGroup", "NotToolsGroup" in that order,
// with other codes "FindGroup", then "NotToolsGroup". Returns true when no
// tool window runs any more (the caller goes on), false when it must try
// again later. When it returns true the database files are closed.
bool closeToolsFor(int code);

}  // namespace qvm
