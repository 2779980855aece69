// GMime set-up shared by the decoders of this folder (not a public header).
#pragma once

#include <gmime/gmime.h>

namespace qv::mime::detail {

// Initialises GMime once per process (safe to call from any thread) and
// returns the parser options every decoder uses: lenient parsing and the
// fallback charsets UTF-8, then Windows-1252, for undeclared 8-bit text.
GMimeParserOptions* gmimeOptions();

}  // namespace qv::mime::detail
