// The numbered starter of the library's procedures and services.
//
// Windows live in the program; the program registers the procedures it owns
// under their codes at start-up, the library registers its services. A code
// that nobody registered does nothing and answers 0 (false).
#pragma once

#include <functional>

namespace qv {

using SemaForeHandler = std::function<int()>;

void registerSemaFore(int code, SemaForeHandler handler, int stackSize = 0);
bool semaForeRegistered(int code);
int SemaFore(int code);

}  // namespace qv
