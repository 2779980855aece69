// Running a program of the project as a whole process, as a user or a
// script does.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct ProcessResult {
  int exitCode = -1;  // the exit status, or -1 when a signal ended the process
  int signal = 0;     // the signal that ended the process, or 0
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs `program` with the arguments, in the environment of the test plus
// `env` ("NAME=value" entries; QV_CRASH_AT only when given there), with no
// terminal on standard input.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

}  // namespace qvtest
