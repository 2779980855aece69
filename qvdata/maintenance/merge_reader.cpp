#include "maintenance/merge_reader.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/owner.h"
#include "originals/originals_store.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

namespace {

class MergeReader : public Parser {
 public:
  MergeReader(const MergeEnds& ends, MergeReading& reading) : ends_(ends), reading_(reading) {}
  ~MergeReader() override { closeSource(); }

  bool start(ImportContext& ctx) override {
    target_ = ends_.kind == KindMailDb ? ctx.mailbox() : ctx.existingTarget(ends_.targetName, ends_.kind);
    if (!target_) return false;
    openSource();
    File& records = ends_.kind == KindMailDb ? Mail : MsgNmbr;
    reading_.total = has(ends_.kind == KindMailDb ? FileMail : FileMsgNmbr) ? records.records() : 0;
    return true;
  }

  bool convert(ImportContext& ctx) override {
    int kind = ends_.kind;
    File& records = kind == KindMailDb ? Mail : MsgNmbr;
    if (!has(kind == KindMailDb ? FileMail : FileMsgNmbr)) return finish();
    records.setFileOrder(lastPosition_);
    int done = 0;
    while (done < ctx.sliceSize()) {
      if (!records.next()) return finish();
      int64_t pos = records.position();
      if (lastPosition_ != 0 && pos <= lastPosition_) continue;
      lastPosition_ = pos;
      ++done;
      ++reading_.read;
      ctx.progress(1);
      bool ok;
      {
        BufferGuard keep({&records});
        ok = kind == KindMailDb ? convertMail(ctx) : convertMessage(ctx, kind == KindNewsDb);
      }
      if (!ok) return finish();
    }
    return false;
  }

 private:
  bool has(int n) const {
    const std::vector<int>& open = source_.files();
    return std::find(open.begin(), open.end(), n) != open.end();
  }

  // The source's files that are there, opened under its directory name.
  void openSource() {
    savedDirnamn_ = Mem.Dirnamn;
    Mem.Dirnamn = "F" + std::to_string(ends_.sourceDir);
    std::vector<int> files = ends_.kind == KindMailDb
                                 ? std::vector<int>{FileMail, FileMsgText, FilePerson, FileCCR, FileSubjects, FileExtras}
                                 : std::vector<int>{FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads,
                                                    FileSubjects, FileMsgIdIndex, FileExtras};
    std::error_code ec;
    // The originals are read through the store, which opens their file for
    // reading only: the run asks the target whether it keeps originals,
    // which it cannot while a procedure holds the file.
    originals_ = ends_.kind != KindForumDb && std::filesystem::is_regular_file(filePath(FileOriginals), ec);
    std::vector<int> there;
    for (int n : files) {
      if (n == FileMsgIdIndex && ends_.kind != KindNewsDb) continue;
      if (!std::filesystem::is_regular_file(filePath(n), ec)) continue;
      if (useCount(n) > 0 && declaredFile(n).name() != filePath(n)) OP_CLOSE(OpForceClose, {n});
      there.push_back(n);
    }
    source_ = FileScope(std::move(there));
    sourceOpen_ = true;
  }

  void closeSource() {
    if (!sourceOpen_) return;
    source_.release();
    // Nothing may be written into the source's originals through a file
    // left open under its name.
    if (useCount(FileOriginals) == 0) Originals.close();
    Mem.Dirnamn = savedDirnamn_;
    sourceOpen_ = false;
  }

  bool finish() {
    closeSource();
    return true;
  }

  // A person of the source as its whole name and its address; empty when
  // missing.
  void personOf(uint32_t id, std::string& name, Str<60>& address) {
    name.clear();
    PER = PersonRec();
    PER.PERSONID = id;
    if (id == 0 || !has(FilePerson) || !Person.get(PER_PersonKey)) return;
    PersonName whole = personName();
    std::string first(trimRight(whole.first)), last(trimRight(whole.last));
    name = first.empty() ? last : last.empty() ? first : first + " " + last;
    address = PER.ADDRESS;
  }

  // The text of a message into the temporary record; empty when missing.
  void textOf(uint32_t id) {
    TXT = MsgTextRec();
    TXT.MSGNUMBER = id;
    if (has(FileMsgText) && MsgText.get(TXT_IdKey)) NHR.MSGTEXT = TXT.MsgText;
  }

  // The original of a mail or article goes with it, as the import carries
  // it: kept bytes are offered; a message whose source kept none goes as
  // one without an original.
  void offerOriginalOf(ImportContext& ctx, uint32_t id) {
    if (!originals_) return;
    std::string saved = Mem.Dirnamn;
    Mem.Dirnamn = "F" + std::to_string(ends_.sourceDir);
    std::optional<std::string> bytes = readOriginal(ends_.kind, id);
    Mem.Dirnamn = saved;
    if (bytes) ctx.offerOriginal(std::move(bytes));
  }

