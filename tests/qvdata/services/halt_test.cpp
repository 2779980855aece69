// A halt in library code never ends the process: it reaches the caller as
// qv::ProgramHalt carrying its text, after the message that explains it.
#include <gtest/gtest.h>

#include <string>

#include "services/file_service.h"
#include "services/prompt.h"
#include "support/services_fixture.h"

using namespace qvtest;

namespace {

class HaltInLibrary : public ServicesTest {};

TEST_F(HaltInLibrary, HaltThrowsProgramHaltWithItsText) {
  try {
    qv::Halt("Program aborted!");
    FAIL() << "Halt returned";
  } catch (const qv::ProgramHalt& halt) {
    EXPECT_EQ(halt.text, "Program aborted!");
  }
  EXPECT_EQ(qv::kHaltExitStatus, 3);
}

TEST_F(HaltInLibrary, AnUndeclaredFileReachesTheCallerAsProgramHalt) {
  constexpr int kUndeclared = 9999;
  std::string expected = qv::centreLines("File no 9999 not defined!", 40) + "\r\n" +
                         qv::centreLines("Quorvane will terminate!", 40);
  std::optional<std::string> halted = haltText([&] { qv::declaredFile(kUndeclared); });
  ASSERT_TRUE(halted.has_value()) << "declaredFile returned";
  EXPECT_EQ(*halted, expected);
  // The message that explains it was shown before.
  ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].caption, "Program Failure!");
  EXPECT_EQ(prompts.requests[0].text, expected);
}

}  // namespace
