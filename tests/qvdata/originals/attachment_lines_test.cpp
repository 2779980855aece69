// The attachment lines of a stored text found for the reading pane.
#include "originals/attachment_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(AttachmentLines, FindsEachLineWithItsPlaceAndRepeatCount) {
  std::string text =
      "Hello.\r\n\r\n[Attachment: a.pdf, application/pdf, 10 bytes]\r\n"
      "[Attachment: unnamed, image/png, 5 bytes]\r\n"
      "quoted [Attachment: x, y/z, 1 bytes] inside a line\r\n"
      "[Attachment: a.pdf, application/pdf, 10 bytes]";
  std::vector<qv::AttachmentLineRef> lines = qv::attachmentLines(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].line, "[Attachment: a.pdf, application/pdf, 10 bytes]");
  EXPECT_EQ(lines[0].occurrence, 0);
  EXPECT_EQ(text.substr(lines[0].begin, lines[0].end - lines[0].begin), lines[0].line);
  EXPECT_EQ(lines[1].line, "[Attachment: unnamed, image/png, 5 bytes]");
  EXPECT_EQ(lines[2].line, lines[0].line);
  EXPECT_EQ(lines[2].occurrence, 1);
  EXPECT_EQ(lines[2].end, text.size());

  EXPECT_EQ(qv::attachmentLineAt(lines, lines[1].begin + 3), &lines[1]);
  EXPECT_EQ(qv::attachmentLineAt(lines, lines[1].end), &lines[1]);
  EXPECT_EQ(qv::attachmentLineAt(lines, 2), nullptr);
  EXPECT_TRUE(qv::attachmentLines("no attachments\r\n").empty());
}

}  // namespace
