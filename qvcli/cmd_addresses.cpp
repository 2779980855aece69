// qvcli addresses DB --format F [--file NAME]: the persons of a database
// written as an address book in the temporary directory.
#include <string>

#include "commands.h"
#include "export/address_entries.h"
#include "export/address_export.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"

namespace qvcli {

namespace {

std::string formatNames() {
  std::string out;
  for (const qv::AddressFormatInfo& f : qv::addressFormats()) out += (out.empty() ? "" : "|") + std::string(f.cliName);
  return out;
}

std::string offeredNames(int kind) {
  std::string out;
  for (const qv::AddressFormatInfo& f : qv::addressFormatsOf(kind)) out += (out.empty() ? "" : ", ") + std::string(f.cliName);
  return out;
}

}  // namespace

int cmdAddresses(const Args& argsIn) {
  Args args = argsIn;
  std::string format, file;
  bool haveFormat = takeOption(args, "--format", format);
  bool haveFile = takeOption(args, "--file", file);
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1) return fail("name one database");
  if (!haveFormat) return fail("--format is required: " + formatNames());
  const qv::AddressFormatInfo* info = nullptr;
  for (const qv::AddressFormatInfo& f : qv::addressFormats())
    if (format == f.cliName) info = &f;
  if (!info) return fail("unknown format \"" + format + "\": " + formatNames());
  if (haveFile && file.empty()) return fail("--file takes a file name");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  int kind = qv::Mem.ForumType;
  if (!qv::addressFormatOffered(kind, info->code))
    return fail("a " + std::string(kindName(kind)) + " database offers the formats " + offeredNames(kind) + ", not " +
                format);

  qv::AddressRun run(info->code, file);
  while (run.step()) {
  }
  const qv::AddressView& v = run.view();
  switch (run.result()) {
    case qv::AddressDone:
      sayError("%lld persons written, %lld without an address left out\n", static_cast<long long>(v.written),
               static_cast<long long>(v.skipped));
      say("%s\n", run.path().c_str());
      return 0;
    case qv::AddressNoPersons:
      return fail(args[0] + " has no persons: no address book was written");
    default:
      return fail(run.failure().empty() ? "the address book was not written" : run.failure());
  }
}

}  // namespace qvcli
