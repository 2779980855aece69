// Named points at which a test may have the process killed, to prove that an
// interruption at that point loses nothing.
//
// With the environment variable QV_CRASH_AT set to "name:n", the n-th time the
// process passes the point `name` it kills itself with SIGKILL, as a power cut
// or `kill -9` would stop it. Without the variable a point costs one test of
// a flag.
#pragma once

namespace qv {

void crashPoint(const char* name);

}  // namespace qv
