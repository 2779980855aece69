#include "browse/browse_kinds.h"

#include "browse/status_marks.h"
#include "frame/window_host.h"
#include "services/active_database.h"
#include "services/db_kind.h"

namespace qvm {

namespace {

using E = EntryKind;

const std::vector<BrowseModeInfo> kForumModes = {
    {1, "Sort by message number", " Find MsgNo ", E::Number, "Enter message number to look up", nullptr, nullptr,
     nullptr, nullptr, nullptr},
    {2, "Sort by message thread", " Filter Thread ", E::Thread, nullptr, "Limit view to chosen thread",
     "Look up thread", "Previous Thread", "Filter Thread", "Next Thread"},
    {3, "Sort by message section", " Filter Section ", E::Section, nullptr, "Limit view to chosen section",
     "Look up section", "Previous Thread within Section", "Filter Section", "Next Thread within Section"},
    {4, "Sort by message sender", " Filter Sender ", E::Sender, nullptr, "Limit view to chosen sender",
     "Look up sender", "Previous Sender", "Filter Sender", "Next Sender"},
    {5, "Sort by message receiver", " Filter Receiver", E::Receiver, nullptr, "Limit view to chosen receiver",
     "Look up receiver", "Previous Receiver", "Filter Receiver", "Next Receiver"},
    {6, "Sort by message date", " Search Date ", E::Date, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {7, "Filter by key word", " Filter Key Word", E::Word, "View messages containing this key word", nullptr,
     "Look up keyword", nullptr, nullptr, nullptr},
    {8, "Filter by topic", " Filter Topic ", E::Topic, "View messages associated with this topic", nullptr,
     "Look up topic", nullptr, nullptr, nullptr},
    {9, "Show search result set", " ", E::None, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const std::vector<BrowseModeInfo> kMailModes = {
    {1, "Sort by mail date", "Find Date", E::Date, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {2, "Sort by mail subject", " ", E::None, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {3, "Sort by mail partner", "Filter Partner", E::Partner, nullptr, "Limit view to chosen mail partner",
     "Look up mail partner", "Previous Mail Partner", "Filter Mail Partner", "Next Mail Partner"},
    {4, "Sort by mail sender", "Filter Sender", E::Sender, nullptr, "Limit view to chosen sender", "Look up sender",
     "Previous Sender", "Filter Sender", "Next Sender"},
    {5, "Sort by mail receiver", "Filter Receiver", E::Receiver, nullptr, "Limit view to chosen receiver",
     "Look up receiver", "Previous Receiver", "Filter Receiver", "Next Receiver"},
    {6, "Filter by key word string", "Filter KeyWord", E::Word, "View mail messages containing this key word",
     nullptr, "Look up keyword", nullptr, nullptr, nullptr},
    {7, "Filter by topic", "Filter Topic", E::Topic, "View mail messages associated with this topic", nullptr,
     "Look up topic", nullptr, nullptr, nullptr},
    {8, "Show search result set", " ", E::None, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const std::vector<StatusItem> kForumStatus = {
    {"Normal Message", qv::LevelMessage, 0},   {"Keep Message", qv::LevelMessage, 1},
    {"Delete Message", qv::LevelMessage, 2},   {nullptr, 0, 0},
    {"Normal Thread", qv::LevelThread, 0},     {"Keep Thread", qv::LevelThread, 1},
    {"Delete Thread", qv::LevelThread, 2},     {nullptr, 0, 0},
    {"Normal Section", qv::LevelSection, 0},   {"Keep Section", qv::LevelSection, 1},
    {"Delete Section", qv::LevelSection, 2},   {nullptr, 0, 0},
    {"Normal Database", qv::LevelDatabase, 0}, {"Keep Database", qv::LevelDatabase, 1},
    {"Delete Database", qv::LevelDatabase, 2},
};

// Newsgroup databases keep no sections of their own.
const std::vector<StatusItem> kNewsStatus = {
    {"Normal Message", qv::LevelMessage, 0},   {"Keep Message", qv::LevelMessage, 1},
    {"Delete Message", qv::LevelMessage, 2},   {nullptr, 0, 0},
    {"Normal Thread", qv::LevelThread, 0},     {"Keep Thread", qv::LevelThread, 1},
    {"Delete Thread", qv::LevelThread, 2},     {nullptr, 0, 0},
    {"Normal Database", qv::LevelDatabase, 0}, {"Keep Database", qv::LevelDatabase, 1},
    {"Delete Database", qv::LevelDatabase, 2},
};

const std::vector<StatusItem> kMailStatus = {
    {"Normal Message", qv::LevelMessage, 0},  {"Keep Message", qv::LevelMessage, 1},
    {"Delete Message", qv::LevelMessage, 2},  {nullptr, 0, 0},
    {"Normal Partner", qv::LevelPartner, 0},  {"Keep Partner", qv::LevelPartner, 1},
    {"Delete Partner", qv::LevelPartner, 2},  {nullptr, 0, 0},
    {"Normal MailBox", qv::LevelDatabase, 0}, {"Keep MailBox", qv::LevelDatabase, 1},
    {"Delete MailBox", qv::LevelDatabase, 2},
};

const std::vector<CopyItem> kForumCopy = {
    {"Copy Msg to Clipboard", 1, false},        {nullptr, 0, false},
    {"Copy Msg to SaveMsg.Txt", 2, false},      {"Append Msg to SaveMsg.Txt", 3, false},
    {"Copy Thread to SaveMsg.Txt", 4, false},   {"Append Thread to SaveMsg.Txt", 5, false},
    {nullptr, 0, false},
    {"Print Msg", 1, true},                     {"Print Thread", 2, true},
};

const std::vector<CopyItem> kMailCopy = {
    {"Copy Mail to Clipboard", 1, false},              {nullptr, 0, false},
    {"Copy Mail to SaveMsg.Txt", 2, false},            {"Append Mail to SaveMsg.Txt", 3, false},
    {"Copy Partner Mail to SaveMsg.Txt", 4, false},    {"Append Partner Mail to SaveMsg.Txt", 5, false},
    {nullptr, 0, false},
    {"Print Mail", 1, true},                           {"Print Partner Mail", 2, true},
};

// Column widths: the dialog units of the lists at 8 points, about 1.5 pixels each.
const BrowseKindInfo kForum = {qv::KindForumDb, "BrowseMsgNmbr", "FindText", "~Browsing_CompuServe_Forum_Messages", kForumModes,
                               {300, 170, 170, 150},
                               kForumStatus, kForumCopy, SlotBrowseMsgNmbr, ListBrowseMsgNmbr};
const BrowseKindInfo kNews = {qv::KindNewsDb, "BrowseMsgNmbr", "FindText", "~Browsing_Usenet_Newsgroup_Messages", kForumModes,
                              {300, 180, 180},
                              kNewsStatus, kForumCopy, SlotBrowseMsgNmbr, ListBrowseNews};
const BrowseKindInfo kMail = {qv::KindMailDb, "BrowseMail", "MailFind", "~Browsing_Mail_Messages", kMailModes,
                              {80, 70, 300, 200, 200},
                              kMailStatus, kMailCopy, SlotBrowseMail, ListBrowseMail};

}  // namespace

const BrowseKindInfo& browseKind(int kind) { return kind == qv::KindMailDb ? kMail : kind == qv::KindNewsDb ? kNews : kForum; }

const BrowseModeInfo& browseMode(const BrowseKindInfo& k, int mode) {
  for (const BrowseModeInfo& m : k.modes)
    if (m.mode == mode) return m;
  return k.modes.front();
}

QString browseThreadName(int kind) { return kind == qv::KindMailDb ? kBrowseMail : kBrowseMsgNmbr; }

int threadedBrowseKind() { return qv::activeKind() == qv::KindNewsDb ? qv::KindNewsDb : qv::KindForumDb; }

}  // namespace qvm
