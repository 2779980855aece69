// Running qvcli as a whole process, as a user or a script does.
#pragma once

#include <string>
#include <vector>

#include "support/run_process.h"

namespace qvtest {

// Runs qvcli with the arguments, in the environment of the test plus `env`
// ("NAME=value" entries), with no terminal on standard input.
ProcessResult runQvcli(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

}  // namespace qvtest
