// Every mail and news reader over a file of random bytes: such a file holds
// no message, so nothing is converted and nothing is counted as skipped
// (the run then answers "No messages found", as for any file without mail).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "import/formats.h"
#include "import/parser.h"
#include "support/fake_import_context.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

TEST(RandomBytes, NoReaderFindsMessagesInThem) {
  qvtest::TempDir dir;
  for (unsigned seed : {1u, 2u}) {
    std::string path = dir.file("random" + std::to_string(seed));
    qvtest::writeFile(path, randomBytes(1000000, seed));
    for (const qv::FormatInfo& f : qv::formatTable()) {
      if (!(f.kinds & (qv::ImportsMail | qv::ImportsNews)) || f.openAs != qv::OpenAs::Blocks) continue;
      SCOPED_TRACE(std::string(f.name) + " seed " + std::to_string(seed));
      qvtest::FakeImportContext ctx;
      ctx.setFormat(f.name);
      std::string box = dir.file(std::string("box ") + f.name + std::to_string(seed));
      fs::create_directories(box);
      ctx.addMailbox(box, "Owner Box", "owner@example.com");
      ASSERT_TRUE(ctx.openBlocks(path));
      auto parser = qv::makeParser(f);
      ASSERT_NE(parser, nullptr);
      qvtest::runParser(*parser, ctx);
      ctx.closeSource();
      EXPECT_EQ(ctx.emitted.size(), 0u);
      EXPECT_EQ(ctx.skipped, 0);
    }
  }
}

}  // namespace
