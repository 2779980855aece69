// The services the program handed in when it registered the driver
// (dbfdrv/dbf_driver.h), as the operation layer calls them.
#pragma once

#include <cstdint>
#include <string>

#include "dbfdrv/dbf_driver.h"

namespace dbf {

void setHostServices(DriverServices services);
void hostWarn(const std::string& text, const std::string& caption);
void hostHalt(const std::string& text);
int32_t hostDateFromYMD(int year, int month, int day);
void hostYmdFromDate(int32_t date, int& year, int& month, int& day);

}  // namespace dbf
