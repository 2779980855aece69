// Outlook Express 5 message stores (".dbx") over hand-made stores: messages
// found through a tree of several levels in its order, texts joined from
// their chains of blocks, stores that hold no messages, and damage of every
// kind (pointers outside the file or to the wrong place, loops in the tree
// and in a chain, impossible lengths): told to the user, never a crash or
// an endless loop, and no other message lost.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "import/parser.h"
#include "import/skip_reasons.h"
#include "support/fake_import_context.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

using qvtest::FakeImportContext;
namespace fs = std::filesystem;

namespace {

constexpr const char* kMessageStore = "\xC5\xFD\x74\x6F";
constexpr uint32_t kHeaderSize = 0x24BC;

// Builds a store object by object; every object begins with its offset.
class DbxBuilder {
 public:
  explicit DbxBuilder(const char* mark = kMessageStore) : bytes_(kHeaderSize, '\0') {
    std::memcpy(bytes_.data(), "\xCF\xAD\x12\xFE", 4);
    std::memcpy(bytes_.data() + 4, mark, 4);
  }

  void put(uint32_t at, uint32_t v) {
    if (bytes_.size() < at + 4) bytes_.resize(at + 4, '\0');
    for (int i = 0; i < 4; ++i) bytes_[at + i] = char((v >> (8 * i)) & 0xFF);
  }
  uint32_t get(uint32_t at) const {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | uint8_t(bytes_[at + i]);
    return v;
  }
  uint32_t alloc(size_t n) {
    uint32_t at = uint32_t(bytes_.size());
    bytes_.resize(at + ((n + 3) & ~size_t(3)), '\0');
    put(at, at);
    return at;
  }

  // The text in a chain of blocks of `piece` bytes of text each (room for
  // 0x200); the offsets of the blocks.
  std::vector<uint32_t> text(const std::string& text, size_t piece = 0x200) {
    std::vector<uint32_t> blocks;
    for (size_t pos = 0; pos < text.size(); pos += piece) {
      size_t n = std::min(piece, text.size() - pos);
      uint32_t b = alloc(16 + 0x200);
      put(b + 4, 0x200);
      put(b + 8, uint32_t(n));
      std::memcpy(bytes_.data() + b + 16, text.data() + pos, n);
      if (!blocks.empty()) put(blocks.back() + 12, b);
      blocks.push_back(b);
    }
    return blocks;
  }

  // A message info with its text at `block`: index 4 held in the data field
  // or, with `direct`, in the entry itself; index 0 beside it.
  uint32_t info(uint32_t block, bool direct = false, bool withText = true) {
    uint32_t i = alloc(12 + 16);
    put(i + 4, 16);                            // body: two entries, two data words
    bytes_[i + 10] = char(withText ? 2 : 1);  // entries
    put(i + 12, 0x80 | (7u << 8));            // index 0, direct: 7
    if (withText) put(i + 16, direct ? (0x84 | block << 8) : (0x04 | 4u << 8));  // index 4
    put(i + 24, block);                       // data + 4: the pointer
    return i;
  }

  // A node: `first` the child before its first value, then values each with
  // the child after it.
  uint32_t node(uint32_t first, const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
    uint32_t n = alloc(0x18 + 0x33 * 12);
    put(n + 8, first);
    bytes_[n + 0x11] = char(entries.size());
    for (size_t e = 0; e < entries.size(); ++e) {
      put(n + 0x18 + uint32_t(e) * 12, entries[e].first);
      put(n + 0x18 + uint32_t(e) * 12 + 4, entries[e].second);
    }
    return n;
  }

  void root(uint32_t node, uint32_t count) {
    put(0xE4, node);
    put(0xC4, count);
  }

  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

std::string mail(const std::string& subject, const std::string& body) {
  return "From: Ann <ann@example.org>\r\nTo: owner@example.com\r\nSubject: " + subject +
         "\r\nDate: Tue, 18 May 2004 01:43:21 -0700\r\n\r\n" + body;
}

class DbxStoreTest : public qvtest::ServicesTest {
 protected:
  FakeImportContext& convert(const std::string& bytes, int slice = 2,
                             const std::string& format = "Outlook Express Mail") {
    prompts.reset();
    ctx_ = std::make_unique<FakeImportContext>();
    ctx_->setFormat(format);
    ctx_->slice = slice;
    std::string d = dir_.file("box" + std::to_string(++runs_));
    fs::create_directories(d);
    ctx_->addMailbox(d, "Owner Box", "owner@example.com");
    std::string path = dir_.file("store" + std::to_string(runs_) + ".dbx");
    qvtest::writeFile(path, bytes);
    EXPECT_TRUE(ctx_->openBlocks(path));
    auto parser = qv::makeParser(ctx_->format());
    EXPECT_NE(parser, nullptr);
    if (parser) {
      EXPECT_LT(qvtest::runParser(*parser, *ctx_), 100000) << "the parser never finished";
    }
    ctx_->closeSource();
    return *ctx_;
  }

