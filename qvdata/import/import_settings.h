// The settings of one import run, filled by the import wizard or from an
// import definition of a scheduled task.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/db_kind.h"

namespace qv {

enum SelectionMethod : int { SelectTree = 0, SelectDirectory = 1, SelectFiles = 2 };
enum MessageFilter : int { FilterAll = 1, FilterCreateOnly = 2 };

struct ImportSettings {
  std::string format;                  // a format name of the format table ("Unix Mail")
  int method = SelectFiles;
  std::string path;                    // top directory, directory, or directory of the listed files
  std::vector<std::string> masks;      // methods 0 and 1: file masks ("*.MSG"); method 2: file names
  bool importMail = false;
  bool importForum = false;
  bool importNews = false;
  uint32_t mailbox = 0;                // FOR.ID of the target mailbox
  std::string forumName;               // target forum database for formats whose messages do not name one
  bool allowReimport = false;
  int filter = FilterAll;
  uint32_t mailTopic = 0;              // COD.ID given to every imported mail; 0 none
  int commitMessages = 0;              // messages per posting commit at most; 0: the program's choice
  // The words of the posted messages go to the word index in the same pass,
  // as they do for every database that indexes automatically.
  bool indexWords = false;

  // The kind a CompuServe reader's file is taken for when its content does
  // not tell: mail when the import takes mail and no forum messages, else
  // forum messages.
  int cisFileKind() const { return importMail && !importForum ? KindMailDb : KindForumDb; }

  // Splits "*.MSG;*.OLD" into masks.
  static std::vector<std::string> splitMasks(const std::string& text);
  // The masks written back as "*.MSG;*.OLD".
  static std::string joinMasks(const std::vector<std::string>& masks);
};

}  // namespace qv
