// The converter's engine on generated installations: what each version is
// offered, the minor upgrade, the preparation's checks and the steps'
// rules, and the header removal of stored mail texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "conv_files.h"
#include "conv_headers.h"
#include "conv_install.h"
#include "conv_run.h"
#include "dictionary/config_files.h"
#include "dictionary/database_files.h"
#include "old_files.h"
#include "old_installation.h"
#include "services/disk_space.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "services/installation.h"
#include "services/topics.h"
#include "support/run_process.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qvconv;
using namespace qvtest;

namespace {

class ConvTest : public ServicesTest {
 protected:
  std::string root() const { return dir.path(); }
  ConvState convert() {
    ConvRun run(inspect(root()));
    run.onStatus([this](const std::string& s) { statuses.push_back(s); });
    EXPECT_TRUE(run.start());
    return runToEnd(run);
  }
  // The records of the database list at `path` (current layout): name -> record.
  std::map<std::string, qv::ForumsRec> databaseList(const std::string& path) {
    std::map<std::string, qv::ForumsRec> out;
    EXPECT_TRUE(openExisting(qv::Forums, path)) << qv::ErrorText();
    qv::Forums.setFileOrder();
    while (qv::Forums.next()) out[qv::FOR.DESCRIPTION.str()] = qv::FOR;
    qv::Forums.close();
    return out;
  }
  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (const qv::PromptRequest& r : prompts.requests) out.push_back(r.caption);
    return out;
  }
  TempDir dir;
  std::vector<std::string> statuses;
};

// --- what each version is offered ---

TEST_F(ConvTest, NewInstallationsVersionsFrom360AndVersions330To352OfferOnlyExit) {
  // 0 is a new installation; 370 and later were written by this program or
  // a later one: none of them is stamped back to 3.60.
  for (int version : {0, 360, 370, 399, 330, 340, 352}) {
    TempDir d;
    writeNewLayout(d.path(), version);
    Installation inst = inspect(d.path());
    EXPECT_EQ(inst.version, version);
    EXPECT_FALSE(offersStart(inst)) << version;
    ConvRun run(inst);
    EXPECT_FALSE(run.start()) << version;
    if (version == 0 || version >= 360) {
      EXPECT_EQ(inst.situation, Situation::Upgraded) << version;
      EXPECT_EQ(windowText(inst), "You have already upgraded to version 3.60. If Quorvane does not work properly, run "
                                  "the File|Rebuild process and analyze the log file " +
                                      inst.root + "/CFG/TestDB.Txt");
    } else {
      EXPECT_EQ(windowText(inst), "No need to run a conversion program when upgrading from version 3.30 - 3.52.");
    }
  }
}

