// The public face of the dBASE/FoxPro table driver: registering it with the
// keyed-file layer as the driver "FoxPro". A program registers it once at
// start and hands in the services of its own that the driver asks for: how
// a message reaches the user, how a condition the program cannot live with
// ends it, and the day numbers of the record buffer's DATE fields. The
// driver converts the DOS code page of its tables itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dbf {

struct DriverServices {
  // Shows `text` to the user under `caption` as a warning (a message box
  // with an exclamation mark and an OK button in the window program).
  std::function<void(const std::string& text, const std::string& caption)> warn;
  // Ends the operation on a condition the program cannot live with (an
  // engine error while the extended-errors option is on). May return; the
  // operation then answers its error as usual.
  std::function<void(const std::string& text)> halt;
  // The day number of a calendar date, 0 for an impossible one.
  std::function<int32_t(int year, int month, int day)> dateFromYMD;
  // The calendar date of a day number.
  std::function<void(int32_t date, int& year, int& month, int& day)> ymdFromDate;
};

// Registers the driver "FoxPro" with the keyed-file layer; programs call it
// once at start. Services left empty do nothing (a date then reads as 0).
void registerFoxProDriver(DriverServices services);

}  // namespace dbf
