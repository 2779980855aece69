// Splitting personal names and sender or recipient strings.
//
// All texts are UTF-8. The results are not cut to any field width; the
// caller stores them in its fields, which cut them on a character boundary.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Splits a personal name into last and first name. The last name is the
// last word, or the last two words when the last one is a generation suffix
// (I, II, III, IV, V, or the same written with a small l for I): John Smith
// III gives Smith III and John. A single word, or a suffixed name of two
// words, is all last name with an empty first name.
void ParseName(std::string_view full, std::string& last, std::string& first);

// Splits a sender or recipient string into name and address.
//
// Every mode recognises a CompuServe number at the end of the text, in the
// forms "Name 12345,678", "Name 12345.678", "Name [12345,678]" or the bare
// number; the address is then the number with a comma, the name what comes
// before it. In mode 2 (CompuServe-style strings) the text may instead carry
// "CSINET:address", and otherwise its last word is the address, with an
// "INTERNET:" or similar prefix dropped. In every other mode a text without a
// number is all name and the address is empty.
void FindCISAdress(int mode, std::string_view text, std::string& name, std::string& address);

// True for a CompuServe number: digits, a comma or full stop, digits.
bool isCompuServeNumber(std::string_view address);

}  // namespace qv
