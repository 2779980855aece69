// The topic windows: the topic list (BrowseTopics), the check list of the
// topics attached to the browser's message (Classify) and the group
// operations on related messages (ExportProc, PrintProc, ClassifyProc).
#pragma once

#include <QString>

namespace qvm {

inline const QString kBrowseTopicsThread = QStringLiteral("BrowseTopics");
inline const QString kClassifyThread = QStringLiteral("Classify");
inline const QString kExportProcThread = QStringLiteral("ExportProc");
inline const QString kPrintProcThread = QStringLiteral("PrintProc");
inline const QString kClassifyProcThread = QStringLiteral("ClassifyProc");

// Registers the openers of the topic windows.
void registerTopicWindows();

}  // namespace qvm
