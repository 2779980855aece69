// The external name of a declared key: "[TAG|]FILE[=[type][[expression]][,FOR[filter]][,COMPRESSED]]".
#pragma once

#include <string>

#include "index/key_encoding.h"

namespace dbf {

struct KeyDeclaration {
  std::string tag;          // empty for a single index file
  std::string file;         // resolved path with its default extension
  bool hasType = false;
  KeyType type = KeyType::Character;
  std::string expression;   // without blanks; empty: the declared components
  std::string forExpression;
  bool compressed = false;  // a compact single index
  bool compound() const { return !tag.empty(); }
};

constexpr std::size_t kMaxIndexFileName = 254;

// Parses a declaration's external name (compared in upper case). tableDir
// resolves a file name without a path; foxbase refuses tags and COMPRESSED.
// Answers 0, -207 for anything malformed or left over, -250 for a bad tag
// name.
int parseKeyDeclaration(const std::string& externalName, const std::string& tableDir, bool foxbase,
                        KeyDeclaration& out);

}  // namespace dbf