  void beginRecord() {
    NHR = ImpHeaderRec();
    NHR.INTERNAL = target_->id;
    NHR.FOR_DESCRIPTION = target_->name;
  }

  bool convertMessage(ImportContext& ctx, bool news) {
    MsgNmbrRec msg = MSG;
    beginRecord();
    NHR.MSGNUMBER = msg.MSGNUMBER;
    NHR.REFNUMBER = msg.REFNUMBER;
    SEC = SectionsRec();
    SEC.SECSYSID = msg.SECSYSID;
    if (has(FileSections) && Sections.get(SEC_SysIdKey)) {
      NHR.SECTIONNUMBER = SEC.SECTIONNUMBER;
      NHR.SEC_DESCRIPTION = SEC.DESCRIPTION;
    }
    THR = ThreadsRec();
    THR.THREADNUMBER = msg.THREADNUMBER;
    if (has(FileThreads) && Threads.get(THR_ThreadKey)) {
      NHR.SUBJECT = threadHeading();
      NHR.HEADING = NHR.SUBJECT;
    }
    std::string name;
    personOf(msg.FROMID, name, NHR.S_CISADRESS);
    setImportSender(name);
    personOf(msg.TOID, name, NHR.R_CISADRESS);
    setImportRecipient(name);
    NHR.DATE = msg.DATE;
    NHR.TIME = has(FileExtras) ? messageTime(msg.MSGNUMBER) : 0;
    NHR.DUMMY = msg.DUMMY;
    textOf(msg.MSGNUMBER);
    if (news) {
      // Duplicates and parents are found by Message-ID.
      for (uint32_t n : {msg.MSGNUMBER, msg.REFNUMBER}) {
        if (n == 0 || !has(FileMsgIdIndex)) continue;
        MST = MsgIdIndexRec();
        MST.MSGNUMBER = n;
        if (MsgIdIndex.get(MST_IDKEY) && !MST.IDSTRING.blank() && !ctx.emitMessageId(n, MST.IDSTRING.str()))
          return false;
      }
      offerOriginalOf(ctx, msg.MSGNUMBER);
    }
    return ctx.emit();
  }

  bool convertMail(ImportContext& ctx) {
    MailRec mail = MAI;
    std::string subject = mailSubject();
    beginRecord();
    uint32_t number = ctx.nextNumber();
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = number;
    NHR.SUBJECT = subject;
    NHR.HEADING = subject;
    NHR.DATE = mail.DATE;
    NHR.TIME = mail.TIME;
    NHR.RECIPTYPE = mail.RECIPTYPE;
    NHR.DUMMY = mail.DUMMY;
    bool received = mail.TOID != mail.PAIRID;
    NHR.MAILTYPE = uint8_t(received ? MailReceived : MailSent);
    // The owner's side is the target mailbox's owner; the other the partner.
    const OwnerAddresses& owner = ctx.owner();
    std::string partnerName;
    Str<60> partnerAddress;
    personOf(mail.PAIRID, partnerName, partnerAddress);
    if (received) {
      setImportSender(partnerName);
      NHR.S_CISADRESS = partnerAddress;
      setImportRecipient(owner.name());
      NHR.R_CISADRESS = owner.mainAddress();
    } else {
      setImportSender(owner.name());
      NHR.S_CISADRESS = owner.mainAddress();
      setImportRecipient(partnerName);
      NHR.R_CISADRESS = partnerAddress;
    }
    textOf(mail.MAILID);
    if (mail.CCR == 1 && has(FileCCR)) {
      // The further recipients go with the mail, under its new number.
      CCR = CCRRec();
      CCR.MAILID = mail.MAILID;
      CCRFile.setPrefix(CCR_IdKey, 1);
      while (CCRFile.next() && CCR.MAILID == mail.MAILID) {
        CCT = ImpCCRRec();
        CCT.MAILID = number;
        CCT.R_NAME = CCR.R_NAME;
        CCT.R_CISADRESS = CCR.R_CISADRESS;
        CCT.RECIPTYPE = CCR.RECIPTYPE;
        if (!ctx.emitCarbonCopy()) return false;
      }
    }
    offerOriginalOf(ctx, mail.MAILID);
    return ctx.emit();
  }

  MergeEnds ends_;
  MergeReading& reading_;
  Target* target_ = nullptr;
  FileScope source_{std::vector<int>{}};  // the source's files, held while it is read
  bool sourceOpen_ = false;
  bool originals_ = false;
  std::string savedDirnamn_;
  int64_t lastPosition_ = 0;
};

}  // namespace

std::unique_ptr<Parser> makeMergeReader(const MergeEnds& ends, MergeReading& reading) {
  return std::make_unique<MergeReader>(ends, reading);
}

}  // namespace qv
