// Running a piece of a test as a user who is refused what file modes refuse:
// root reads and writes files whatever their modes say.
#pragma once

#include <functional>
#include <string>

namespace qvtest {

// Runs fn in a child process and returns its result (the child's exit
// status; -1 when the child could not run or did not end normally). Run by
// root, the child becomes the user "nobody" after the directory `tree`
// (with everything in it) is given to that user; otherwise it runs as this
// user. fn must not use GoogleTest assertions: it reports through its result.
int runUnprivileged(const std::string& tree, const std::function<int()>& fn);

// Takes the write permission off everything in `tree`, or gives it back.
void setTreeWritable(const std::string& tree, bool writable);

}  // namespace qvtest
