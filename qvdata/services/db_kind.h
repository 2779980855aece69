// The kinds of database an installation holds, as FOR.TYPE and REF.TYPE
// store them.
#pragma once

namespace qv {

enum DbKind : int {
  KindNoDb = 0,     // no database open, or a file that holds no kind of message
  KindForumDb = 1,  // CompuServe forum messages
  KindMailDb = 2,   // a mailbox
  KindNewsDb = 3,   // a Usenet newsgroup
};

// Forum and newsgroup databases keep messages in MsgNmbr with threads and
// sections; a mailbox keeps mail in Mail.
inline bool keepsThreads(int kind) { return kind == KindForumDb || kind == KindNewsDb; }

}  // namespace qv
