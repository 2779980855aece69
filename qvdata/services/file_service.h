// Opening and closing the declared files by number, with use counts and the
// recovery from the usual open failures.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace qv {

class File;

enum OpAction : int {
  OpRelease = 0,    // decrement the use count; close at 0
  OpShared = 1,     // open for shared use (files 11 and 12 read-only), count + 1
  OpExclusive = 2,  // open read-write exclusively, count + 1
  OpEmpty = 3,      // delete all records; closed afterwards, count 0
  OpForceClose = 4, // close, count 0
  OpPack = 5,       // compact; closed afterwards, count 0
  OpDelete = 6,     // close, count 0, remove from disk
  OpProbe = 7,      // open and close again, noting a layout that differs
};

// Applies the action to the files in the order given. Conditions the program
// cannot live with show their message and stop the program (Halt). Returns
// false only for a probe that found a layout differing from the declaration.
bool OP_CLOSE(int action, std::initializer_list<int> files);
bool OP_CLOSE(int action, const std::vector<int>& files);

// The path of a declared file as the current globals make it.
std::string filePath(int number);
int useCount(int number);
// The declared file of a number; an undefined number stops the program.
File& declaredFile(int number);
// A file of the current database that only some databases have (whole
// subjects, extras), ready for reading: the one a procedure has open through
// OP_CLOSE, else the file on disk opened here read-only and left open. False
// when the database has none, or a procedure has it open for another
// database.
bool readableIfPresent(int number);

}  // namespace qv
