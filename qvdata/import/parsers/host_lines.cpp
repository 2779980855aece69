#include "import/parsers/host_lines.h"

#include "import/parsers/cis_text.h"

namespace qv::cis {

namespace {

// A prompt's phrase is at most this long ("Press <CR> for next or type
// CHOICES" is 35 characters).
constexpr size_t kPromptPhrase = 60;

// Prompts that end in "!" alone; the user's answer follows the "!".
constexpr std::string_view kBangPrompts[] = {"Read action !", "Action !", "Last page !"};

// One or more message numbers separated by commas and blanks.
bool numberList(std::string_view s) {
  bool digit = false;
  for (char c : s) {
    if (isDigit(c))
      digit = true;
    else if (c != ',' && c != ' ' && c != '\t')
      return false;
  }
  return digit;
}

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isDigit(c)) return false;
  return true;
}

// The words of a prompt's phrase: letters, digits, blanks and "<CR>"-like
// brackets, starting with a capital letter.
bool promptPhrase(std::string_view s) {
  if (s.empty() || s.size() > kPromptPhrase || s.front() < 'A' || s.front() > 'Z') return false;
  for (char c : s) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == ' ' || c == '<' || c == '>' ||
              c == '(' || c == ')' || c == '/' || c == ',' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool blankLine(std::string_view line) { return trim(line).empty(); }

}  // namespace

bool replyCountLine(std::string_view line) {
  std::string_view s = trimRight(line);
  if (s == "There is 1 Reply.") return true;
  constexpr std::string_view kThereAre = "There are ", kReplies = " Replies.";
  if (s.starts_with(kThereAre) && s.ends_with(kReplies) && s.size() > kThereAre.size() + kReplies.size())
    return allDigits(s.substr(kThereAre.size(), s.size() - kThereAre.size() - kReplies.size()));
  for (std::string_view label : {std::string_view("* Reply:"), std::string_view("* Replies:")})
    if (s.starts_with(label)) return numberList(s.substr(label.size()));
  return false;
}

bool hostPromptLine(std::string_view line) {
  if (line.starts_with("Press <CR>")) return true;
  for (std::string_view p : kBangPrompts)
    if (line.starts_with(p)) return true;
  // "Enter choice !>3": the answer follows the ">" directly, so "the !> prompt"
  // inside a sentence is no prompt.
  size_t mark = line.substr(0, kPromptPhrase + 3).find(" !>");
  if (mark == std::string_view::npos || !promptPhrase(line.substr(0, mark))) return false;
  std::string_view answer = line.substr(mark + 3);
  return answer.empty() || (answer.front() != ' ' && answer.front() != '\t');
}

size_t messageEnd(const std::vector<std::string>& lines, size_t from) {
  for (size_t i = from; i < lines.size(); ++i) {
    if (hostPromptLine(lines[i])) return i;
    if (!replyCountLine(lines[i])) continue;
    size_t j = i + 1;
    while (j < lines.size() && !hostPromptLine(lines[j]) && (blankLine(lines[j]) || replyCountLine(lines[j]))) ++j;
    if (j == lines.size() || hostPromptLine(lines[j])) return i;
  }
  return lines.size();
}

}  // namespace qv::cis
