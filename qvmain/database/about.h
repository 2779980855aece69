// The product name and the program version (procedure ABOUT).
#pragma once

#include <QString>

namespace qvm {

// The program version as the about box shows it ("3.70").
QString programVersion();
void openAbout();

}  // namespace qvm
