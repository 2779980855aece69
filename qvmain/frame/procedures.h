// How the program's procedure windows are opened by thread name.
//
// Each window module registers an opener for the thread names it serves
// (and the library's numbered procedures through registerSemaFore). The
// frame starts a procedure by thread name: a running one is only activated.
#pragma once

#include <QString>
#include <functional>

namespace qvm {

using Opener = std::function<void()>;

void registerProcedure(const QString& threadName, Opener open);
bool procedureRegistered(const QString& threadName);
// Activates the running window of that name (event 546) and returns true;
// else opens it when an opener is registered (true), else false.
bool startProcedure(const QString& threadName);

// Registers the windows of every module of the program (their openers and
// the numbered procedures they serve).
void registerAllWindows();

}  // namespace qvm
