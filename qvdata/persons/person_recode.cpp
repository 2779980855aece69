#include "persons/person_recode.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "persons/person_names.h"
#include "services/db_kind.h"
#include "services/persons.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/procedure_starter.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

namespace {

constexpr int kTransactionCheck = 212;

// Calls `each` for every record whose key starts with (alpha, id), in key
// order, until it returns false.
void walkPerson(File& f, const Key& k, std::string_view alpha, uint32_t id, const std::function<bool()>& each) {
  const FileDecl& d = f.decl();
  int alphaField = k.desc().parts[0].field;
  int idField = k.desc().parts[1].field;
  f.clear();
  setField(d, alphaField, 0, std::string(alpha));
  setField(d, idField, 0, int64_t(id));
  f.setPrefix(k, 2);
  while (f.next()) {
    if (compareNoCase(std::get<std::string>(getField(d, alphaField)), alpha) != 0) break;
    if (std::get<int64_t>(getField(d, idField)) != int64_t(id)) break;
    if (!each()) break;
  }
}

// The stored positions of the records of a person in the keys given, each
// once. Collected before any is changed: a changed alpha or ID moves the
// record within the very key being walked.
std::vector<int64_t> positionsOf(File& f, std::initializer_list<std::pair<Key, size_t>> keys, std::string_view last,
                                 uint32_t id) {
  std::vector<int64_t> out;
  for (const auto& [key, width] : keys)
    walkPerson(f, key, lastNameAlpha(last, width), id, [&] {
      out.push_back(f.position());
      return true;
    });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

bool rewrite(File& f, const std::vector<int64_t>& positions, const std::function<void()>& change) {
  for (int64_t pos : positions) {
    if (!f.getPosition(pos)) {
      // Gone between the walk and the change: the transaction's files are
      // locked, so only a failing file gets here.
      rollbackTransaction();
      Message("Record update error!\r\nRecord not available!\r\nThe last transaction is rolled back.", f.name(),
              Icon::Hand);
      return false;
    }
    change();
    if (!UppDat(f, OpChange, ReportRollback)) return false;
  }
  return true;
}

}  // namespace

bool beginPersonTransaction(std::initializer_list<File*> files) {
  if (!BeginTransaction(files, kPersonLockSeconds, ReportShow)) return false;
  if (SemaFore(kTransactionCheck) != 0) {
    if (transactionActive()) rollbackTransaction();
    return false;
  }
  return true;
}

bool commitPersonTransaction() {
  if (commitTransaction()) return true;
  if (!TransactionCheck()) rollbackTransaction();
  return false;
}

bool recodePersonMessages(int kind, uint32_t oldId, std::string_view oldLast, uint32_t newId,
                          std::string_view newLast) {
  const std::string alpha = lastNameAlpha(newLast, kAlphaWidth);
  if (kind == KindMailDb) {
    BufferGuard guard({&Mail});
    std::vector<int64_t> positions = positionsOf(
        Mail, {{MAI_PairKey, kPairAlphaWidth}, {MAI_FromKey, kAlphaWidth}, {MAI_ToKey, kAlphaWidth}}, oldLast, oldId);
    const std::string pairAlpha = lastNameAlpha(newLast, kPairAlphaWidth);
    // A mail names the person in every role it has in it: sender, receiver
    // and partner alike (a mail to oneself is both sender and receiver).
    return rewrite(Mail, positions, [&] {
      if (MAI.PAIRID == oldId) {
        MAI.PAIRID = newId;
        MAI.PAIRALPHA = pairAlpha;
      }
      if (MAI.TOID == oldId) {
        MAI.TOID = newId;
        MAI.TOALPHA = alpha;
      }
      if (MAI.FROMID == oldId) {
        MAI.FROMID = newId;
        MAI.FROMALPHA = alpha;
      }
    });
  }
  BufferGuard guard({&MsgNmbr});
  std::vector<int64_t> positions =
      positionsOf(MsgNmbr, {{MSG_ToKey, kAlphaWidth}, {MSG_FromKey, kAlphaWidth}}, oldLast, oldId);
  return rewrite(MsgNmbr, positions, [&] {
    if (MSG.TOID == oldId) {
      MSG.TOID = newId;
      MSG.TOALPHA = alpha;
    }
    if (MSG.FROMID == oldId) {
      MSG.FROMID = newId;
      MSG.FROMALPHA = alpha;
    }
  });
}

uint32_t firstMessageFrom(int kind, uint32_t id, std::string_view last) {
  bool mail = kind == KindMailDb;
  File& f = mail ? Mail : MsgNmbr;
  BufferGuard guard({&f});
  uint32_t first = 0;
  walkPerson(f, mail ? MAI_FromKey : MSG_FromKey, lastNameAlpha(last, kAlphaWidth), id, [&] {
    first = mail ? MAI.MAILID : MSG.MSGNUMBER;
    return false;
  });
  return first;
}

bool recountPerson(int kind) {
  int result = kind == KindMailDb ? CFromToMail(RecountZeroNone) : RecountForumPerson();
  if (result == RecountNoMessages) {
    // The forum count tells of a person without messages without changing it.
    if (PER.FROMCOUNT == 0 && PER.TOCOUNT == 0) return true;
    PER.FROMCOUNT = 0;
    PER.TOCOUNT = 0;
    result = RecountChanged;
  }
  if (result != RecountChanged) return true;
  return UppDat(Person, OpChange, ReportRollback);
}

}  // namespace qv
