// The chosen item of a browser view (thread, section, sender, receiver, mail
// partner, key word, topic): filled from an ID the pickers return, taken from
// a message, or moved to its neighbour by the previous / next item buttons.
#pragma once

#include <cstdint>

#include "browse/browse_state.h"

namespace qv {

// Each fills the state's item with its names and counts from the records and
// returns true; false (state unchanged) when there is no such item. They do
// not change the limit flags.
bool chooseThread(BrowseState& s, uint32_t threadNumber);
bool chooseSection(BrowseState& s, uint32_t sectionId);
// The first section in SEC:SectionKey order (the section view's fallback).
bool chooseFirstSection(BrowseState& s);
// `mode` names the role: the sender, receiver or (mail) partner view's mode
// of the state's kind.
bool choosePerson(BrowseState& s, int mode, uint32_t personId);
bool chooseWord(BrowseState& s, uint32_t wordId);
bool chooseTopic(BrowseState& s, uint32_t topicId);

// Takes the thread, section, sender, receiver and partner of message (mail)
// `id` as the chosen items; false when the message does not exist.
bool chooseFromMessage(BrowseState& s, uint32_t id);

// Previous / next item of the state's mode: thread (THR:AlphaKey order),
// thread within the chosen section (THR:SecKey), sender, receiver or partner
// (the neighbouring person in the view's key order that has a message in that
// role). The neighbour becomes the chosen item and the limit is set. False
// when the mode has no items or there is no neighbour: the state is left as
// it was (the caller beeps).
bool neighbourItem(BrowseState& s, bool forward);

}  // namespace qv