// What qvcli init makes is of the current version: the program starts on it
// without resetting anything, and the converter leaves it alone. One whose
// conversion is half done starts nowhere.
TEST_F(ConvTest, AnInstallationMadeByTheCommandLineIsOfTheCurrentVersion) {
  ProcessResult made = runProgram(QVCLI_PROGRAM, {"--root", root(), "init"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  EXPECT_EQ(inspect(root()).situation, Situation::Upgraded);
  std::string error;
  EXPECT_EQ(qv::StartupChecks(root(), error), qv::StartupGo) << error;
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  qv::closeInstallation();
  ASSERT_TRUE(markConversion(root(), qv::kMarkConverting));
  EXPECT_EQ(qv::StartupChecks(root(), error), qv::StartupStop);
  EXPECT_NE(error.find("qvconv --root"), std::string::npos) << error;
  EXPECT_EQ(inspect(root()).situation, Situation::Interrupted);
  ASSERT_TRUE(markConversion(root(), qv::kMarkFinishing));
  EXPECT_EQ(inspect(root()).situation, Situation::Finishing);
  EXPECT_TRUE(offersStart(inspect(root())));
  ASSERT_TRUE(markConversion(root(), ""));
  EXPECT_FALSE(fs::exists(root() + "/" + qv::kConversionMarker));
}

TEST_F(ConvTest, TheWindowTextsNameTheRealPathsAndKeepTheirWordsApart) {
  writeNewLayout(root(), 300);
  Installation inst = inspect(root());
  const std::string cfg = inst.root + "/CFG/";
  EXPECT_NE(windowText(inst).find("will be implemented. There is no need to make a full backup because of this, "
                                  "because the affected files " +
                                  cfg + "IDX002.ADF and " + cfg + "IDX027.ADF will be saved before conversion as " +
                                  cfg + "IDX202.ADF and " + cfg + "IDX227.ADF. If the conversion"),
            std::string::npos)
      << windowText(inst);
  EXPECT_EQ(windowText(inst).find('\\'), std::string::npos);
  TempDir old;
  writeOldInstallation(old.path());
  inst = inspect(old.path());
  EXPECT_NE(windowText(inst).find("some new directories. Please back up your entire"), std::string::npos);
  EXPECT_NE(windowText(inst).find("- creating a " + inst.root + "/CFG and a " + inst.root +
                                  "/TEMP directory below the Quorvane program directory"),
            std::string::npos)
      << windowText(inst);
  EXPECT_EQ(windowText(inst).find('\\'), std::string::npos);
  EXPECT_EQ(ConvRun(inst).status(), "Preparing for conversion");
}

TEST_F(ConvTest, OtherVersionsOfTheNewLayoutOfferTheMinorUpgradeAndTheOldLayoutTheFullConversion) {
  for (int version : {300, 329, 353, 359}) {
    TempDir d;
    writeNewLayout(d.path(), version);
    Installation inst = inspect(d.path());
    EXPECT_EQ(inst.situation, Situation::Minor) << version;
    EXPECT_TRUE(offersStart(inst));
    EXPECT_EQ(windowText(inst).rfind("Your current version is " + versionText(version) +
                                         ". Upgrading to version 3.60 some minor changes",
                                     0),
              0u);
  }
  writeOldInstallation(root());
  Installation inst = inspect(root());
  EXPECT_EQ(inst.situation, Situation::Full);
  EXPECT_TRUE(offersStart(inst));
  EXPECT_NE(windowText(inst).find("Your current version is 2.50. Upgrading to version 3.60 means"), std::string::npos);
  EXPECT_EQ(versionText(352), "3.52");
  // A configuration area that a newer program made beside the old files
  // does not hide them.
  fs::create_directories(root() + "/CFG");
  fs::copy_file(root() + "/IDX008.ADF", root() + "/CFG/IDX008.ADF");
  EXPECT_EQ(inspect(root()).situation, Situation::Full);
  EXPECT_EQ(inspect(dir.file("nothing")).situation, Situation::NoInstallation);
}

// --- the minor upgrade ---

TEST_F(ConvTest, MinorUpgradeWidensTheListsDropsCisAndStoresTheVersion) {
  writeNewLayout(root(), 300);
  EXPECT_EQ(convert(), ConvState::Finished) << prompts.transcript();
  EXPECT_EQ(statuses.front(), "Step 1 of 1");
  EXPECT_EQ(statuses.back(), "Conversion finished!");
  auto list = databaseList(root() + "/CFG/IDX002.ADF");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_TRUE(list.count("IBMPRO"));  // "CIS:" is gone
  ASSERT_TRUE(list.count("Mary Owner"));
  EXPECT_EQ(list["Mary Owner"].PERSONID, kMaryId);  // fields present in both layouts keep their values
  ASSERT_TRUE(openExisting(qv::FileList, root() + "/CFG/IDX027.ADF"));
  ASSERT_TRUE(qv::FileList.next() || (qv::FileList.setFileOrder(), qv::FileList.next()));
  EXPECT_EQ(qv::FLI.FILESPEC.str(), "C:\\CSERVE\\WINCIM\\*.MSG");
  qv::FileList.close();
  for (const char* gone : {"IDX129.ADF", "IDX130.ADF", "IDX202.ADF", "IDX227.ADF"})
    EXPECT_FALSE(fs::exists(root() + "/CFG/" + gone)) << gone;
  EXPECT_EQ(inspect(root()).situation, Situation::Upgraded);
}

TEST_F(ConvTest, MinorUpgradeKeepsADatabaseWhoseNameClashesOnceCisIsGone) {
  writeNewLayout(root(), 300);
  ASSERT_TRUE(openExisting(OldForums40, root() + "/CFG/IDX002.ADF"));
  OF4 = OldForums40Rec();
  OF4.ID = 250005;
  OF4.DESCRIPTION = "IBMPRO";
  OF4.DIRNUMBER = 3;
  OF4.TYPE = 1;
  ASSERT_TRUE(OldForums40.add());
  OldForums40.close();
  EXPECT_EQ(convert(), ConvState::Finished) << prompts.transcript();
  auto list = databaseList(root() + "/CFG/IDX002.ADF");
  ASSERT_EQ(list.size(), 3u);
  ASSERT_TRUE(list.count("IBMPRO"));
  ASSERT_TRUE(list.count("IBMPRO (F3)"));
  EXPECT_EQ(list["IBMPRO"].DIRNUMBER, 1u);
  EXPECT_EQ(list["IBMPRO (F3)"].ID, 250005u);
}

TEST_F(ConvTest, MinorUpgradeStopsOnAListItCannotReadAndKeepsTheVersion) {
  writeNewLayout(root(), 300);
  { std::ofstream(root() + "/CFG/IDX002.ADF", std::ios::trunc) << "not a database list"; }
  EXPECT_EQ(convert(), ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_NE(prompts.requests[0].text.find(root() + "/CFG/IDX002.ADF"), std::string::npos) << prompts.transcript();
  EXPECT_EQ(inspect(root()).version, 300);
}

TEST_F(ConvTest, MinorUpgradeThatCannotSaveTheFileListFailsAndKeepsTheOldLists) {
  writeNewLayout(root(), 300);
  fs::create_directories(root() + "/CFG/IDX227.ADF");  // where the saved copy would go
  EXPECT_EQ(convert(), ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].caption, "Conversion error!");
  EXPECT_TRUE(matchesDeclaration(OldForums40, root() + "/CFG/IDX002.ADF"));
  EXPECT_TRUE(matchesDeclaration(OldFileList, root() + "/CFG/IDX027.ADF"));
  EXPECT_EQ(inspect(root()).situation, Situation::Minor);
}

// --- the preparation and step 1 ---

TEST_F(ConvTest, MissingDirectoryRemovesOnlyThatDefinitionOnOkAndTheConversionGoesOn) {
  writeOldInstallation(root(), {.missingDirectory = true});
  prompts.script(qv::BtnOk);
  EXPECT_EQ(convert(), ConvState::Finished) << prompts.transcript();
  ASSERT_FALSE(prompts.requests.empty());
  EXPECT_EQ(prompts.requests[0].caption, "Warning!");
  EXPECT_EQ(prompts.requests[0].text.rfind("Directory path " + root() + "/F7 does not exist! If you press OK", 0), 0u);
  auto list = databaseList(root() + "/CFG/IDX002.ADF");
  EXPECT_FALSE(list.count("GONE"));
  EXPECT_TRUE(list.count("IBMPRO"));
  EXPECT_TRUE(list.count("MACFORUM"));
  EXPECT_TRUE(list.count("Mary Owner"));
  EXPECT_TRUE(list.count("John Smith"));
}

TEST_F(ConvTest, CancelOnAMissingDirectoryEndsTheConversionWithNothingChanged) {
  writeOldInstallation(root(), {.missingDirectory = true});
  auto before = snapshotTree(root());
  prompts.script(qv::BtnCancel);
  EXPECT_EQ(convert(), ConvState::Failed);
  EXPECT_EQ(snapshotTree(root()), before);
}

TEST_F(ConvTest, TwoMailboxesWithOneOwnerNameStopBeforeAnyFileChangesButTheSavedCopies) {
  writeOldInstallation(root(), {.duplicateOwners = true});
  auto before = snapshotTree(root());
  EXPECT_EQ(convert(), ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].caption, "Setup problem!");
  EXPECT_EQ(prompts.requests[0].text,
            "You have two mailboxes with the same owner name! Please change the owner name of one of them in "
            "MailPartners|Browse Mail Partners before converting.");
  auto after = snapshotTree(root());
  for (const char* saved : {"/SAV002.ADF", "/SAV008.ADF", "/SAV016.ADF"}) {
    ASSERT_TRUE(after.count(root() + saved) || after.count(saved + 1)) << saved;
  }
  for (auto it = after.begin(); it != after.end();)
    it = it->first.find("SAV0") != std::string::npos ? after.erase(it) : std::next(it);
  EXPECT_EQ(after, before);
}

TEST_F(ConvTest, AnEmptyDatabaseListEndsTheConversion) {
  writeOldInstallation(root());
  ASSERT_TRUE(openExisting(OldForums30, root() + "/IDX002.ADF"));
  ASSERT_TRUE(OldForums30.empty());
  OldForums30.close();
  EXPECT_EQ(convert(), ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].text,
            "The Forum file does not contain any records! The databases cannot be converted!");
  EXPECT_EQ(prompts.requests[0].caption, "Conversion error!");
}

