#include "mime/content_type.h"

#include "mime/mime_internal.h"

namespace qv::mime {

using namespace detail;

namespace {

constexpr std::string_view kPlainText = "text/plain";

// A token of RFC 2045: printable ASCII without blanks and "tspecials".
bool isToken(std::string_view s) {
  if (s.empty()) return false;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c <= 32 || c >= 127) return false;
    if (std::string_view("()<>@,;:\\\"/[]?=").find(ch) != std::string_view::npos) return false;
  }
  return true;
}

// The value up to its parameters, comments in parentheses removed.
std::string typePart(std::string_view v) {
  std::string out;
  int depth = 0;
  for (char c : v) {
    if (depth == 0 && c == ';') break;
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    else if (depth == 0) out += c;
  }
  return out;
}

}  // namespace

std::string mediaType(std::string_view contentType) {
  std::string t = typePart(contentType);
  std::string_view v = trimWsp(t);
  size_t slash = v.find('/');
  if (slash == std::string_view::npos) return std::string(kPlainText);  // "text", "bogus", nothing
  std::string type = lowerCopy(trimWsp(v.substr(0, slash)));
  std::string sub = lowerCopy(trimWsp(v.substr(slash + 1)));
  if (!isToken(type) || !isToken(sub)) return std::string(kPlainText);
  if (type == "plain" && sub == "text") return std::string(kPlainText);
  return type + "/" + sub;
}

std::string contentTypeParameter(std::string_view contentType, const char* name) {
  size_t semi = contentType.find(';');
  if (semi == std::string_view::npos) return "";
  // The parameters are read on their own, after the first ";", so that a
  // broken type does not lose them.
  std::string v(contentType.substr(semi + 1));
  std::string value;
  if (GMimeParamList* list = g_mime_param_list_parse(gmimeOptions(), v.c_str())) {
    if (GMimeParam* p = g_mime_param_list_get_parameter(list, name))
      if (const char* c = g_mime_param_get_value(p)) value = c;
    g_object_unref(list);
  }
  return value;
}

}  // namespace qv::mime
