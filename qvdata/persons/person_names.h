// How persons are named in the person windows and the words that name the
// persons of each kind of database.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

// A person's name as the person windows show it: the last name, a comma and
// the first name when there is one ("Smith,John"; no blank after the comma).
// Without a last name: the first name when `firstWhenNoLast` is set (the
// merge list), else blank (the person list and the alias window).
std::string personWindowName(std::string_view last, std::string_view first, bool firstWhenNoLast);
// The same for the person in the PER buffer.
std::string personWindowName(bool firstWhenNoLast);

// The copy of a last name that messages keep beside a person's ID: the name
// cut to the field's width (10 for senders and receivers, 25 for mail
// partners) on a character boundary, without trailing blanks.
std::string lastNameAlpha(std::string_view last, size_t width);
inline constexpr size_t kAlphaWidth = 10;
inline constexpr size_t kPairAlphaWidth = 25;

// The title of the person list of a database kind (qv::DbKind) without its
// count: " Mail Partners [", " Forum Members [" or " Newsgroup Participants [".
const char* personListTitle(int kind);
// The help topic of the person list: "~Mail_Partners", "~Forum_Members" or
// "~Newsgroup_Participants".
const char* personListHelp(int kind);
// The title of the name form: " Update Mail Partner name", " Update Forum
// Member name" or " Update Newsgroup Participant name".
const char* personFormTitle(int kind);

}  // namespace qv