TEST_F(ConvTest, ADatabaseWithAFileOfAnotherLayoutIsLeftOutOnlyOnOk) {
  writeOldInstallation(root());
  // F2's person file already in the current layout.
  ASSERT_TRUE(createNew(qv::Person, root() + "/F2/IDX005.ADF"));
  qv::Person.close();
  auto before = snapshotTree(root());
  // Cancel, the default, ends the conversion before anything changes but
  // the saved copies.
  EXPECT_EQ(convert(), ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].caption, "Warning");
  EXPECT_EQ(prompts.requests[0].text,
            "The file IDX005.ADF in the database CIS:MACFORUM does not have the correct format.\r\nThis database will "
            "not be converted and the definition will be removed from the Forum file. If you press Cancel the "
            "conversion will be aborted.\r\n");
  EXPECT_EQ(prompts.requests[0].buttons, unsigned(qv::BtnOk | qv::BtnCancel));
  EXPECT_EQ(prompts.requests[0].defaultButton, qv::BtnCancel);
  auto after = snapshotTree(root());
  for (auto it = after.begin(); it != after.end();)
    it = it->first.find("SAV0") != std::string::npos ? after.erase(it) : std::next(it);
  EXPECT_EQ(after, before);
  // OK leaves the database out.
  prompts.reset();
  prompts.script(qv::BtnOk);
  EXPECT_EQ(convert(), ConvState::Finished) << prompts.transcript();
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_FALSE(databaseList(root() + "/CFG/IDX002.ADF").count("MACFORUM"));
}

