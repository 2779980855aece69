// The program's services handed to the driver at registration.
#include "driver/host.h"

#include <utility>

namespace dbf {

namespace {
DriverServices& host() {
  static DriverServices services;
  return services;
}
}  // namespace

void setHostServices(DriverServices services) { host() = std::move(services); }

void hostWarn(const std::string& text, const std::string& caption) {
  if (host().warn) host().warn(text, caption);
}

void hostHalt(const std::string& text) {
  if (host().halt) host().halt(text);
}

int32_t hostDateFromYMD(int year, int month, int day) {
  return host().dateFromYMD ? host().dateFromYMD(year, month, day) : 0;
}

void hostYmdFromDate(int32_t date, int& year, int& month, int& day) {
  year = month = day = 0;
  if (host().ymdFromDate) host().ymdFromDate(date, year, month, day);
}

}  // namespace dbf
