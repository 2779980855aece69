// Originals packed on the packing thread come back in the order they went
// in, each exactly as packing it on the caller's thread gives it, however
// small the queue; a queue dropped with work in it stops cleanly.
#include "originals/pack_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "originals/original_dictionary.h"

namespace {

using namespace qv;

std::string original(int n) {
  std::string s =
      "From: sender" + std::to_string(n % 5) + "@example.org\r\nSubject: note " + std::to_string(n) + "\r\n\r\n";
  uint32_t x = uint32_t(n) * 2654435761u + 7;
  for (int i = 0; i < 40 + n % 300; ++i) {
    x = x * 1103515245 + 12345;
    s += "word" + std::to_string((x >> 16) % 50) + (i % 12 == 11 ? "\r\n" : " ");
  }
  return s;
}

PackWork workFor(int n) {
  switch (n % 3) {
    case 0:
      return PackWork::Pack;
    case 1:
      return PackWork::Hash;
    default:
      return PackWork::Nothing;
  }
}

// Puts `count` items through a queue of the given bounds, taking what is done
// as it goes (as the import does), and checks every result against the same
// work done here.
void runThrough(size_t maxBytes, size_t maxItems, int count, std::shared_ptr<const OriginalDictionary> dictionary) {
  OriginalPackQueue queue(maxBytes, maxItems);
  std::vector<PackItem> out;
  PackItem done;
  for (int n = 0; n < count; ++n) {
    PackItem item;
    item.tag = uint64_t(n) << 32 | uint32_t(n * 3);
    item.mark = uint32_t(n % 7);
    item.work = workFor(n);
    if (item.work != PackWork::Nothing) item.bytes = original(n);
    if (n % 2 == 0) item.dictionary = dictionary;
    queue.put(std::move(item));
    while (queue.take(done, false)) out.push_back(std::move(done));
  }
  while (queue.take(done, true)) out.push_back(std::move(done));
  EXPECT_EQ(queue.size(), 0u);
  ASSERT_EQ(out.size(), size_t(count));
  for (int n = 0; n < count; ++n) {
    const PackItem& item = out[size_t(n)];
    ASSERT_EQ(item.tag, uint64_t(n) << 32 | uint32_t(n * 3)) << n;
    EXPECT_EQ(item.mark, uint32_t(n % 7));
    EXPECT_TRUE(item.bytes.empty());
    std::string bytes = original(n);
    switch (workFor(n)) {
      case PackWork::Nothing:
        EXPECT_TRUE(item.packed.hash.empty()) << n;
        break;
      case PackWork::Hash:
        EXPECT_EQ(item.packed.hash, originalHash(bytes));
        EXPECT_EQ(item.packed.packing, PackStored);
        EXPECT_EQ(item.packed.data, bytes);
        break;
      case PackWork::Pack: {
        PackedOriginal here = packOriginal(bytes, n % 2 == 0 ? dictionary.get() : nullptr);
        EXPECT_EQ(item.packed.hash, here.hash);
        EXPECT_EQ(item.packed.size, here.size);
        EXPECT_EQ(item.packed.packing, here.packing);
        EXPECT_EQ(item.packed.data, here.data) << n;
        std::string back;
        ASSERT_TRUE(unpackBytes(item.packed.data, item.packed.packing, item.packed.size, back, dictionary.get()));
        EXPECT_EQ(back, bytes);
        break;
      }
    }
  }
}

TEST(OriginalPackQueue, GivesBackEveryItemInOrderPackedAsOnTheCallersThread) {
  std::vector<std::string> samples;
  for (int n = 1000; n < 1300; ++n) samples.push_back(original(n));
  std::shared_ptr<const OriginalDictionary> dictionary = OriginalDictionary::train(samples);
  ASSERT_NE(dictionary, nullptr);
  runThrough(OriginalPackQueue::kDefaultMaxBytes, OriginalPackQueue::kDefaultMaxItems, 2000, dictionary);
  // One item at a time, and a byte bound smaller than any original (each
  // then goes in alone).
  runThrough(OriginalPackQueue::kDefaultMaxBytes, 1, 300, dictionary);
  runThrough(16, 64, 300, nullptr);
}

TEST(OriginalPackQueue, ItemsWithoutWorkKeepTheirPlaceBetweenPackedOnes) {
  OriginalPackQueue queue;
  PackItem first;
  first.tag = 1;
  queue.put(std::move(first));  // no work: done at once, no thread needed
  PackItem packed;
  packed.tag = 2;
  packed.work = PackWork::Pack;
  packed.bytes = original(5);
  queue.put(std::move(packed));
  PackItem last;
  last.tag = 3;
  queue.put(std::move(last));
  std::vector<uint64_t> order;
  PackItem out;
  while (queue.take(out, true)) order.push_back(out.tag);
  EXPECT_EQ(order, (std::vector<uint64_t>{1, 2, 3}));
  EXPECT_FALSE(queue.take(out, false));
}

// The threads of this process.
size_t threadCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// The threads of this process once a thread joined has also left the
// kernel's list, which it does a moment after the join returns: `expected`,
// or what is there after a second (a thread left running never leaves).
size_t threadCountSettled(size_t expected) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  size_t n = threadCount();
  while (n != expected && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    n = threadCount();
  }
  return n;
}

std::atomic<int> itemsWorked{0};
void countWork(const PackItem& item) {
  if (item.work != PackWork::Nothing) ++itemsWorked;
}

TEST(OriginalPackQueue, DroppedWithWorkInItStopsCleanly) {
  size_t threadsBefore = threadCount();
  setPackFaultHook(&countWork);
  for (int round = 0; round < 20; ++round) {
    int workedBefore = itemsWorked;
    {
      OriginalPackQueue queue(1 << 20, 8);
      for (int n = 0; n < 8; ++n) {
        PackItem item;
        item.work = PackWork::Pack;
        item.bytes = original(n + round);
        queue.put(std::move(item));
      }
      EXPECT_EQ(queue.size(), 8u);
    }
    // The worker is gone with the queue, and nothing of what was dropped is
    // worked on after it.
    EXPECT_EQ(threadCountSettled(threadsBefore), threadsBefore) << "round " << round;
    int workedAtDrop = itemsWorked;
    EXPECT_LE(workedAtDrop - workedBefore, 8);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(itemsWorked, workedAtDrop) << "round " << round;
  }
  setPackFaultHook(nullptr);
}

void failSecond(const PackItem& item) {
  if (item.tag == 2) throw std::bad_alloc();
}

TEST(OriginalPackQueue, WhatTheWorkThrewIsThrownByTakeInItsPlace) {
  setPackFaultHook(&failSecond);
  OriginalPackQueue queue;
  for (uint64_t tag = 1; tag <= 3; ++tag) {
    PackItem item;
    item.tag = tag;
    item.work = PackWork::Pack;
    item.bytes = original(int(tag));
    queue.put(std::move(item));
  }
  PackItem out;
  ASSERT_TRUE(queue.take(out, true));
  EXPECT_EQ(out.tag, 1u);
  EXPECT_THROW(queue.take(out, true), std::bad_alloc);
  ASSERT_TRUE(queue.take(out, true));
  EXPECT_EQ(out.tag, 3u);
  EXPECT_EQ(out.packed.hash, originalHash(original(3)));
  EXPECT_FALSE(queue.take(out, false));
  setPackFaultHook(nullptr);
}

}  // namespace
