#include "services/context.h"

#include "services/settings.h"
#include "storage/fixedstr.h"

namespace qv {

namespace {
Str<63> context;
Str<74> mailContext;
}  // namespace

std::string Context(int op, const std::string& text) {
  if (op == KSet) context = text;
  return op == KGet ? context.str() : std::string();
}

std::string MailContext(int op, const std::string& text) {
  if (op == KSet) mailContext = text;
  return op == KGet ? mailContext.str() : std::string();
}

}  // namespace qv
