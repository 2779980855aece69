// What a Content-Type header value says, read as MIME prescribes for values
// that real mailers get wrong.
#pragma once

#include <string>
#include <string_view>

namespace qv::mime {

// The media type of a Content-Type value as lower-case "type/subtype".
// A value that cannot be read (empty, no slash, an empty or malformed type
// or subtype) means "text/plain", MIME's default; so does a bare "text" and
// the swapped "plain/text" some mailers write. Parameters and comments are
// passed over.
std::string mediaType(std::string_view contentType);

// A parameter of a Content-Type value ("charset", "boundary"), unquoted and
// decoded, also when its media type cannot be read; empty when there is none.
std::string contentTypeParameter(std::string_view contentType, const char* name);

// The charset parameter of a Content-Type value.
inline std::string charsetParameter(std::string_view contentType) {
  return contentTypeParameter(contentType, "charset");
}

}  // namespace qv::mime
