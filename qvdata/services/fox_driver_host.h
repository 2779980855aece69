// Registers the dBASE/FoxPro table driver (dbfdrv/dbf_driver.h) with this
// library's services: its warnings go through the one prompt interface, a
// condition it cannot live with halts as the file service does, and DATE
// fields use the library's day numbers. Header only, for the programs that
// link the driver (the library itself does not).
#pragma once

#include "dbfdrv/dbf_driver.h"
#include "services/datetime.h"
#include "services/prompt.h"

namespace qv {

inline void registerFoxProDriver() {
  dbf::DriverServices services;
  services.warn = [](const std::string& text, const std::string& caption) {
    Message(text, caption, Icon::Exclamation);
  };
  services.halt = [](const std::string& text) { Halt(text); };
  services.dateFromYMD = dateFromYMD;
  services.ymdFromDate = ymdFromDate;
  dbf::registerFoxProDriver(std::move(services));
}

}  // namespace qv
