// The names and labels the browsers show, one rule each: a person in the
// lists, a section, the sender in the thread tree, and the cut of a text to
// its column's width. Texts are UTF-8; widths count characters, not bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

// The first `chars` characters of a UTF-8 text (a stray continuation byte
// counts as a character of its own).
std::string firstChars(std::string_view s, size_t chars);

// A person's name as the lists show it: first and last name, else the
// address, else the person string (PER buffer).
std::string personDisplayName();

// A section's label as the lists show it: its two-digit number, a blank,
// its description (SEC buffer).
std::string sectionDisplayLabel();

// The thread tree's sender label: first and last name without trailing
// blanks joined by one blank (a missing part leaves no blank), at most 35
// characters.
std::string senderLabel(const std::string& firstName, const std::string& lastName);

}  // namespace qv
