// The dictionary a database packs its originals with: trained from its first
// originals, stored once, named by each frame packed with it. Originals packed
// with and without one read back byte for byte; a damaged or missing
// dictionary reads as a clear error, never as other bytes, and the check
// reports it. An import trains one for a database that has none.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "originals/original_dictionary.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "storage/errors.h"
#include "support/generated_sources.h"
#include "support/mail_import.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace qv;

// Mails that share their header lines and draw their words from a small
// list, as the mail of one mailbox does.
std::string mail(int n) {
  static const char* kWords[] = {"meeting", "report",  "tomorrow", "budget", "please", "review",
                                 "attached", "project", "thanks",   "regards", "draft", "numbers"};
  uint32_t x = uint32_t(n) * 2654435761u + 1;
  std::string s = "Return-Path: <sender" + std::to_string(n % 7) + "@example.org>\r\n" +
                  "Received: from mail.example.org (mail.example.org [192.0.2.1])\r\n" +
                  "\tby mx.example.net with ESMTP id " + std::to_string(x) + "\r\n" +
                  "From: Sender " + std::to_string(n % 7) + " <sender" + std::to_string(n % 7) + "@example.org>\r\n" +
                  "To: Mary Owner <mary@owner.example>\r\nSubject: note " + std::to_string(n) +
                  "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n";
  for (int i = 0; i < 60; ++i) {
    x = x * 1103515245 + 12345;
    s += kWords[(x >> 16) % 12];
    s += i % 10 == 9 ? "\r\n" : " ";
  }
  return s;
}

std::vector<std::string> mails(int from, int count) {
  std::vector<std::string> m;
  for (int i = from; i < from + count; ++i) m.push_back(mail(i));
  return m;
}

TEST(OriginalDictionaryTraining, NeedsEnoughSamplesAndGivesTheSameDictionaryAgain) {
  EXPECT_EQ(OriginalDictionary::train(mails(0, int(kDictionaryMinSamples) - 1)), nullptr);
  auto d = OriginalDictionary::train(mails(0, 300));
  ASSERT_NE(d, nullptr);
  EXPECT_LE(d->bytes().size(), kDictionaryMaxBytes);
  EXPECT_EQ(d->id(), dictionaryIdFor(d->bytes()));
  EXPECT_EQ(OriginalDictionary::train(mails(0, 300))->bytes(), d->bytes());

  // Packed with it, a mail is smaller than packed alone, and comes back.
  std::string m = mail(5000);
  PackedOriginal with = packOriginal(m, d.get());
  PackedOriginal without = packOriginal(m);
  EXPECT_EQ(with.packing, PackZstdDictionary);
  EXPECT_EQ(frameDictionaryId(with.data), d->id());
  EXPECT_LT(with.data.size(), without.data.size());
  EXPECT_EQ(with.hash, without.hash);
  std::string back;
  ASSERT_TRUE(unpackBytes(with.data, with.packing, with.size, back, d.get()));
  EXPECT_EQ(back, m);
  // Without its dictionary, or with another one, the frame does not unpack.
  EXPECT_FALSE(unpackBytes(with.data, with.packing, with.size, back));
  auto other = OriginalDictionary::train(mails(1000, 300));
  ASSERT_NE(other, nullptr);
  ASSERT_NE(other->id(), d->id());
  EXPECT_FALSE(unpackBytes(with.data, with.packing, with.size, back, other.get()));
  EXPECT_TRUE(back.empty());
}

TEST(OriginalDictionaryTraining, DamagedBytesAreNoDictionary) {
  auto d = OriginalDictionary::train(mails(0, 250));
  ASSERT_NE(d, nullptr);
  EXPECT_NE(OriginalDictionary::fromBytes(d->bytes()), nullptr);
  for (size_t at : {size_t(2), size_t(5), d->bytes().size() / 2, d->bytes().size() - 1}) {
    std::string damaged = d->bytes();
    damaged[at] ^= 0x20;
    EXPECT_EQ(OriginalDictionary::fromBytes(damaged), nullptr) << at;
  }
  EXPECT_EQ(OriginalDictionary::fromBytes(d->bytes().substr(0, 100)), nullptr);
  EXPECT_EQ(OriginalDictionary::fromBytes(""), nullptr);
  EXPECT_EQ(dictionaryRowId(dictionaryRowName(d->id())), d->id());
  EXPECT_EQ(dictionaryRowId("dictionary x1"), 0u);
  EXPECT_FALSE(isDictionaryRow(std::string(64, 'd')));
}

