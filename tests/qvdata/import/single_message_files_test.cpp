// Files that hold one message (saved .eml files, Maildir messages, the test
// messages of mail libraries) read by every mail format that takes a file
// without separator lines, and by the news stores cut at header lines: a
// forwarded message, a digest, a delivery report or a header block inside
// the body never starts a message of its own, and the kept original is the
// whole file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "import/formats.h"
#include "import/parser.h"
#include "support/fake_import_context.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Files of the collections that are no Internet message: notes and licences,
// an Outlook file, and texts without any header line.
const std::set<std::string> kNoMessage = {
    "README.txt", "ARTISTIC-LICENSE.txt", "mail_outlook_1", "msg_19.txt", "testdata_mail_erroneous.raw",
    "malformedHeader-noheader.msg", "malformedHeaderStartsBody-noheader.msg"};

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The message files of the eml/ collections.
std::vector<fs::path> messageFiles(const std::string& corpus) {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(corpus + "/eml")) {
    std::string name = e.path().filename().string();
    if (!e.is_regular_file() || name.find("_decoded") != std::string::npos || e.path().extension() == ".xml" ||
        e.path().extension() == ".out" || kNoMessage.count(name))
      continue;
    out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The original a mail reader keeps of a file that holds one message: the
// file, but for a mailbox separator line at its start and the empty line a
// mailbox ends a message with, which are the store's.
std::string originalOf(std::string bytes) {
  if (bytes.rfind("From ", 0) != 0) return bytes;
  bytes.erase(0, bytes.find('\n') + 1);
  for (std::string blank : {"\r\n", "\n"})
    if (bytes.size() > 2 * blank.size() && bytes.compare(bytes.size() - 2 * blank.size(), 2 * blank.size(), blank + blank) == 0) {
      bytes.resize(bytes.size() - blank.size());
      break;
    }
  return bytes;
}

class SingleMessageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus_ = qvtest::corpusDir();
    if (corpus_.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  }

  // A context for reading files of the format into one mailbox.
  std::unique_ptr<qvtest::FakeImportContext> context(const std::string& format) {
    auto ctx = std::make_unique<qvtest::FakeImportContext>();
    ctx->setFormat(format);
    std::string box = dir_.file("box" + std::to_string(++runs_));
    fs::create_directories(box);
    ctx->addMailbox(box, "Owner Box", "owner@example.com");
    return ctx;
  }

  // Runs the format's parser over the file; what it emits is added to ctx.
  static void read(qvtest::FakeImportContext& ctx, const fs::path& file) {
    EXPECT_TRUE(ctx.openBlocks(file.string()));
    auto parser = qv::makeParser(ctx.format());
    if (parser) qvtest::runParser(*parser, ctx);
    ctx.closeSource();
  }

  std::unique_ptr<qvtest::FakeImportContext> read(const std::string& format, const fs::path& file) {
    auto ctx = context(format);
    read(*ctx, file);
    return ctx;
  }

  std::string corpus_;
  qvtest::TempDir dir_;
  int runs_ = 0;
};

TEST_F(SingleMessageFiles, EachFileIsOneMessageKeptWhole) {
  std::vector<fs::path> files = messageFiles(corpus_);
  ASSERT_GE(files.size(), 185u);
  for (std::string format : {"Unix Mail", "Becky Mail", "Agent Mail", "Pegasus"}) {
    auto ctx = context(format);
    for (const fs::path& f : files) {
      SCOPED_TRACE(format + " reading " + f.string());
      size_t before = ctx->emitted.size();
      read(*ctx, f);
      ASSERT_EQ(ctx->emitted.size(), before + 1);
      ASSERT_EQ(ctx->originals.size(), before + 1);
      ASSERT_TRUE(ctx->originals.back());
      EXPECT_TRUE(*ctx->originals.back() == originalOf(readFile(f))) << "the kept original is not the file";
    }
  }
}

TEST_F(SingleMessageFiles, NamedFilesAreNoLongerSplit) {
  // A digest, a message/rfc822 body, a forwarded message, a header block in
  // the body, a boundary that never closes, delivery reports.
  const std::map<std::string, std::string> files = {
      {"cpython/msg_02.txt", "Ppp digest, Vol 1 #2 - 5 msgs"},
      {"cpython/msg_06.txt", "forwarded message from Barry A. Warsaw"},
      {"cpython/msg_30.txt", ""},
      {"cpython/msg_46.txt", "GroupwiseForwardingTest"},
      {"mime4j/mimetools-testmsgs/badbound.msg", "Mail System Error - Returned Mail"},
      {"mailparser/mail_malformed_2", "Delivery failure (abh@netpar.com.br)"},
      {"enmime/dsn_testdata_simple_dsn.raw", "Returned mail: Cannot send message for 5 days"},
  };
  for (const auto& [name, subject] : files) {
    SCOPED_TRACE(name);
    fs::path f = corpus_ + "/eml/" + name;
    auto ctx = read("Unix Mail", f);
    ASSERT_EQ(ctx->emitted.size(), 1u);
    EXPECT_EQ(ctx->emitted[0].HEADING.str(), subject);
    EXPECT_EQ(ctx->originals[0]->size(), originalOf(readFile(f)).size());
  }
}

TEST_F(SingleMessageFiles, NewsStoresCutAtHeaderLinesKeepMultipartArticlesWhole) {
  // Inside the parts of a multipart (a digest, delivery reports, nested
  // messages) a header line starts no article.
  for (std::string format : {"Netscape News", "IE News"}) {
    for (const char* name : {"cpython/msg_02.txt", "cpython/msg_30.txt", "cpython/msg_16.txt",
                             "mailparser/mail_malformed_2", "mime4j/mimetools-testmsgs/multi-nested.msg",
                             "mime4j/mimetools-testmsgs/double-bound.msg", "mime4j/mimetools-testmsgs/frag.msg"}) {
      SCOPED_TRACE(format + " reading " + name);
      auto ctx = read(format, corpus_ + "/eml/" + name);
      EXPECT_EQ(ctx->emitted.size() + size_t(ctx->skipped), 1u);
    }
  }
}

}  // namespace
