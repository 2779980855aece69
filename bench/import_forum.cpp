// bench_import --mode forum: a generated capture of forum messages in the
// TAPCIS 6.x layout (bench/forum_gen.h; --messages N, default 100,000)
// imported with qvcli into a new forum, then the same file imported again
// (every message is in the database already). Each run is timed as the
// whole process, with messages per second and its peak resident size.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_run.h"
#include "forum_gen.h"
#include "import_modes.h"

namespace fs = std::filesystem;

namespace qvbench {

namespace {

long long numberAfter(const std::string& out, const std::string& label) {
  size_t at = out.find(label);
  return at == std::string::npos ? -1 : std::atoll(out.c_str() + at + label.size());
}

}  // namespace

int runForumImport(const ImportBench& b) {
  fs::remove_all(b.dir);
  fs::create_directories(b.dir);
  std::string capture = b.dir + "/forum.msg", root = b.dir + "/quorvane";
  const std::string forum = "Bench Forum";

  auto t0 = Clock::now();
  ForumSummary truth;
  if (!writeForumCapture(capture, {.messages = b.messages, .layout = ForumLayout::Tapcis6, .seed = b.seed}, &truth)) {
    std::fprintf(stderr, "cannot write %s\n", capture.c_str());
    return 1;
  }
  std::printf("Capture: %zu TAPCIS 6.x messages in %zu threads, %.1f MB, generated in %.1f s\n", truth.messages,
              truth.threads, double(fs::file_size(capture)) / 1e6, since(t0));

  struct Pass {
    const char* name;
    long long imported, skipped;
    Run r;
  };
  Pass passes[] = {{"import", 0, 0, {}}, {"reimport", 0, 0, {}}};
  bool ok = true;
  for (Pass& p : passes) {
    p.r = run({b.qvcli, "--root", root, "import", "--format", "TAPCIS 6.x", "--kinds", "forum", "--forum", forum,
               "--unattended", capture});
    p.imported = numberAfter(p.r.out, "Messages imported:");
    p.skipped = numberAfter(p.r.out, "Messages skipped:");
  }
  // The first run stores every message; the second finds them all stored.
  if (passes[0].r.status != 0 || passes[0].imported != (long long)truth.messages) ok = false;
  if (passes[1].imported != 0 || passes[1].skipped != (long long)truth.messages) ok = false;
  if (!ok)
    for (const Pass& p : passes) std::fprintf(stderr, "qvcli %s:\n%s\n", p.name, p.r.out.c_str());

  std::printf("\n%-10s %10s %10s %10s %12s %10s\n", "", "imported", "skipped", "seconds", "messages/s", "peak MB");
  for (const Pass& p : passes)
    std::printf("%-10s %10lld %10lld %10.1f %12.0f %10.1f\n", p.name, p.imported, p.skipped, p.r.seconds,
                double(truth.messages) / p.r.seconds, double(p.r.maxRssKb) / 1024.0);
  return ok ? 0 : 1;
}

}  // namespace qvbench
