// The command line of a bench program: its options declared once, with the
// usage text made from them.
//
// --help (or -h) prints the usage to standard output and the program runs
// nothing; an unknown option, a missing value or a value that is not a
// number prints the usage to standard error and the program ends with 2.
//
//   qvbench::Options o("bench_x", "What it measures.");
//   o.value("--messages", "N", "mails to generate (default 100,000)", messages);
//   o.flag("--quick", "20,000 mails", [&] { messages = 20000; });
//   if (int rc = o.parse(argc, argv); rc >= 0) return rc;
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace qvbench {

class Options {
 public:
  Options(std::string program, std::string summary) : program_(std::move(program)), summary_(std::move(summary)) {}

  // An option with a value; `placeholder` names it in the usage.
  void value(const std::string& name, const std::string& placeholder, const std::string& help, std::string& target) {
    add(name, placeholder, help, [&target](const std::string& v) {
      target = v;
      return true;
    });
  }
  template <typename Number>
  void value(const std::string& name, const std::string& placeholder, const std::string& help, Number& target) {
    add(name, placeholder, help, [&target](const std::string& v) { return toNumber(v, target); });
  }
  // An option without a value.
  void flag(const std::string& name, const std::string& help, std::function<void()> set) {
    add(name, "", help, [set](const std::string&) {
      set();
      return true;
    });
  }
  void flag(const std::string& name, const std::string& help, bool& target) {
    flag(name, help, [&target] { target = true; });
  }
  // Lines printed after the options (modes, notes).
  void note(const std::string& text) { notes_ += text + "\n"; }

  // Reads the arguments. Returns -1 when the program should run, else the
  // exit status it should end with at once.
  int parse(int argc, char** argv) const {
    for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      if (a == "--help" || a == "-h") {
        usage(stdout);
        return 0;
      }
      const Item* item = find(a);
      std::string v;
      if (item && !item->placeholder.empty()) {
        if (i + 1 >= argc) return bad("option " + a + " needs a value");
        v = argv[++i];
      }
      if (!item) return bad("unknown option \"" + a + "\"");
      if (!item->set(v)) return bad("option " + a + " takes a number, not \"" + v + "\"");
    }
    return -1;
  }

  void usage(FILE* out) const {
    std::string line = "Usage: " + program_ + " [--help]";
    for (const Item& i : items_) line += " [" + i.name + (i.placeholder.empty() ? "" : " " + i.placeholder) + "]";
    std::fprintf(out, "%s\n\n%s\n\nOptions:\n", line.c_str(), summary_.c_str());
    std::fprintf(out, "  %-22s %s\n", "-h, --help", "print this text and run nothing");
    for (const Item& i : items_) {
      std::string left = i.name + (i.placeholder.empty() ? "" : " " + i.placeholder);
      std::fprintf(out, "  %-22s %s\n", left.c_str(), i.help.c_str());
    }
    if (!notes_.empty()) std::fprintf(out, "\n%s", notes_.c_str());
  }

 private:
  struct Item {
    std::string name, placeholder, help;
    std::function<bool(const std::string&)> set;
  };

  void add(const std::string& name, const std::string& placeholder, const std::string& help,
           std::function<bool(const std::string&)> set) {
    items_.push_back({name, placeholder, help, std::move(set)});
  }
  const Item* find(const std::string& name) const {
    for (const Item& i : items_)
      if (i.name == name) return &i;
    return nullptr;
  }
  int bad(const std::string& why) const {
    std::fprintf(stderr, "%s: %s\n", program_.c_str(), why.c_str());
    usage(stderr);
    return 2;
  }
  template <typename Number>
  static bool toNumber(const std::string& v, Number& target) {
    if (v.empty()) return false;
    char* end = nullptr;
    errno = 0;
    if constexpr (std::is_floating_point_v<Number>) {
      double d = std::strtod(v.c_str(), &end);
      if (*end || errno) return false;
      target = Number(d);
    } else {
      if (v[0] == '-') return false;
      unsigned long long n = std::strtoull(v.c_str(), &end, 10);
      if (*end || errno) return false;
      target = Number(n);
    }
    return true;
  }

  std::string program_, summary_, notes_;
  std::vector<Item> items_;
};

}  // namespace qvbench