  std::vector<std::string> subjects() const {
    std::vector<std::string> out;
    for (const qv::ImpHeaderRec& r : ctx_->emitted) out.push_back(r.HEADING.str());
    return out;
  }

  // A store of five messages in a tree of two levels: the root lists the
  // third and fifth, its children the first two and the fourth.
  DbxBuilder fiveMessages() {
    DbxBuilder b;
    std::vector<uint32_t> infos;
    for (int i = 1; i <= 5; ++i) {
      std::string body(i == 2 ? 1500 : 40, char('a' + i));  // the second spans three blocks
      infos.push_back(b.info(b.text(mail("M" + std::to_string(i), body + "\r\n"))[0], i == 4));
    }
    uint32_t left = b.node(0, {{infos[0], 0}, {infos[1], 0}});
    uint32_t middle = b.node(0, {{infos[3], 0}});
    uint32_t top = b.node(left, {{infos[2], middle}, {infos[4], 0}});
    b.root(top, 5);
    return b;
  }

  qvtest::TempDir dir_;
  std::unique_ptr<FakeImportContext> ctx_;
  int runs_ = 0;
};

using Subjects = std::vector<std::string>;

TEST_F(DbxStoreTest, MessagesComeInTheOrderOfTheTreeWithTheirWholeText) {
  DbxBuilder b = fiveMessages();
  FakeImportContext& ctx = convert(b.bytes());
  ASSERT_EQ(subjects(), (Subjects{"M1", "M2", "M3", "M4", "M5"})) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(ctx.emitted[1].MSGTEXT, std::string(1500, 'c') + "\r\n") << "three blocks joined";
  ASSERT_EQ(ctx.originals.size(), 5u);
  EXPECT_EQ(*ctx.originals[1], mail("M2", std::string(1500, 'c') + "\r\n")) << "the original is the text as kept";
  EXPECT_GT(ctx.progressed, 0);
  EXPECT_LE(ctx.progressed, int64_t(b.bytes().size()));
}

TEST_F(DbxStoreTest, StoresWithoutMessagesAreSkippedSayingWhatTheyAre) {
  struct Case {
    const char* mark;
    const char* says;
  } cases[] = {{"\xC6\xFD\x74\x6F", "Folders.dbx"},
               {"\x30\x9D\xFE\x26", "Offline.dbx"},
               {"\xC7\xFD\x74\x6F", "Pop3uidl.dbx"},
               {"\x01\x02\x03\x04", "unknown kind"}};
  for (const Case& c : cases) {
    DbxBuilder b(c.mark);
    convert(b.bytes());
    EXPECT_TRUE(ctx_->emitted.empty());
    ASSERT_EQ(prompts.requests.size(), 1u) << c.says;
    EXPECT_NE(prompts.requests[0].text.find(c.says), std::string::npos) << prompts.transcript();
  }
  // An empty message store: nothing, and nothing to tell.
  DbxBuilder empty;
  convert(empty.bytes());
  EXPECT_TRUE(ctx_->emitted.empty());
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(DbxStoreTest, DamagedStoresAreToldAndLoseNothingElse) {
  struct Damage {
    const char* what;
    std::function<void(DbxBuilder&)> apply;
    Subjects read;
    const char* told;
  };
  // Offsets in fiveMessages(): the infos' and nodes' places found by their
  // values in the tree.
  const Damage damages[] = {
      {"a child node beyond the file",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         b.put(top + 0x18 + 4, 0x7FFFFFF0);  // the child after M3
       },
       {"M1", "M2", "M3", "M5"}, "beyond the end of the file"},
      {"a loop in the tree",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         uint32_t left = b.get(top + 8);
         b.put(left + 0x18 + 4, top);  // below M1 comes the root again
       },
       {"M1", "M2", "M3", "M4", "M5"}, "loop in the tree"},
      {"a node that is not one",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         b.put(top + 8, top + 4);
       },
       {"M3", "M4", "M5"}, "does not begin with its own offset"},
      {"a node claiming 255 entries",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         uint32_t middle = b.get(top + 0x18 + 4);
         b.bytes()[middle + 0x11] = char(0xFF);
       },
       {"M1", "M2", "M3", "M5"}, "claims 255 entries"},
      {"a message entry outside the file",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         b.put(top + 0x18, 0xFFFFFFF0);  // M3
       },
       {"M1", "M2", "M4", "M5"}, "message 3: its entry at byte 4294967280 lies outside the file"},
      {"a text pointer past the entry's own data",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         uint32_t info = b.get(top + 0x18 + 12);  // M5
         b.put(info + 16, 0x04 | 40u << 8);
       },
       {"M1", "M2", "M3", "M4"}, "points past its own end"},
      {"a loop in the chain of blocks",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         uint32_t left = b.get(top + 8);
         uint32_t info = b.get(left + 0x18 + 12);  // M2, three blocks
         uint32_t first = b.get(info + 24);
         uint32_t second = b.get(first + 12);
         b.put(second + 12, first);
       },
       {"M1", "M2", "M3", "M4", "M5"}, "a loop in the chain of blocks"},
      {"a block whose text is longer than the block",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         uint32_t info = b.get(top + 0x18);  // M3
         b.put(b.get(info + 24) + 8, 0x201);
       },
       {"M1", "M2", "M4", "M5"}, "impossible lengths"},
      {"a block beyond the end of the file",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         uint32_t middle = b.get(top + 0x18 + 4);
         uint32_t info = b.get(middle + 0x18);  // M4, direct pointer
         b.put(info + 16, 0x84 | 0x00FFFF00u << 8);
       },
       {"M1", "M2", "M3", "M5"}, "beyond the end of the file"},
      {"two entries of one message",
       [](DbxBuilder& b) {
         uint32_t top = b.get(0xE4);
         b.put(top + 0x18 + 12, b.get(top + 0x18));  // M5 lists M3 again
       },
       {"M1", "M2", "M3", "M4"}, "listed twice"},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    DbxBuilder b = fiveMessages();
    d.apply(b);
    FakeImportContext& ctx = convert(b.bytes(), 1);
    EXPECT_EQ(subjects(), d.read);
    ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
    EXPECT_NE(prompts.requests[0].text.find("damaged Outlook Express message store"), std::string::npos);
    EXPECT_NE(prompts.requests[0].text.find(d.told), std::string::npos) << prompts.transcript();
    EXPECT_LE(ctx.progressed, int64_t(b.bytes().size()));
  }
  // A chain broken after its first block keeps the text read.
  DbxBuilder b = fiveMessages();
  uint32_t top = b.get(0xE4);
  uint32_t info = b.get(b.get(top + 8) + 0x18 + 12);  // M2
  b.put(b.get(info + 24) + 12, 0x10);
  FakeImportContext& ctx = convert(b.bytes());
  ASSERT_EQ(subjects(), (Subjects{"M1", "M2", "M3", "M4", "M5"}));
  EXPECT_EQ(ctx.emitted[1].MSGTEXT.find_first_not_of('c'), 0x200 - mail("M2", "").size())
      << "the first block's text";
  EXPECT_NE(prompts.transcript().find("message 2: its text block at byte 16 lies inside the store's header"),
            std::string::npos)
      << prompts.transcript();
}

