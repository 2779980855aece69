// BUILDSEARCH: the word search window. The user collects words into an AND
// list and an OR list (each word with its count and a NOT mark), then runs
// the search over the database's word index; the matching message IDs go
// back to the caller when the window closes.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace qvm {

// Opens the search window for the current database (kind 1 forum, 2 mail, 3 newsgroup), window-modal
// over parent; when it closes, done receives the matching message IDs (empty when none or cancelled).
void buildSearch(QWidget* parent, int kind, std::function<void(std::vector<uint32_t> ids)> done);

}  // namespace qvm
