// The mailbox owner's addresses: which mail was sent and which received.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Whether the mailbox owner received or sent a mail, as the temporary import
// record keeps it (NHR.MAILTYPE). Undecided: a parser leaves it to the
// owner's addresses; in a temporary record, the record is not a mail.
enum MailDirection : int { DirectionUndecided = 0, MailReceived = 1, MailSent = 2 };

// An address as addresses are compared: its ASCII letters in lower case.
std::string lowerAddress(std::string_view address);

class OwnerAddresses {
 public:
  // Loads the mailbox of a database ID from the database list (Forums open).
  // When it cannot be read, the name and all addresses are empty.
  void load(uint32_t mailboxId);
  uint32_t mailboxId() const { return mailbox_; }
  const std::string& name() const { return name_; }          // first 40 characters of the mailbox name
  const std::string& mainAddress() const { return main_; }
  // True when the address is none of the owner's addresses (compared in lower case).
  bool foreign(const std::string& address) const;
  // Decides the direction of a mail: received (the recipient address becomes
  // the owner's main address) when the sender is foreign, else sent (the
  // recipient address is lower-cased and the sender address becomes the
  // owner's main address).
  MailDirection direction(std::string& senderAddress, std::string& recipientAddress) const;

 private:
  uint32_t mailbox_ = 0;
  std::string name_;
  std::string main_;
  std::array<std::string, 11> lower_;  // main and ten alternative addresses, lower case
};

}  // namespace qv
