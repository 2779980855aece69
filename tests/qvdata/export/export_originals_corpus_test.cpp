// Originals round trip over the sample corpus: every mail and news store
// imported, its originals exported (one .eml file per message), and both the
// source and the export read by an independent reader (Python's mailbox and
// email modules, tests/scripts/originals_view.py): the same messages with the
// same headers, the same decoded parts and the same attachment bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/copy_msg.h"
#include "originals/originals_export.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "support/mail_import.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct Case {
  const char* format;
  const char* mode;  // how the reader splits the source (see the script)
  std::vector<const char*> files;
};

const std::vector<Case> kMailCases = {
    {"Unix Mail", "mbox",
     {"mbox/mailbox-perl_mbox.src", "mbox/mailbox-perl_mbox.win", "mbox/kde_cygwin.mbox",
      "mbox/eudora2unix_test1.mbox", "mbox/perceval_mbox_multipart.mbox", "mbox/perceval_mbox_complex.mbox",
      "mbox/perceval_mbox_single.mbox", "mbox/thunderbird_mbox_mboxrd", "mbox/perceval_mbox_unixfrom_encoding.mbox",
      "mbox/perceval_mbox_unknown_encoding.mbox", "mbox/perceval_mbox_iso8859_encoding.mbox"}},
    {"Netscape Mail", "mbox", {"netscape-mail/thunderbird_mbox_modern"}},
    {"Eudora", "mbox", {"eudora/eudora2unix/win-eudora-7.1/In.mbx"}},
    {"Eudora", "mbox-cr", {"eudora/eudora2unix/mac-eudora-6.2.4/In"}},
    {"Outlook Express Mail", "oe-mbx", {"oe-mail/mbx2mbox/test1.mbx", "oe-mail/mbx2mbox/test2.dbx"}},
    {"Pegasus", "pmm",
     {"pegasus/kde-pmail/main.pmm", "pegasus/kde-pmail/fol06708.pmm", "pegasus/kde-pmail/fol05548.pmm",
      "pegasus/kde-pmail/fol073d0.pmm", "pegasus/kde-pmail/junk.pmm", "pegasus/kde-pmail/copyself.pmm"}},
    {"Pegasus", "file",
     {"pegasus/kde-pmail/0oii8a2z.cnm", "pegasus/kde-pmail/293kqf1h.cnm", "pegasus/kde-pmail/4ls97bm8.cnm",
      "pegasus/kde-pmail/rxg4oufy.cnm", "pegasus/kde-pmail/t2njsx6q.cnm"}},
    {"Unix Mail", "mbox", {"pegasus/kde-pmail/unx07307.mbx"}},
    {"Becky Mail", "becky", {"becky/test.bmf"}},
};

std::string scriptPath() { return std::string(QV_TEST_SCRIPTS) + "/originals_view.py"; }

bool havePython() { return std::system("python3 -c 'import mailbox, email' >/dev/null 2>&1") == 0; }

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs the reader over the sources and the exported files; its output, and
// its exit status in `rc`.
std::string compare(const std::string& mode, const std::string& emlDir, const std::vector<std::string>& sources,
                    bool subset, int& rc) {
  std::string cmd = "python3 " + quoted(scriptPath()) + (subset ? " --subset " : " ") + mode + " " + quoted(emlDir);
  for (const std::string& s : sources) cmd += " " + quoted(s);
  cmd += " 2>&1";
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    rc = -1;
    return "cannot run python3";
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

class OriginalsRoundTrip : public qvtest::MailImportTest {
 protected:
  void SetUp() override {
    corpus = qvtest::corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    if (!havePython()) GTEST_SKIP() << "python3 with its mailbox and email modules is absent";
    qvtest::MailImportTest::SetUp();
  }

  // Exports the originals of database `id` into `emlDir`, or without one
  // into the mailbox file in the temporary directory (`path`); the messages
  // written.
  int64_t exportOriginals(uint32_t id, const std::string& emlDir, std::string* path = nullptr) {
    EXPECT_TRUE(qv::findDatabase(id));
    qv::useDatabase();
    qv::CopyRequest r;
    r.scope = 12;  // the whole database, files replaced
    r.layout = qv::kLayoutOriginals;
    r.emlDir = emlDir;
    qv::CopyRun run(r);
    while (run.step()) {
    }
    if (path) *path = run.path1();
    EXPECT_EQ(run.result(), qv::CopyDone) << prompts.transcript();
    EXPECT_EQ(run.view().skipped, 0) << "a message without its original";
    return run.view().written;
  }

  std::string corpus;
};

TEST_F(OriginalsRoundTrip, MailStoresGiveBackTheirMessages) {
  int n = 0;
  for (const Case& c : kMailCases) {
    for (const char* file : c.files) {
      SCOPED_TRACE(std::string(c.format) + " " + file);
      newMailbox("Round trip " + std::to_string(++n));
      qv::ImportView v;
      ASSERT_EQ(importFiles(c.format, {corpus + "/" + file}, &v), 1) << prompts.transcript();
      ASSERT_GT(v.imported, 0);
      std::string emlDir = dir.path() + "/eml" + std::to_string(n);
      EXPECT_EQ(exportOriginals(mailbox, emlDir), v.imported);
      int rc = 0;
      std::string out = compare(c.mode, emlDir, {corpus + "/" + file}, v.skipped > 0, rc);
      EXPECT_EQ(rc, 0) << out;
      // The same as one mailbox file.
      std::string mbox;
      EXPECT_EQ(exportOriginals(mailbox, "", &mbox), v.imported);
      out = compare(c.mode, mbox, {corpus + "/" + file}, v.skipped > 0, rc);
      EXPECT_EQ(rc, 0) << out;
    }
  }
}

TEST_F(OriginalsRoundTrip, NewsArticlesGiveBackTheirArticles) {
  for (const char* folder : {"news-spool/inn/articles", "news-spool/perceval"}) {
    SCOPED_TRACE(folder);
    qv::ImportSettings s;
    s.format = "Unix News";
    s.method = qv::SelectDirectory;
    s.path = corpus + "/" + folder;
    s.masks = {"*"};
    s.importNews = true;
    qv::ImportRun run(s);
    while (run.step()) {
    }
    run.close();
    ASSERT_EQ(run.result(), 1) << prompts.transcript();
  }
  // Every newsgroup database's originals into one directory: duplicates and
  // an article without a Message-ID were skipped, so the export holds a part
  // of the sources, each article as its source has it.
  std::string emlDir = dir.path() + "/news";
  int64_t written = 0, stored = 0;
  for (const qv::DatabaseEntry& db : qv::listDatabases(qv::KindNewsDb)) {
    written += exportOriginals(db.id, emlDir);
    stored += db.messages;
  }
  EXPECT_GT(written, 0);
  EXPECT_EQ(written, stored);
  std::vector<std::string> sources;
  for (const char* folder : {"news-spool/inn/articles", "news-spool/perceval"})
    for (const auto& e : fs::directory_iterator(corpus + "/" + folder))
      if (e.is_regular_file()) sources.push_back(e.path().string());
  int rc = 0;
  std::string out = compare("file", emlDir, sources, true, rc);
  EXPECT_EQ(rc, 0) << out;
}

}  // namespace
