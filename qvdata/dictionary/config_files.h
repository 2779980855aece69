// Files of the configuration area (CFG): the database list, the control file
// with the ID counter and the settings blocks, the import registry, scheduled
// tasks, import definitions and the stop list.
#pragma once

#include <array>
#include <cstdint>

#include "storage/file.h"

namespace qv {

// File 2, Forums (CFG/IDX002.ADF): the database list, one record per database.
struct ForumsRec {
  uint32_t ID = 0;
  Str<100> DESCRIPTION;
  uint32_t DIRNUMBER = 0;
  uint8_t TYPE = 0;  // 1 forum, 2 mail, 3 newsgroup
  uint8_t NOIMPORT = 0;
  uint32_t MSGCOUNT = 0;
  uint8_t COUNTFLAG = 0;
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
  int32_t CREATED = 0;
  int32_t LOWDATE = 0;
  Str<60> MAILADDRESS;
  uint32_t PERSONID = 0;
  std::array<Str<60>, 10> ALTADDRESS;  // 0-based here; the system numbers them 1..10
  uint32_t LASTMSGID = 0;
  uint32_t RECSLASTTIME = 0;
  int32_t WORDLISTINDEXNEEDSUPDATE = 0;
  uint8_t INDEXTYPE = 0;
};
extern ForumsRec FOR;
extern File Forums;
extern Key FOR_ForumKey, FOR_AlphaKey, FOR_DirKey, FOR_TypeKey;

// File 8, Control (CFG/IDX008.ADF): one record per settings block, by CTL.ID.
struct ControlRec {
  uint8_t ID = 0;
  uint32_t NEXTNUMBER = 0;
  std::array<uint8_t, 200> CTLFIELD{};  // the group CTLGROUP: 200 one-byte settings
};
extern ControlRec CTL;
extern File Control;
extern Key CTL_IdKey;

}  // namespace qv
