// The conversion of an installation to version 3.60: the minor upgrade of
// the database list and file list (current layout), or the full conversion
// of the old layout (preparation, then seven steps). A state machine: the
// window drives it from a timer and `qvconv --unattended` in a loop, each
// step() doing one step.
//
// Every failure is told through the prompt interface with its caption and
// ends the run (state Failed); what was converted so far stays, and the
// saved copies SAV002.ADF, SAV008.ADF and SAV016.ADF in the program
// directory, with the old database files kept under IDX125..IDX128.ADF in
// their directories until the conversion has finished, let the user go back
// to the old installation (restoreSaved).
//
// From its first change until the converted files are in place a full
// conversion keeps a marker in the program directory, so that a run cut
// short (killed, or ended by a failure) is known: the next run puts the
// saved copies back first and converts again, and one cut short while it
// removed the old files removes the rest.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "conv_install.h"

namespace qvconv {

enum class ConvState {
  Ready,     // made, not started
  Running,   // steps to go
  Finished,  // converted
  Failed,    // ended by a failure or by the user's Cancel: the message was shown
};

// The free space the conversion of a database's files needs, as a multiple
// of their sizes.
inline constexpr double kSpaceFactor = 2.5;

// The status line's first text.
inline constexpr const char* kStatusPreparing = "Preparing for conversion";
inline constexpr const char* kStatusFinished = "Conversion finished!";

class ConvRun {
 public:
  explicit ConvRun(const Installation& inst);
  ~ConvRun();
  ConvRun(const ConvRun&) = delete;
  ConvRun& operator=(const ConvRun&) = delete;

  // Called with every new text of the status line.
  void onStatus(std::function<void(const std::string&)> f);

  // False when the installation offers no conversion.
  bool start();
  // Runs the next step (the preparation, one of the seven steps, or the
  // minor upgrade); false once the run has ended.
  bool step();

  ConvState state() const;
  const std::string& status() const;
  int stepNumber() const;  // 0 while preparing
  int steps() const;       // 1 (minor upgrade, removing the rest of the old files) or 7

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// Runs a started run to its end; the state it ended in.
ConvState runToEnd(ConvRun& run);

// Puts back the old installation from the saved copies that a full
// conversion left: SAV002/008/016.ADF become IDX002/008/016.ADF of the
// program directory again, the old database files kept under IDX125..128
// get their names back, and the files the conversion made in CFG are
// removed, each file with the journals that stood beside the one it
// replaces. `report` is told each file put back. False, with the reason in
// `error`, when there are no saved copies, when the conversion got as far
// as removing the old files (there is nothing left to go back to), or when
// a file cannot be put back.
bool restoreSaved(const std::string& root, const std::function<void(const std::string&)>& report,
                  std::string& error);

}  // namespace qvconv
