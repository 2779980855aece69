// Stored text shown on a terminal: control characters are shown, not acted upon.
#include <gtest/gtest.h>

#include "services/terminal_text.h"

using qv::terminalText;

TEST(TerminalText, ControlCharactersAreShownEscaped) {
  EXPECT_EQ(terminalText("\x1b[2Jcleared"), "^[[2Jcleared");
  // An OSC 52 sequence that would set the user's clipboard.
  EXPECT_EQ(terminalText("\x1b]52;c;ZWNobyBoaQ==\x07"), "^[]52;c;ZWNobyBoaQ==^G");
  EXPECT_EQ(terminalText(std::string("a\0b", 3)), "a^@b");
  EXPECT_EQ(terminalText("del\x7f"), "del^?");
  EXPECT_EQ(terminalText("over\rwrite"), "over^Mwrite") << "a CR that ends no line";
  EXPECT_EQ(terminalText("\x0c"), "^L");
}

TEST(TerminalText, TabsAndLineEndsAndCharactersAreKept) {
  EXPECT_EQ(terminalText("a\tb\nc\r\nd"), "a\tb\nc\r\nd");
  EXPECT_EQ(terminalText("Grüße, ☃ and 𝄞"), "Grüße, ☃ and 𝄞");
  EXPECT_EQ(terminalText(""), "");
}

TEST(TerminalText, C1CharactersAndBytesThatAreNoUtf8AreShownAsCodes) {
  // U+009B is a CSI for terminals that take C1 controls.
  EXPECT_EQ(terminalText("\xc2\x9b" "2J"), "\\u009B2J");
  EXPECT_EQ(terminalText("\xc2\x81"), "\\u0081");
  EXPECT_EQ(terminalText("\xc2\xa0"), "\xc2\xa0") << "a no-break space is no control";
  EXPECT_EQ(terminalText("\x9b" "2J"), "\\x9B2J");
  EXPECT_EQ(terminalText("\xc3"), "\\xC3") << "cut short";
  EXPECT_EQ(terminalText("\xc0\x9b"), "\\xC0\\x9B") << "overlong";
  EXPECT_EQ(terminalText("\xed\xa0\x80"), "\\xED\\xA0\\x80") << "a surrogate";
}
