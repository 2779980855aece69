// What bench_browse's library and window timings share: the best and median
// of a set of runs, and the table that sets the small database's figures
// beside the large one's with their ratios.
#pragma once

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace qvbench {

struct Timing {
  double open = 0, last = 0;  // best of the runs: the cost of the work itself, least disturbed
  double openMedian = 0, lastMedian = 0;
};

inline double best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
inline Timing timingOf(const std::vector<double>& opens, const std::vector<double>& lasts) {
  return {best(opens), best(lasts), median(opens), median(lasts)};
}

// One row per view: its name, the small database's timing, the large one's.
struct TimingRow {
  const char* name;
  Timing small, large;
};

// Prints the table under its title (seconds shown as ms) and returns the
// largest ratio large/small.
inline double printTimingTable(const char* title, const std::vector<TimingRow>& rows) {
  double worst = 0;
  std::printf("\n%s\n", title);
  std::printf("%-17s | %10s %10s | %10s %10s | %7s %7s\n", "view", "open small", "open large", "last small",
              "last large", "open x", "last x");
  std::printf("%.*s\n", 88, "----------------------------------------------------------------------------------------");
  for (const TimingRow& r : rows) {
    const Timing& a = r.small;
    const Timing& b = r.large;
    double ro = b.open / a.open, rl = b.last / a.last;
    worst = std::max({worst, ro, rl});
    std::printf("%-17s | %10.3f %10.3f | %10.3f %10.3f | %7.2f %7.2f   (medians %.3f %.3f | %.3f %.3f)\n", r.name,
                a.open * 1000, b.open * 1000, a.last * 1000, b.last * 1000, ro, rl, a.openMedian * 1000,
                b.openMedian * 1000, a.lastMedian * 1000, b.lastMedian * 1000);
  }
  return worst;
}

}  // namespace qvbench
