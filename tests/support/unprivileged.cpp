#include "support/unprivileged.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace qvtest {

namespace {
constexpr uid_t kNobody = 65534;

template <typename Fn>
void forTree(const std::string& tree, Fn fn) {
  fn(fs::path(tree));
  std::error_code ec;
  for (fs::recursive_directory_iterator it(tree, ec), end; !ec && it != end; it.increment(ec)) fn(it->path());
}
}  // namespace

int runUnprivileged(const std::string& tree, const std::function<int()>& fn) {
  bool root = ::geteuid() == 0;
  if (root) forTree(tree, [](const fs::path& p) { (void)::lchown(p.c_str(), kNobody, kNobody); });
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(99);
    ::_exit(fn());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (root) forTree(tree, [](const fs::path& p) { (void)::lchown(p.c_str(), 0, 0); });
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void setTreeWritable(const std::string& tree, bool writable) {
  forTree(tree, [&](const fs::path& p) {
    std::error_code ec;
    if (fs::is_symlink(p, ec)) return;
    fs::permissions(p, fs::perms::owner_write, writable ? fs::perm_options::add : fs::perm_options::remove, ec);
  });
}

}  // namespace qvtest
