// The owner passwords of the files declared with one. They are the same for
// every installation, since databases move between installations.
#pragma once

namespace qv {
inline constexpr const char* kPassword7 = "Qv Arch";        // Forums, Mail
inline constexpr const char* kPassword12 = "Qv Ctl Store";  // Control, ImpHeader
}  // namespace qv
