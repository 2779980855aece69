// A canonical text of the archive an installation holds, for telling whether
// two installations hold the same archive: every record of every archive
// file of the configuration area and of every database directory, in file
// order.
//
// What differs between two runs that stored the same messages is left out or
// made comparable: IDs drawn from the counter (columns named ID or ending in
// ID or NUMBER) are renumbered in the order they are first met; the control
// file (the counter and the installation's settings) and the date and time
// an import stamps on the texts it writes, and the moment a task run ended
// with the seconds its imports took, are left out.
#pragma once

#include <string>

namespace qvtest {

std::string dumpArchive(const std::string& root);

// The first line where two dumps differ, with a few lines of context, for a
// readable failure.
std::string firstDifference(const std::string& a, const std::string& b);

}  // namespace qvtest