TEST_F(DbxStoreTest, MessagesSharingTheirBlocksDoNotReadTheStoreOverAndOver) {
  // Fifty entries of one long chain: the text read in all stays within the
  // store's size, the rest is told as damage.
  DbxBuilder b;
  uint32_t first = b.text(mail("Shared", std::string(20 * 0x200, 's')))[0];
  std::vector<std::pair<uint32_t, uint32_t>> entries;
  for (int i = 0; i < 50; ++i) entries.push_back({b.info(first), 0});
  b.root(b.node(0, entries), 50);
  FakeImportContext& ctx = convert(b.bytes());
  EXPECT_GE(ctx.emitted.size(), 1u);
  int64_t text = 0;
  for (const auto& o : ctx.originals) text += int64_t(o ? o->size() : 0);
  EXPECT_LE(text, int64_t(b.bytes().size()));
  EXPECT_EQ(ctx.emitted.size() + size_t(ctx.skippedFor[qv::kSkipDamagedInStore]), 50u);
  EXPECT_NE(prompts.transcript().find("holds text of other messages too"), std::string::npos) << prompts.transcript();
  EXPECT_NE(prompts.transcript().find(" more problems"), std::string::npos) << prompts.transcript();
}

TEST_F(DbxStoreTest, MessagesWithoutTextAreCountedAsSkipped) {
  DbxBuilder b;
  uint32_t one = b.info(b.text(mail("One", "text\r\n"))[0]);
  uint32_t headersOnly = b.info(0, false, false);
  uint32_t two = b.info(b.text(mail("Two", "text\r\n"))[0]);
  b.root(b.node(0, {{one, 0}, {headersOnly, 0}, {two, 0}}), 3);
  FakeImportContext& ctx = convert(b.bytes());
  EXPECT_EQ(subjects(), (Subjects{"One", "Two"}));
  EXPECT_EQ(ctx.skippedFor[qv::kSkipNoTextInStore], 1);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(DbxStoreTest, StoresWhoseHeaderOrRootIsUnreadableAreSkipped) {
  DbxBuilder cut;
  cut.bytes().resize(0x80);
  convert(cut.bytes());
  EXPECT_TRUE(ctx_->emitted.empty());
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_NE(prompts.requests[0].text.find("header is cut short"), std::string::npos) << prompts.transcript();

  DbxBuilder lost = fiveMessages();
  lost.put(0xE4, uint32_t(lost.bytes().size()) + 0x1000);
  convert(lost.bytes());
  EXPECT_TRUE(ctx_->emitted.empty());
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_NE(prompts.requests[0].text.find("This file will be skipped"), std::string::npos) << prompts.transcript();

  // A count in the header that the index does not bear out is told.
  DbxBuilder miscounted = fiveMessages();
  miscounted.put(0xC4, 7);
  convert(miscounted.bytes());
  EXPECT_EQ(ctx_->emitted.size(), 5u);
  EXPECT_NE(prompts.transcript().find("header counts 7 messages, its index lists 5"), std::string::npos)
      << prompts.transcript();
}

TEST_F(DbxStoreTest, NewsStoresGiveTheirArticles) {
  auto article = [](const std::string& id, const std::string& subject, const std::string& body) {
    return "Path: news.example.com!not-for-mail\r\nNewsgroups: comp.test\r\nFrom: Ann <ann@example.com>\r\n"
           "Subject: " + subject + "\r\nDate: Sat, 06 Mar 2004 21:39:44 -0800\r\nMessage-ID: " + id +
           "\r\n\r\n" + body;
  };
  DbxBuilder b;
  std::string one = article("<1@x>", "one", "Body one.\r\n");
  // A body whose line ends fall across the seams of blocks, a CR at the
  // end of one block and its LF at the start of the next among them.
  std::string two = article("<2@x>", "two", "");
  std::string body(0x1FF - two.size(), 'a');
  body += "\r\nsecond line\r\n" + std::string(700, 'x') + "\r\nlast\r\n";
  two += body;
  // A line longer than any piece the article takes at once.
  std::string three = article("<3@x>", "three", std::string(70000, 'y') + "\r\n");
  uint32_t first = b.info(b.text(one)[0]);
  uint32_t headersOnly = b.info(0, false, false);
  uint32_t second = b.info(b.text(two)[0]);
  uint32_t third = b.info(b.text(three)[0]);
  b.root(b.node(0, {{first, 0}, {headersOnly, 0}, {second, 0}, {third, 0}}), 4);
  for (std::string format : {"Outlook Express News", "IE News"}) {
    SCOPED_TRACE(format);
    FakeImportContext& ctx = convert(b.bytes(), 1, format);
    ASSERT_EQ(subjects(), (Subjects{"one", "two", "three"})) << prompts.transcript();
    EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
    EXPECT_EQ(ctx.emitted[0].MSGTEXT, "Body one.\r\n");
    EXPECT_EQ(ctx.emitted[1].MSGTEXT, body);
    ASSERT_EQ(ctx.originals.size(), 3u);
    EXPECT_EQ(*ctx.originals[0], one);
    EXPECT_EQ(*ctx.originals[1], two);
    EXPECT_EQ(*ctx.originals[2], three);
    EXPECT_EQ(ctx.emitted[2].MSGTEXT.substr(0, 100), std::string(100, 'y'));
    EXPECT_EQ(ctx.skippedFor[qv::kSkipNoTextInStore], 1);
  }
  // The folder list is no news store either.
  convert(DbxBuilder("\xC6\xFD\x74\x6F").bytes(), 1, "Outlook Express News");
  EXPECT_TRUE(ctx_->emitted.empty());
  EXPECT_NE(prompts.transcript().find("Folders.dbx"), std::string::npos) << prompts.transcript();
}

}  // namespace
