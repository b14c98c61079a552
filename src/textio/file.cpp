// Whole-file reads and the test whether two names denote one file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "textio/textio.h"

namespace helmert2d::textio {
namespace {

// Closes a descriptor when the read is over, however it ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Appends everything that can be read from `fd` to `text`; false on a read error.
bool read_to_end(int fd, std::string& text) {
  char buf[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    text.append(buf, static_cast<std::size_t>(got));
  }
}

}  // namespace

bool read_file(const std::string& path, std::string& text) {
  text.clear();
  // The folder test is made on the opened file, so it holds for the file that is read.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (S_ISREG(st.st_mode) && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
  if (read_to_end(fd.get(), text)) return true;
  text.clear();
  return false;
}

std::filesystem::path resolve_links(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path p = fs::absolute(name, ec);
  if (ec) return {};
  // Follow symbolic links of the last component by hand, so that a link whose target
  // does not exist yet still names that target.
  for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hop) {
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return fs::weakly_canonical(p, ec);
}

bool same_file(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool eq = fs::equivalent(a, b, ec);
    if (!ec) return eq;
  }
  const fs::path pa = resolve_links(a);
  const fs::path pb = resolve_links(b);
  return !pa.empty() && pa == pb;
}

}  // namespace helmert2d::textio
