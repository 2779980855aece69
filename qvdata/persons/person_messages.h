// The way from a person to its messages in the browser.
#pragma once

#include <cstdint>

namespace qv {

// Prepares the browser of the current database to show the messages the
// person sent: the browse context (Context or MailContext) takes the sender
// view limited to that person, on its first message in that view. Returns
// that message's ID; 0 when the person sent none or does not exist (the
// context is left alone).
uint32_t preparePersonMessages(uint32_t personId);

}  // namespace qv
