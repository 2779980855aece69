// Source files of each message kind, generated with what makes an import's
// bookkeeping work: replies, shared threads and persons, carbon copies,
// subjects longer than their fields and subjects with a multi-byte character
// where the heading is cut.
#pragma once

#include <string>

namespace qvtest {

// An mbox of `count` mails for the mailbox owner `owner` (an address): some
// received, some sent, a few with copies (to strangers and to the owner).
std::string generatedMbox(int count, const std::string& owner);
// An OzWin II capture of `count` messages in the forum "Big Forum", numbered
// from 1001, in two sections, with replies by "Sb: #<number>-".
std::string generatedForumCapture(int count);
// A Unix News file of `count` articles of the newsgroup "comp.test" with
// References to earlier articles.
std::string generatedNews(int count);

// A subject for message i: plain, long, or cut inside a character.
std::string generatedSubject(int i);

}  // namespace qvtest
