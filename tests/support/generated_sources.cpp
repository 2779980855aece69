#include "support/generated_sources.h"

namespace qvtest {

namespace {

const char* kNames[] = {"Ann Archer", "Bob Baker", "Cai Chen", "Dora Dahl", "Émile Ødegård"};

std::string address(int person) { return "person" + std::to_string(person) + "@example.org"; }

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::string generatedSubject(int i) {
  switch (i % 4) {
    case 0: return "Topic " + std::to_string(i % 9);
    case 1: return "Abcd Grüße aus Köln " + std::to_string(i % 5);
    case 2:
      return "A subject that runs well past the fifty bytes a record holds, number " + std::to_string(i % 6) +
             " of people";
    default: return "Abcdefghi jkl " + std::to_string(i % 3);
  }
}

std::string generatedMbox(int count, const std::string& owner) {
  std::string out;
  for (int i = 1; i <= count; ++i) {
    int p = i % 5;
    bool sent = i % 7 == 0;
    std::string from = sent ? "Mary Owner <" + owner + ">" : std::string(kNames[p]) + " <" + address(p) + ">";
    std::string to = sent ? std::string(kNames[p]) + " <" + address(p) + ">" : "Mary Owner <" + owner + ">";
    out += "From " + (sent ? owner : address(p)) + " Mon Jan  3 10:00:00 2005\n";
    out += "From: " + from + "\nTo: " + to + "\n";
    if (i % 3 == 0) out += "Cc: Stranger " + std::to_string(i % 4) + " <stranger" + std::to_string(i % 4) + "@example.net>, " + owner + "\n";
    // Raw UTF-8 in a header is read as UTF-8.
    out += "Subject: " + generatedSubject(i) + "\n";
    out += "Date: Mon, " + two(1 + i % 28) + " Feb 2005 " + two(i % 24) + ":" + two(i % 60) + ":00 +0100\n";
    out += "Message-ID: <mail" + std::to_string(i) + "@example.org>\n\n";
    out += "Text of mail " + std::to_string(i) + ".\nSecond line, word" + std::to_string(i % 11) + ".\n\n";
  }
  return out;
}

std::string generatedForumCapture(int count) {
  std::string out = "Captured by a terminal program.\n";
  for (int i = 1; i <= count; ++i) {
    int number = 1000 + i;
    int section = i % 2 ? 1 : 3;
    std::string sectionName = section == 1 ? "Chat" : "Tools";
    std::string subject = generatedSubject(i);
    std::string sb = i > 4 && i % 3 == 0 ? "#" + std::to_string(number - 3) + "-" + subject : subject;
    int p = i % 5;
    out += "#: " + std::to_string(number) + " S" + std::to_string(section) + "/" + sectionName + " (Big Forum)\n";
    out += "    " + two(1 + i % 28) + "-Mar-96  " + two(i % 24) + ":" + two(i % 60) + "\n";
    out += "Sb: " + sb + "\n";
    out += "Fm: " + std::string(kNames[p]) + " " + std::to_string(70000 + p) + "," + std::to_string(100 + p) + "\n";
    out += "To: All\n\n";
    out += "Forum text " + std::to_string(i) + ".\nMore words here.\n\n";
  }
  return out;
}

std::string generatedNews(int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) {
    int p = i % 5;
    out += "From news Sat Mar  6 21:39:44 2004\nPath: news.example.com!not-for-mail\nNewsgroups: comp.test\n";
    out += "From: " + std::string(kNames[p]) + " <" + address(p) + ">\n";
    std::string subject = generatedSubject(i);
    if (i > 3 && i % 3 == 0) subject = "Re: " + generatedSubject(i - 3);
    out += "Subject: " + subject + "\n";
    out += "Date: Sat, " + two(1 + i % 28) + " Mar 2004 21:" + two(i % 60) + ":44 -0800\n";
    out += "Message-ID: <article" + std::to_string(i) + "@example.com>\n";
    if (i > 3 && i % 3 == 0) out += "References: <article" + std::to_string(i - 3) + "@example.com>\n";
    out += "\nNews text " + std::to_string(i) + ".\n\n";
  }
  return out;
}

}  // namespace qvtest
