#include "support/fake_import_context.h"

#include <stdexcept>

#include "dictionary/passwords.h"
#include "import/formats.h"

namespace qvtest {

FakeImportContext::FakeImportContext() {
  settings_.importForum = true;
  settings_.importMail = true;
}

FakeImportContext::~FakeImportContext() { closeSource(); }

void FakeImportContext::setFormat(const std::string& name) {
  format_ = qv::formatByName(name);
  if (format_ == nullptr) throw std::invalid_argument("unknown format " + name);
  settings_.format = name;
}

bool FakeImportContext::openLines(const std::string& path) {
  closeSource();
  qv::LineFile.setName(path);
  if (!qv::LineFile.open(qv::Share::ReadOnly)) return false;
  source_ = &qv::LineFile;
  path_ = path;
  return true;
}

bool FakeImportContext::openBlocks(const std::string& path) {
  closeSource();
  qv::RawFile.setName(path);
  if (!qv::RawFile.open(qv::Share::ReadOnly)) return false;
  source_ = &qv::RawFile;
  path_ = path;
  return true;
}

void FakeImportContext::closeSource() {
  if (source_ != nullptr) source_->close();
  source_ = nullptr;
}

qv::Target& FakeImportContext::addTarget(const std::string& name, int kind) {
  qv::Target* t = targets.findOrCreate(name, kind, [this] { return nextNumber(); });
  if (t == nullptr) throw std::invalid_argument("cannot add target " + name);
  return *t;
}

qv::Target& FakeImportContext::addMailbox(const std::string& dir, const std::string& name,
                                          const std::string& mainAddress,
                                          const std::vector<std::string>& alternatives) {
  qv::Target& box = addTarget(name, qv::KindMailDb);
  settings_.mailbox = box.id;

  std::string saved = qv::Forums.name();
  qv::Forums.setName(dir + "/IDX002.ADF");
  if (!qv::Forums.create() || !qv::Forums.open(qv::Share::Exclusive, qv::kPassword7))
    throw std::runtime_error("cannot create the database list for the mailbox");
  qv::FOR = qv::ForumsRec();
  qv::FOR.ID = box.id;
  qv::FOR.DESCRIPTION = name;
  qv::FOR.DIRNUMBER = box.dirNumber;
  qv::FOR.TYPE = qv::KindMailDb;
  qv::FOR.MAILADDRESS = mainAddress;
  for (size_t i = 0; i < alternatives.size() && i < qv::FOR.ALTADDRESS.size(); ++i)
    qv::FOR.ALTADDRESS[i] = alternatives[i];
  bool added = qv::Forums.add();
  if (added) owner_.load(box.id);
  qv::Forums.close();
  qv::Forums.setName(saved);
  if (!added) throw std::runtime_error("cannot add the mailbox to the database list");
  return box;
}

qv::Target* FakeImportContext::target(const std::string& name, int kind) {
  qv::Target* t = kind == qv::KindMailDb ? targets.find(name) : targets.findOrCreate(name, kind, [this] { return nextNumber(); });
  if (t == nullptr || t->kind != kind || !t->allowed) return nullptr;
  return t;
}

qv::Target* FakeImportContext::existingTarget(const std::string& name, int kind) {
  qv::Target* t = targets.find(name);
  return t != nullptr && t->kind == kind && t->allowed ? t : nullptr;
}

qv::Target* FakeImportContext::mailbox() {
  qv::Target* t = targets.findId(settings_.mailbox);
  if (t == nullptr || t->kind != qv::KindMailDb || !t->allowed) return nullptr;
  return t;
}

bool FakeImportContext::alreadyImported(uint32_t database, uint32_t msgNumber) {
  return !settings_.allowReimport && imported.count({database, msgNumber}) != 0;
}

bool FakeImportContext::emit() {
  if (failEmit) return false;
  emitted.push_back(qv::NHR);
  originals.push_back(std::move(offered_));
  offered_.reset();
  if (qv::Target* t = targets.findId(qv::NHR.INTERNAL)) t->received = true;
  return true;
}

bool FakeImportContext::emitCarbonCopy() {
  if (failEmit) return false;
  carbonCopies.push_back(qv::CCT);
  return true;
}

bool FakeImportContext::emitMessageId(uint32_t number, const std::string& id) {
  if (failEmit) return false;
  messageIds.emplace_back(number, id);
  return true;
}

std::string FakeImportContext::messageIdOf(uint32_t number) {
  for (const auto& [n, id] : messageIds)
    if (n == number) return id;
  return "";
}

uint32_t FakeImportContext::numberOfMessageId(const std::string& id) {
  for (const auto& [n, s] : messageIds)
    if (s == id) return n;
  return 0;
}

int runParser(qv::Parser& parser, FakeImportContext& ctx, int maxCalls) {
  if (!parser.start(ctx)) return 0;
  int calls = 0;
  while (calls < maxCalls) {
    ++calls;
    if (parser.convert(ctx)) break;
  }
  return calls;
}

}  // namespace qvtest
