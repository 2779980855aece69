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
//
// The word-occurrence file is dumped by what it holds rather than by how
// its rows happen to be cut: each word with all its messages, each message
// with its words and word sequence, and the text words. The segments of a
// word's list and the messages' sequence numbers follow the commits that
// wrote them, which an index kept in the import's pass and one built after
// it make at different moments.
#pragma once

#include <string>

namespace qvtest {

std::string dumpArchive(const std::string& root);

// The first line where two dumps differ, with a few lines of context, for a
// readable failure.
std::string firstDifference(const std::string& a, const std::string& b);

}  // namespace qvtest