TEST_F(ConvTest, AListWrittenByAConversionCutShortSaysToRestoreFirst) {
  // What a conversion killed after it wrote the new list, by a version that
  // kept no marker, leaves: the saved copies beside a list of the new layout.
  writeOldInstallation(root());
  fs::copy_file(root() + "/IDX002.ADF", root() + "/SAV002.ADF");
  fs::copy_file(root() + "/IDX008.ADF", root() + "/SAV008.ADF");
  ASSERT_TRUE(createNew(qv::Forums, root() + "/IDX002.ADF"));
  qv::Forums.close();
  EXPECT_EQ(convert(), ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].text, interruptedText());
  EXPECT_NE(interruptedText().find("qvconv --restore"), std::string::npos);
}

// --- the full conversion ---

TEST_F(ConvTest, FullConversionSplitsTheMailAndConvertsEveryFile) {
  writeOldInstallation(root());
  EXPECT_EQ(convert(), ConvState::Finished) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  for (int n = 1; n <= 7; ++n)
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Step " + std::to_string(n) + " of 7"), statuses.end());
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "IBMPRO - converting person file!"), statuses.end());
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), " Removing mail Internet headers!"), statuses.end());

  Installation inst = inspect(root());
  EXPECT_EQ(inst.situation, Situation::Upgraded);
  EXPECT_EQ(inst.tempDir, root() + "/TEMP");
  auto list = databaseList(root() + "/CFG/IDX002.ADF");
  ASSERT_EQ(list.size(), 4u);
  const qv::ForumsRec mary = list["Mary Owner"], john = list["John Smith"];
  EXPECT_EQ(mary.DIRNUMBER, 3u);  // the old mail directory stays the first mailbox's
  EXPECT_EQ(mary.ID, 250003u);
  EXPECT_EQ(mary.TYPE, 2);
  EXPECT_EQ(mary.PERSONID, kMaryId);
  EXPECT_EQ(mary.MSGCOUNT, 3u);
  EXPECT_EQ(john.DIRNUMBER, 4u);  // the next free directory
  EXPECT_GE(john.ID, 300000u);
  EXPECT_EQ(john.PERSONID, kJohnId);
  EXPECT_EQ(john.MSGCOUNT, 2u);
  EXPECT_EQ(list["IBMPRO"].MSGCOUNT, 3u);

  // Mail split by mailbox, with texts.
  auto mailIds = [&](uint32_t dirNumber) {
    std::set<uint32_t> ids;
    EXPECT_TRUE(openExisting(qv::Mail, root() + "/F" + std::to_string(dirNumber) + "/IDX013.ADF"));
    qv::Mail.setFileOrder();
    while (qv::Mail.next()) ids.insert(qv::MAI.MAILID);
    qv::Mail.close();
    return ids;
  };
  EXPECT_EQ(mailIds(3), (std::set<uint32_t>{kMailDateHeader, kMailGreeting, kMailHtml}));
  EXPECT_EQ(mailIds(4), (std::set<uint32_t>{kMailJohn, kMailReceived}));
  auto text = [&](uint32_t dirNumber, uint32_t id) {
    EXPECT_TRUE(openExisting(qv::MsgText, root() + "/F" + std::to_string(dirNumber) + "/IDX004.ADF"));
    qv::TXT.MSGNUMBER = id;
    std::string t = qv::MsgText.get(qv::TXT_IdKey) ? qv::TXT.MsgText : "(none)";
    qv::MsgText.close();
    return t;
  };
  EXPECT_EQ(text(3, kMailDateHeader), "Hi Mary,\r\nthe garden is blooming.\r\n");
  EXPECT_EQ(text(3, kMailGreeting), kGreetingText);
  EXPECT_EQ(text(3, kMailHtml), std::string("Plain newsletter text.\r\n") + kHtmlStripped + "\r\n");
  EXPECT_EQ(text(4, kMailReceived), "Sunday is fine.\r\n");
  EXPECT_EQ(text(4, kMailJohn), "Hi John,\r\nshall we go fishing on Sunday?\r\n");

  // Persons: the owner first, those with mail in the mailbox, counted.
  auto persons = [&](uint32_t dirNumber) {
    std::map<uint32_t, qv::PersonRec> out;
    EXPECT_TRUE(openExisting(qv::Person, root() + "/F" + std::to_string(dirNumber) + "/IDX005.ADF"));
    qv::Person.setFileOrder();
    while (qv::Person.next()) out[qv::PER.PERSONID] = qv::PER;
    qv::Person.close();
    return out;
  };
  auto maryPersons = persons(3), johnPersons = persons(4);
  EXPECT_EQ(maryPersons.size(), 2u);  // Mary and Alice; Carl has no mail
  EXPECT_EQ(maryPersons[kAliceId].FROMCOUNT, 2u);
  EXPECT_EQ(maryPersons[kAliceId].TOCOUNT, 1u);
  EXPECT_EQ(maryPersons[kMaryId].LASTNAME.str(), "Owner");
  EXPECT_EQ(johnPersons.size(), 2u);
  EXPECT_EQ(johnPersons[kBobId].FROMCOUNT, 1u);
  EXPECT_EQ(johnPersons[kJohnId].ADDRESS.str(), "john@smith.example");
  EXPECT_EQ(persons(1).size(), 2u);
  EXPECT_EQ(persons(1)[290003].FIRSTNAME.str(), "Ann");

  // Topics: the key words are topics, counted per database.
  auto topics = [&](uint32_t dirNumber) {
    std::map<std::string, uint32_t> out;
    EXPECT_TRUE(openExisting(qv::Codes, root() + "/F" + std::to_string(dirNumber) + "/IDX001.ADF"));
    qv::Codes.setFileOrder();
    while (qv::Codes.next()) {
      EXPECT_EQ(qv::COD.TYPE, qv::kTopicType);
      out[qv::COD.INDEX.str()] = qv::COD.COUNT;
    }
    qv::Codes.close();
    return out;
  };
  EXPECT_EQ(topics(1), (std::map<std::string, uint32_t>{{"Printer", 1}}));
  EXPECT_EQ(topics(3), (std::map<std::string, uint32_t>{{"Family", 1}}));
  EXPECT_EQ(topics(4), (std::map<std::string, uint32_t>{{"Family", 1}}));
  EXPECT_TRUE(fs::exists(root() + "/F4/IDX017.ADF"));  // carbon copies go with the mail
  EXPECT_TRUE(fs::exists(root() + "/F4/IDX022.DAT"));  // the self-description for the rebuild

  // Files: the configuration area, the temporary directory, nothing left behind.
  for (const char* f : {"CFG/IDX002.ADF", "CFG/IDX008.ADF", "CFG/IDX016.ADF", "CFG/IDX018.ADF", "CFG/IDX027.ADF",
                        "TEMP/IDX010.ADF", "TEMP/IDX019.ADF", "SAV002.ADF", "SAV008.ADF", "SAV016.ADF"})
    EXPECT_TRUE(fs::exists(root() + "/" + f)) << f;
  for (const fs::directory_entry& e : fs::directory_iterator(root()))
    EXPECT_NE(e.path().filename().string().rfind("IDX", 0), 0u) << e.path();
  for (const char* f : {"F3/IDX125.ADF", "F3/IDX126.ADF", "F3/IDX127.ADF", "F3/IDX128.ADF", "F1/IDX126.ADF"})
    EXPECT_FALSE(fs::exists(root() + "/" + f)) << f;
  EXPECT_TRUE(matchesDeclaration(qv::FileList, root() + "/CFG/IDX027.ADF"));
}

