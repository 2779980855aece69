// The search module's procedure windows: the openers of the standard search
// ("FindText" for forum and newsgroup databases, "MailFind" for mail).
#pragma once

namespace qvm {

void registerSearchWindows();

}  // namespace qvm
