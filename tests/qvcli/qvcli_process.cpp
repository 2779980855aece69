#include "qvcli_process.h"

namespace qvtest {

ProcessResult runQvcli(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  return runProgram(QVCLI_PROGRAM, args, env);
}

}  // namespace qvtest
