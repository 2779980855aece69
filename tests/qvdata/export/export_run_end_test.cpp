// What ends an address-book or message export early, as the engine base
// ends every run: a halt in a slice ends the run failed, removes the part
// of the address book written so far, lets go of the files and goes on to
// the caller; a working queue that cannot grow fails the run, told once;
// a run cancelled before its first slice writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <optional>
#include <string>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "export/address_entries.h"
#include "export/address_export.h"
#include "export/copy_msg.h"
#include "export/export_names.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "support/browse_records.h"
#include "support/services_fixture.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

constexpr const char* kHaltText = "Program aborted!";

class ExportRunEndTest : public qvtest::InstallationTest {
 protected:
  // A forum database with `count` persons, each with an address.
  void persons(int count) {
    ASSERT_NE(qvtest::makeBrowseDatabase(KindForumDb, "Run End Forum"), 0u);
    OP_CLOSE(OpShared, {FilePerson});
    bool ok = Person.stream();
    for (int i = 0; ok && i < count; ++i) {
      PER = PersonRec();
      PER.PERSONID = 700000 + uint32_t(i);
      PER.PERSONSTRING = "F L" + std::to_string(i);
      PER.FIRSTNAME = "F";
      PER.LASTNAME = "L" + std::to_string(i);
      PER.ADDRESS = std::to_string(i) + ",1";
      ok = Person.add();
    }
    ok = Person.flush() && ok;
    OP_CLOSE(OpRelease, {FilePerson});
    ASSERT_TRUE(ok);
  }

  // A forum database with `count` messages in one thread.
  void messages(int count) {
    ASSERT_NE(qvtest::makeBrowseDatabase(KindForumDb, "Run End Forum"), 0u);
    ASSERT_TRUE(qvtest::addPerson(1, "Ann", "Lee", 1, 0, "11111,222"));
    ASSERT_TRUE(qvtest::addSection(10, 1, "General"));
    ASSERT_TRUE(qvtest::addThread(20, 10, "A topic"));
    for (int i = 0; i < count; ++i)
      ASSERT_TRUE(qvtest::addMessageIn(1000 + uint32_t(i), 20, 10, "A topic", 1, 0, 100 + i,
                                       "Text " + std::to_string(i) + "."));
  }

  std::string bookPath() { return joinPath({Mem.TempDir, "Address.Txt"}); }
  std::string partPath() { return joinPath({Mem.TempDir, ".~Address.Txt.part"}); }
};

TEST_F(ExportRunEndTest, AHaltInAnAddressSliceRemovesThePartAndKeepsTheOlderBook) {
  persons(1200);
  fs::create_directories(Mem.TempDir);
  qvtest::writeFile(bookPath(), "older book\r\n");
  AddressRun run(AddressTapcis, "");
  bool halted = false;
  run.onProgress([&](const AddressView& v) {
    if (v.read > 0 && !halted) {
      halted = true;
      Halt(kHaltText);
    }
  });
  std::optional<std::string> text = qvtest::haltText([&] {
    while (run.step()) {
    }
  });
  ASSERT_TRUE(text.has_value()) << "the halt did not reach the caller";
  EXPECT_EQ(*text, kHaltText);
  EXPECT_EQ(run.result(), AddressFailed);
  EXPECT_EQ(run.failure(), kHaltText);
  EXPECT_FALSE(run.status().ok());
  EXPECT_EQ(run.view().read, kAddressSlice) << "the halt came after the first slice of persons";
  EXPECT_EQ(qvtest::readFile(bookPath()), "older book\r\n");
  EXPECT_FALSE(fs::exists(partPath()));
  EXPECT_EQ(useCount(FilePerson), 0) << "Person is let go";
  EXPECT_FALSE(run.step()) << "the run stays ended";
}

TEST_F(ExportRunEndTest, AnAddressRunWhoseQueueCannotGrowFailsAndIsToldOnce) {
  persons(600);
  bool thrown = false;
  prompts.reset();
  int result = CopyAddress(AddressTapcis, "", [&](const AddressView& v) {
    if (v.read > 0 && !thrown) {
      thrown = true;
      throw std::bad_alloc();
    }
  });
  EXPECT_EQ(result, AddressFailed);
  EXPECT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_FALSE(fs::exists(bookPath()));
  EXPECT_FALSE(fs::exists(partPath()));
  EXPECT_EQ(useCount(FilePerson), 0);
}

TEST_F(ExportRunEndTest, AnAddressRunCancelledBeforeItsFirstSliceWritesNothing) {
  persons(3);
  AddressRun run(AddressTapcis, "");
  run.cancel();
  EXPECT_EQ(run.result(), AddressCancelled);
  EXPECT_FALSE(run.step());
  EXPECT_FALSE(run.start());
  EXPECT_EQ(run.result(), AddressCancelled);
  EXPECT_FALSE(fs::exists(bookPath()));
  EXPECT_EQ(useCount(FilePerson), 0);
}

TEST_F(ExportRunEndTest, AHaltInAMessageExportSliceEndsItFailedWithItsFilesLetGo) {
  messages(120);
  CopyRequest r;
  r.scope = 12;
  CopyRun run(r);
  int reports = 0;
  run.onProgress([&](const CopyView& v) {
    ++reports;
    if (v.written == 50) Halt(kHaltText);
  });
  std::optional<std::string> text = qvtest::haltText([&] {
    while (run.step()) {
    }
  });
  ASSERT_TRUE(text.has_value()) << "the halt did not reach the caller";
  EXPECT_EQ(*text, kHaltText);
  EXPECT_EQ(run.result(), CopyFailed);
  EXPECT_EQ(run.status().text(), kHaltText);
  EXPECT_EQ(run.view().written, 50);
  EXPECT_FALSE(run.view().collecting);
  EXPECT_EQ(reports, 2) << "the end is reported once more";
  EXPECT_EQ(useCount(FileMsgNmbr), 0) << "the set's files are let go";
  EXPECT_FALSE(LineFile.isOpen());
  EXPECT_FALSE(run.step()) << "the run stays ended";
}

TEST_F(ExportRunEndTest, AMessageExportWhoseQueueCannotGrowFails) {
  messages(60);
  CopyRequest r;
  r.scope = 12;
  bool thrown = false;
  prompts.reset();
  EXPECT_EQ(CopyMsg(r,
                    [&](const CopyView&) {
                      if (!thrown) {
                        thrown = true;
                        throw std::bad_alloc();
                      }
                    }),
            CopyFailed);
  EXPECT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(useCount(FileMsgNmbr), 0);
}

}  // namespace
