// Text of character fields declared with the OEM attribute: the DOS code
// page 437 in the table, UTF-8 in the program.
#pragma once

#include <string>

namespace dbf {

std::string oemToUtf8(const std::string& oem);
// Characters the code page lacks become "?".
std::string utf8ToOem(const std::string& utf8);

}  // namespace dbf
