#include "import/owner.h"

#include <algorithm>

#include "dictionary/dictionary.h"

namespace qv {

std::string lowerAddress(std::string_view address) {
  std::string s(address);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

void OwnerAddresses::load(uint32_t mailboxId) {
  mailbox_ = mailboxId;
  name_.clear();
  main_.clear();
  lower_.fill(std::string());
  RecordImage saved = saveRecord(Forums.decl());
  FOR = ForumsRec();
  FOR.ID = mailboxId;
  if (mailboxId != 0 && Forums.get(FOR_ForumKey)) {
    name_ = Str<40>(FOR.DESCRIPTION.view()).str();
    main_ = FOR.MAILADDRESS.str();
    lower_[0] = lowerAddress(main_);
    for (size_t i = 0; i < FOR.ALTADDRESS.size(); ++i) lower_[i + 1] = lowerAddress(FOR.ALTADDRESS[i].str());
  }
  restoreRecord(Forums.decl(), saved);
}

bool OwnerAddresses::foreign(const std::string& address) const {
  // Unused address slots never match: an empty address is always foreign.
  std::string a = lowerAddress(trimRight(address));
  if (a.empty()) return true;
  return std::find(lower_.begin(), lower_.end(), a) == lower_.end();
}

MailDirection OwnerAddresses::direction(std::string& sender, std::string& recipient) const {
  if (foreign(sender)) {
    recipient = main_;
    return MailReceived;
  }
  recipient = lowerAddress(recipient);
  sender = main_;
  return MailSent;
}

}  // namespace qv