TEST_F(ConvTest, TooLittleFreeSpaceEndsTheConversionWithTheSizeNeeded) {
  writeOldInstallation(root());
  qv::setFreeSpaceFunction([](const std::string&) { return int64_t(1000); });
  ConvState state = convert();
  qv::setFreeSpaceFunction(nullptr);
  EXPECT_EQ(state, ConvState::Failed);
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].text.rfind("Mail database cannot be converted - too little free disk space! You need "
                                           "at least ",
                                           0),
            0u);
}

// --- header removal ---

TEST(InternetHeaders, ADateHeaderBlockGoesAndAGreetingStays) {
  EXPECT_EQ(stripInternetHeaders("Date: Tue, 2 Jan 1996\r\nFrom: a@b.example\r\n\r\nBody\r\n"), "Body\r\n");
  EXPECT_EQ(stripInternetHeaders("date: Tue, 2 Jan 1996\r\nSubject: x\r\n\r\nBody"), "Body");
  EXPECT_EQ(stripInternetHeaders(kGreetingText), kGreetingText);
  EXPECT_EQ(stripInternetHeaders("Dear all,\r\nDate: tomorrow\r\n"), "Dear all,\r\nDate: tomorrow\r\n");
  // A header block that ends without an empty line ends at the first line that is no header.
  EXPECT_EQ(stripInternetHeaders("To: x@y.example\r\nHello there\r\n"), "Hello there\r\n");
  // Folded header lines go with their header.
  EXPECT_EQ(stripInternetHeaders("Received: from a\r\n\tby b\r\nTo: c\r\n\r\n  indented body\r\n"),
            "  indented body\r\n");
}

TEST(InternetHeaders, HtmlBodiesAreReplacedByTheNotice) {
  EXPECT_EQ(stripInternetHeaders("From: a\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n<p>x</p>\r\n<p>y</p>\r\n"),
            std::string(kHtmlStripped) + "\r\n");
  std::string multi =
      "From: a\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\npreamble\r\n--b1\r\nContent-Type: "
      "text/html\r\n\r\n<b>x</b>\r\n--b1\r\nContent-Type: text/plain\r\n\r\nplain\r\n--b1--\r\nepilogue\r\n";
  EXPECT_EQ(stripInternetHeaders(multi), std::string(kHtmlStripped) + "\r\nplain\r\n");
  EXPECT_LE(stripInternetHeaders("Date: x\r\n\r\n" + std::string(70000, 'a')).size(), kMaxText);
}

}  // namespace
