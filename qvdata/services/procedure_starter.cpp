#include "services/procedure_starter.h"

#include <map>

namespace qv {

namespace {
struct Entry {
  SemaForeHandler handler;
  int stackSize;
};
std::map<int, Entry>& table() {
  static std::map<int, Entry> t;
  return t;
}
}  // namespace

void registerSemaFore(int code, SemaForeHandler handler, int stackSize) {
  table()[code] = Entry{std::move(handler), stackSize};
}

bool semaForeRegistered(int code) { return table().count(code) > 0; }

int SemaFore(int code) {
  auto it = table().find(code);
  if (it == table().end() || !it->second.handler) return 0;
  return it->second.handler();
}

}  // namespace qv
