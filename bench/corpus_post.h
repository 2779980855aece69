// Posting generated mail (corpus_gen.h) into a mailbox database through the
// library's own files: each message is decoded as the mail importer decodes
// it (headers, charsets, transfer encodings, HTML, attachments) and stored as
// a Mail record with its MsgText text. Persons and carbon copies are left
// out: what the word index and the search read is all there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corpus_gen.h"

namespace qvbench {

struct PostedCorpus {
  uint32_t database = 0;       // FOR.ID of the mailbox
  std::vector<uint32_t> ids;   // MAILID of each generated message, by its index
};

// Creates the mailbox `owner` in the open installation, makes it the current
// database and posts every remaining message of the generator into it.
// False with a reason in `error` when something failed.
bool postCorpus(CorpusGenerator& gen, const std::string& owner, PostedCorpus& out, std::string& error);

}  // namespace qvbench
