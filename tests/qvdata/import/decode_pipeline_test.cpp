// The mail decoding pipeline: messages come out in the order they went in,
// decoded as convertMail decodes them, whether a worker decodes them or not;
// the queue holds a bounded number of them; a pipeline dropped with messages
// in it stops its worker.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "import/parsers/decode_pipeline.h"

using namespace qv;
using namespace qv::mail;

namespace {

std::string message(int i) {
  return "From: Sender " + std::to_string(i) + " <s" + std::to_string(i) +
         "@example.org>\nTo: r@example.org\nSubject: =?UTF-8?B?w6l0w6k=?= number " + std::to_string(i) +
         "\nContent-Type: text/html; charset=iso-8859-1\n\n<p>caf\xe9 " + std::to_string(i) + "</p>\n";
}

std::unique_ptr<MailJob> job(int i, bool wanted = true) {
  auto j = std::make_unique<MailJob>();
  j->raw = message(i);
  j->original = j->raw;
  j->wanted = wanted;
  j->progress = i;
  return j;
}

void checkInOrder(bool threaded) {
  DecodePipeline p(threaded);
  const int kCount = 500;
  int put = 0, taken = 0;
  while (taken < kCount) {
    while (put < kCount && p.room()) {
      p.put(job(put, put % 7 != 0));
      ++put;
    }
    std::unique_ptr<MailJob> j = p.take();
    ASSERT_NE(j, nullptr);
    EXPECT_EQ(j->progress, taken);
    mime::DecodedMessage expected = decodeMail(message(taken), nullptr, Flavour::Internet);
    mime::DecodedMessage d = DecodePipeline::decoded(*j);
    EXPECT_EQ(d.subject, expected.subject);
    EXPECT_EQ(d.text, expected.text);
    ASSERT_TRUE(j->original.has_value());
    EXPECT_EQ(*j->original, message(taken));
    ++taken;
  }
  EXPECT_TRUE(p.empty());
  EXPECT_EQ(p.take(), nullptr);
}

TEST(DecodePipeline, MessagesComeOutInOrderDecodedWithAWorker) { checkInOrder(true); }

TEST(DecodePipeline, MessagesComeOutInOrderDecodedWithoutAWorker) { checkInOrder(false); }

TEST(DecodePipeline, WithoutAWorkerOneMessageAtATime) {
  DecodePipeline p(false);
  EXPECT_TRUE(p.room());
  p.put(job(1));
  EXPECT_FALSE(p.room());
  ASSERT_NE(p.take(), nullptr);
  EXPECT_TRUE(p.room());
}

TEST(DecodePipeline, TheQueueHoldsABoundedNumberOfMessages) {
  DecodePipeline p(true);
  size_t in = 0;
  while (p.room()) {
    p.put(job(int(in)));
    ++in;
  }
  EXPECT_EQ(in, DecodePipeline::kMaxJobs);

  DecodePipeline big(true);
  auto large = std::make_unique<MailJob>();
  large->raw.assign(DecodePipeline::kMaxBytes, 'x');
  EXPECT_TRUE(big.room());
  big.put(std::move(large));
  EXPECT_FALSE(big.room()) << "one message of the byte limit fills the queue";
}

TEST(DecodePipeline, DroppedWithMessagesInItStopsItsWorker) {
  for (int round = 0; round < 20; ++round) {
    auto p = std::make_unique<DecodePipeline>(true);
    for (int i = 0; p->room(); ++i) p->put(job(i));
    if (round % 2) p->take();
    p.reset();  // joins the worker
  }
  SUCCEED();
}

}  // namespace
