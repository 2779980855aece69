// What the benches share: wall-clock timing, running a peer's command with
// its output captured and its peak resident size measured, finding a peer on
// the path, and a prompter that writes every message to standard error and
// takes the default answer.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "services/prompt.h"

namespace qvbench {

using Clock = std::chrono::steady_clock;

inline double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

struct Run {
  double seconds = 0;
  double cpuSeconds = 0;  // user and system time of the process
  long maxRssKb = 0;
  int status = -1;
  std::string out;  // standard output, and standard error when it is kept
};

// Runs a command (in `cwd` when given) with its output captured and measures
// it with wait4(). Standard error joins the output when keepErrors, else it
// goes to /dev/null.
inline Run run(const std::vector<std::string>& argv, const std::string& cwd = {}, bool keepErrors = true) {
  Run r;
  int pipefd[2];
  if (pipe(pipefd) != 0) return r;
  auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    dup2(pipefd[1], 1);
    if (keepErrors) {
      dup2(pipefd[1], 2);
    } else {
      int devnull = ::open("/dev/null", O_WRONLY);
      dup2(devnull, 2);
    }
    close(pipefd[0]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipefd[1]);
  char buf[65536];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) r.out.append(buf, size_t(n));
  close(pipefd[0]);
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  r.seconds = since(t0);
  r.maxRssKb = ru.ru_maxrss;
  r.cpuSeconds = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

inline bool onPath(const std::string& tool) {
  for (const char* d : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
    if (access((std::string(d) + tool).c_str(), X_OK) == 0) return true;
  return false;
}

// The peers a bench compares with, each a tool on the path and the Debian
// package that brings it. The missing ones are installed when this runs as
// root (never as a dependency of the project); each one still missing is
// named with the reason, and the caller skips it.
struct Peer {
  std::string tool, package;
};
inline void ensurePeers(const std::vector<Peer>& peers) {
  std::vector<std::string> missing;
  for (const Peer& p : peers)
    if (!onPath(p.tool)) missing.push_back(p.package);
  if (missing.empty()) return;
  std::string reason;
  if (geteuid() != 0) {
    reason = "this is not run as root, so it cannot install them";
  } else {
    std::printf("Installing the missing peers:");
    for (const std::string& m : missing) std::printf(" %s", m.c_str());
    std::printf(" ...\n");
    std::fflush(stdout);
    std::vector<std::string> cmd = {"apt-get", "install", "-y", "-q", "--no-install-recommends"};
    cmd.insert(cmd.end(), missing.begin(), missing.end());
    if (run(cmd).status != 0) {
      run({"apt-get", "update", "-q"});
      Run r = run(cmd);
      if (r.status != 0) reason = "apt-get install failed";
    }
  }
  for (const Peer& p : peers)
    if (!onPath(p.tool))
      std::printf("Peer %s (Debian package %s) is missing and is skipped: %s.\n", p.tool.c_str(), p.package.c_str(),
                  reason.empty() ? "the package brought no such program" : reason.c_str());
}

class QuietPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override {
    std::fprintf(stderr, "%s: %s\n", r.caption.c_str(), r.text.c_str());
    return r.defaultButton;
  }
};

}  // namespace qvbench
