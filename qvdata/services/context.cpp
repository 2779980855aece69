#include "services/context.h"

#include "storage/fixedstr.h"

namespace qv {

namespace {
Str<63> context;
Str<74> mailContext;
}  // namespace

std::string Context(int op, const std::string& text) {
  if (op == 2) context = text;
  return op == 3 ? context.str() : std::string();
}

std::string MailContext(int op, const std::string& text) {
  if (op == 2) mailContext = text;
  return op == 3 ? mailContext.str() : std::string();
}

}  // namespace qv
