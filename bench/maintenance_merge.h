// The merge part of bench_maintenance: a database of N generated messages
// merged into an empty one, then a second of N, half of them the same
// messages, merged into the result; messages per second of each.
#pragma once

#include <cstdint>
#include <string>

namespace qvbench {

// `kinds`: "forum", "mail" or both; returns the program's exit status.
int runMergeBench(uint32_t messages, const std::string& kinds);

}  // namespace qvbench