class OriginalsWithDictionary : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    selectDatabase(7, KindMailDb);
    ASSERT_TRUE(setKeepOriginals(KindMailDb, true, ReportQuiet));
    dictionary = OriginalDictionary::train(mails(0, 300));
    ASSERT_NE(dictionary, nullptr);
  }
  template <typename Fn>
  bool inTransaction(Fn fn) {
    OP_CLOSE(OpShared, {FileOriginals});
    bool ok = beginTransaction({&Originals}, 5) && fn() && commitTransaction();
    if (transactionActive()) rollbackTransaction();
    OP_CLOSE(OpRelease, {FileOriginals});
    return ok;
  }
  // Mails 900.. packed without the dictionary (written before it was
  // there), 950.. with it.
  void writeBoth() {
    for (uint32_t id = 900; id < 905; ++id) {
      addMail(id);
      ASSERT_TRUE(inTransaction([&] { return writeOriginal(id, packOriginal(mail(int(id))), ReportQuiet); }));
    }
    for (uint32_t id = 950; id < 955; ++id) {
      addMail(id);
      ASSERT_TRUE(inTransaction([&] {
        return writeDictionary(*dictionary, ReportQuiet) &&
               writeOriginal(id, packOriginal(mail(int(id)), dictionary.get()), ReportQuiet);
      }));
    }
  }
  void addMail(uint32_t id) {
    OP_CLOSE(OpShared, {FileMail});
    MAI = MailRec();
    MAI.MAILID = id;
    ASSERT_TRUE(Mail.add());
    OP_CLOSE(OpRelease, {FileMail});
  }
  std::vector<std::string> check() {
    Originals.close();
    OP_CLOSE(OpShared, {FileMail});
    std::vector<std::string> faults = checkOriginals(KindMailDb);
    OP_CLOSE(OpRelease, {FileMail});
    Originals.close();
    return faults;
  }
  // Changes the dictionary's row: `change` gets its DATA.
  template <typename Fn>
  void changeDictionaryRow(Fn change) {
    Originals.close();
    OP_CLOSE(OpShared, {FileOriginals});
    ORI = OriginalsRec();
    ORI.HASH = dictionaryRowName(dictionary->id());
    ASSERT_TRUE(Originals.get(ORI_IdKey));
    change(ORI.DATA);
    ASSERT_TRUE(Originals.put());
    OP_CLOSE(OpRelease, {FileOriginals});
  }
  std::shared_ptr<const OriginalDictionary> dictionary;
};

bool anyHas(const std::vector<std::string>& faults, const std::string& text) {
  return std::any_of(faults.begin(), faults.end(), [&](const std::string& f) { return f.find(text) != std::string::npos; });
}

TEST_F(OriginalsWithDictionary, OldAndNewRowsReadBackByteForByte) {
  writeBoth();
  Originals.close();
  for (uint32_t id : {900u, 904u, 950u, 954u}) EXPECT_EQ(readOriginal(KindMailDb, id), mail(int(id))) << id;
  EXPECT_EQ(databaseDictionary()->bytes(), dictionary->bytes());
  // Stored once however many transactions wrote it; the check counts it as
  // no content.
  OP_CLOSE(OpShared, {FileOriginals});
  int dictionaries = 0, packedWith = 0;
  Originals.setFileOrder();
  while (Originals.next()) {
    if (isDictionaryRow(ORI.HASH.view())) ++dictionaries;
    if (ORI.MSGID == 0 && ORI.PACKING == PackZstdDictionary) ++packedWith;
  }
  OP_CLOSE(OpRelease, {FileOriginals});
  EXPECT_EQ(dictionaries, 1);
  EXPECT_EQ(packedWith, 5);
  EXPECT_EQ(check(), std::vector<std::string>());
}

TEST_F(OriginalsWithDictionary, DamagedDictionaryIsAnErrorAndTheCheckSaysSo) {
  writeBoth();
  changeDictionaryRow([](std::string& data) { data[data.size() / 2] ^= 0x01; });
  Originals.close();
  std::string damage;
  EXPECT_FALSE(readOriginal(KindMailDb, 952, &damage).has_value());
  EXPECT_NE(damage.find("dictionary " + std::to_string(dictionary->id())), std::string::npos) << damage;
  EXPECT_NE(ErrorText().find("dictionary " + std::to_string(dictionary->id())), std::string::npos) << ErrorText();
  // The originals packed without it are untouched; a mail without an
  // original is no damage.
  EXPECT_EQ(readOriginal(KindMailDb, 902, &damage), mail(902));
  EXPECT_TRUE(damage.empty());
  EXPECT_FALSE(readOriginal(KindMailDb, 4242, &damage).has_value());
  EXPECT_TRUE(damage.empty()) << damage;
  std::vector<std::string> faults = check();
  EXPECT_TRUE(anyHas(faults, "the dictionary " + std::to_string(dictionary->id()) + " is damaged"));
  EXPECT_EQ(std::count_if(faults.begin(), faults.end(),
                          [](const std::string& f) { return f.find("which is damaged") != std::string::npos; }),
            5);
}

