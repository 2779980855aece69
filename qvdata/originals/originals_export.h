// Where an export of originals goes: one mailbox file (mboxrd, see
// mbox_writer.h) or a directory with one "<message number>.eml" file per
// message. The export run (export/copy_msg.h) walks the set and hands each
// message's original here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// The export layout that writes the originals instead of the texts (mail
// and newsgroup databases).
inline constexpr int kLayoutOriginals = 5;
// The mailbox file's name when none is given.
inline constexpr const char* kOriginalsFileName = "Originals.Mbx";

class OriginalsOutput {
 public:
  OriginalsOutput() = default;
  ~OriginalsOutput();
  OriginalsOutput(const OriginalsOutput&) = delete;
  OriginalsOutput& operator=(const OriginalsOutput&) = delete;

  // Writes to the mailbox file `path`: made anew (`replace`) or appended
  // to; private (0600), never written through a link. False with `error`.
  bool openMailbox(const std::string& path, bool replace, std::string& error);
  // Writes one file per message into `dir` (made when missing); an existing
  // file keeps its name and the message gets "<n> (2).eml".
  void useDirectory(const std::string& dir);

  // Writes the original `raw` of message `id`. False with `error`.
  bool write(uint32_t id, std::string_view raw, std::string& error);
  // Closes the mailbox file; false when its last bytes could not be written.
  bool close(std::string& error);

 private:
  int fd_ = -1;
  std::string path_;
  std::string dir_;
};

}  // namespace qv
