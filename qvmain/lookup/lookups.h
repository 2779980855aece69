// The look-up lists the browsers and filters open to choose a thread, a
// section, a person or an indexed word of the active database.
//
// Each is a window-modal list over its file, positioned at the start text
// (or the start person), that reads only the rows it shows. Enter or a
// double click returns the highlighted entry's ID with ok = true; Esc or the
// close box returns ok = false. `done` is called exactly once, after the
// window has closed.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace qvm {

using PickDone = std::function<void(bool ok, uint32_t id)>;

// GP_THREAD: threads by heading; returns THR:THREADNUMBER.
void pickThread(QWidget* parent, const QString& startText, PickDone done);
// GP_SECTION: sections by number; returns SEC:SECSYSID.
void pickSection(QWidget* parent, const QString& startText, PickDone done);
// GP_ANS: persons by last name or by address; returns PER:PERSONID. Opens on
// the person `startId` when it is given (non-zero), else at `startText`.
void pickPerson(QWidget* parent, const QString& startText, uint32_t startId, PickDone done);
// GP_WORDLIST: indexed words; returns WOR:WORDID.
void pickWord(QWidget* parent, const QString& startText, PickDone done);

}  // namespace qvm