TEST_F(OriginalsWithDictionary, MissingDictionaryIsAnErrorAndTheCheckSaysSo) {
  writeBoth();
  Originals.close();
  OP_CLOSE(OpShared, {FileOriginals});
  ORI = OriginalsRec();
  ORI.HASH = dictionaryRowName(dictionary->id());
  ASSERT_TRUE(Originals.get(ORI_IdKey));
  ASSERT_TRUE(Originals.remove());
  OP_CLOSE(OpRelease, {FileOriginals});
  Originals.close();
  EXPECT_FALSE(readOriginal(KindMailDb, 950).has_value());
  EXPECT_NE(ErrorText().find("missing or damaged"), std::string::npos) << ErrorText();
  EXPECT_EQ(readOriginal(KindMailDb, 900), mail(900));
  std::vector<std::string> faults = check();
  EXPECT_EQ(faults.size(), 5u);
  EXPECT_TRUE(anyHas(faults, "which is missing"));
}

TEST_F(OriginalsWithDictionary, ADictionaryOfAnotherSizeIsDamagedToo) {
  writeBoth();
  changeDictionaryRow([](std::string& data) { data += "tail"; });
  Originals.close();
  EXPECT_FALSE(readOriginal(KindMailDb, 951).has_value());
  EXPECT_TRUE(anyHas(check(), "is damaged"));
}

// End to end: an import into a mailbox without a dictionary trains one from
// the first mails and packs them all with it; a later import uses it.
class DictionaryImported : public qvtest::MailImportTest {};

TEST_F(DictionaryImported, ImportTrainsOnceAndEveryOriginalComesBack) {
  qvtest::TempDir sources;
  std::string first = sources.file("first.mbx"), second = sources.file("second.mbx");
  std::ofstream(first, std::ios::binary) << qvtest::generatedMbox(260, kOwnerAddress);
  std::ofstream(second, std::ios::binary) << qvtest::generatedMbox(330, kOwnerAddress);
  ASSERT_EQ(importFiles("Unix Mail", {first}), 1) << prompts.transcript();
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  auto d = databaseDictionary();
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(importFiles("Unix Mail", {second}), 1) << prompts.transcript();
  std::vector<qvtest::StoredMail> all = stored();
  ASSERT_GE(all.size(), 260u);
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  EXPECT_EQ(databaseDictionary()->bytes(), d->bytes());
  for (const auto& m : all) EXPECT_TRUE(readOriginal(KindMailDb, m.id).has_value()) << m.id;
  Originals.close();
  OP_CLOSE(OpShared, {FileMail, FileOriginals});
  int dictionaries = 0, packedWith = 0, contents = 0;
  Originals.setFileOrder();
  while (Originals.next()) {
    if (ORI.MSGID != 0 || ORI.HASH.blank()) continue;
    if (isDictionaryRow(ORI.HASH.view())) {
      ++dictionaries;
      continue;
    }
    ++contents;
    if (ORI.PACKING == PackZstdDictionary) ++packedWith;
  }
  EXPECT_EQ(dictionaries, 1);
  EXPECT_EQ(packedWith, contents);
  EXPECT_EQ(checkOriginals(KindMailDb), std::vector<std::string>());
  OP_CLOSE(OpRelease, {FileMail, FileOriginals});
}

TEST_F(DictionaryImported, FewMailsGiveNoDictionary) {
  qvtest::TempDir sources;
  std::string file = sources.file("few.mbx");
  std::ofstream(file, std::ios::binary) << qvtest::generatedMbox(40, kOwnerAddress);
  ASSERT_EQ(importFiles("Unix Mail", {file}), 1) << prompts.transcript();
  ASSERT_TRUE(qv::selectDatabase(mailbox));
  EXPECT_EQ(databaseDictionary(), nullptr);
  for (const auto& m : stored()) EXPECT_TRUE(readOriginal(KindMailDb, m.id).has_value()) << m.id;
}

}  // namespace
