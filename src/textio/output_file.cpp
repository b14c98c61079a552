// Complete-or-absent output files and the removal of their temporaries on signals.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <locale>
#include <random>

#include "textio/textio.h"

namespace helmert2d::textio {
namespace {

// Temporary names for the signal handler: fixed storage, claimed with an atomic flag,
// so the handler reads them without locks or allocation.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
std::atomic<bool> g_used[kSlots];
char g_paths[kSlots][kPathMax];

extern "C" void cleanup_and_reraise(int sig) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i].load()) ::unlink(g_paths[i]);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Six characters that make a temporary's name unlikely to be taken, as mkstemp's.
constexpr std::size_t kSuffixLength = 6;
std::string random_suffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 gen(std::random_device{}() ^
                                   (static_cast<std::uint64_t>(::getpid()) << 32));
  std::string s(kSuffixLength, ' ');
  for (char& c : s) c = kChars[gen() % (sizeof kChars - 1)];
  return s;
}

// True when the process holds the file `st` open (its standard output redirected to
// it, a descriptor the shell opened with 3>>FILE): its open descriptors are compared by
// device and inode. Without /proc only the three standard streams are looked at.
bool held_open(const struct stat& st) {
  auto same = [&st](int fd) {
    struct stat fs {};
    return ::fstat(fd, &fs) == 0 && fs.st_dev == st.st_dev && fs.st_ino == st.st_ino;
  };
  std::error_code ec;
  std::filesystem::directory_iterator it("/proc/self/fd", ec);
  if (ec) return same(0) || same(1) || same(2);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string fd = it->path().filename().string();
    int n = 0;
    const auto [end, err] = std::from_chars(fd.data(), fd.data() + fd.size(), n);
    if (err == std::errc() && end == fd.data() + fd.size() && same(n)) return true;
  }
  return false;
}

// The temporary's name up to its random suffix: "NAME." in NAME's folder, with NAME cut
// short when the whole would pass the folder's limit on a name's length (255 bytes on
// common filesystems), so that every name that can be created can be written. Empty
// when the target's own name is too long.
std::string temporary_prefix(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (limit <= 0) limit = NAME_MAX;
  if (base.size() > static_cast<std::size_t>(limit)) return {};  // no such name can exist
  const std::size_t room = static_cast<std::size_t>(limit) - kSuffixLength - 1;
  return target.substr(0, target.size() - base.size()) + base.substr(0, room) + ".";
}

}  // namespace

int register_temporary(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i].load()) continue;
    // The handler reads only slots marked in use, so the name goes in first.
    std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
    g_used[i].store(true);
    return i;
  }
  return -1;
}

void unregister_temporary(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  g_used[slot].store(false);
}

void install_cleanup_on_signals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction sa {};
    sa.sa_handler = cleanup_and_reraise;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    struct sigaction old {};
    // A signal the caller chose to ignore (for example under nohup) stays ignored.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
  // A write to a pipe whose reader is gone, or past the file-size limit, fails (EPIPE,
  // EFBIG) instead of ending the process: the output then fails as on a full disk,
  // with its console line and its temporary removed.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

OutputFile::~OutputFile() {
  abandon();
}

bool OutputFile::open(const std::string& path) {
  abandon();
  buffer_.assign(1 << 20, '\0');
  stream_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  stream_.imbue(std::locale::classic());
  target_ = path;
  temp_.clear();
  // How the file is written depends on what the name stands for (links followed), not
  // on how it is spelt: "/dev/stdout" may be a pipe, a terminal or a regular file.
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // FIFOs, devices, terminals and sockets are written directly: renaming would
    // replace them.
    stream_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    return stream_.is_open();
  }
  if (exists && held_open(st)) {
    // A regular file the process already writes, such as its standard output
    // redirected to a file and named as /dev/stdout: replacing it would cut the
    // stream off from its name, so it is appended to, as the stream itself would be.
    stream_.open(path, std::ios::out | std::ios::app | std::ios::binary);
    return stream_.is_open();
  }
  if (!exists && !path.empty() && path.back() == '/') return false;
  // Through a symbolic link (even a dangling one) the file written is the link's
  // target, as a plain open would write it, and the link itself stays; the temporary
  // goes into the folder the name resolves to (/proc/self/cwd/NAME: the working folder).
  if (const std::string real = resolve_links(path).string(); !real.empty()) target_ = real;
  const std::string prefix = temporary_prefix(target_);
  if (prefix.empty()) return false;
  // The temporary's name is registered for the signal cleanup before the file exists,
  // so a signal at any moment, on any thread, removes whatever was created.
  for (int attempt = 0; attempt < 100 && temp_.empty(); ++attempt) {
    const std::string name = prefix + random_suffix();
    if (name == target_) continue;
    slot_ = register_temporary(name);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      temp_ = name;
      break;
    }
    const int error = errno;
    unregister_temporary(slot_);
    slot_ = -1;
    if (error != EEXIST) return false;
  }
  if (temp_.empty()) return false;
  // The new file gets the permissions a plain create would give (it was made 0600),
  // or the old file's when it replaces one.
  mode_t mode = 0666;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::chmod(temp_.c_str(), mode);
  // The new file is empty. Opening it without truncation matters for speed: on
  // ext4 a file truncated on open is flushed to disk when it is closed (the filesystem's
  // guard for programs that rewrite a file in place), which costs a large report a
  // noticeable pause.
  stream_.open(temp_, std::ios::in | std::ios::out | std::ios::binary);
  if (!stream_.is_open()) {
    abandon();
    return false;
  }
  return true;
}

bool OutputFile::flush() {
  return stream_.is_open() && !stream_.flush().fail();
}

bool OutputFile::commit() {
  if (!stream_.is_open()) return false;
  stream_.close();
  const bool written = !stream_.fail();
  if (temp_.empty()) return written;
  if (!written || std::rename(temp_.c_str(), target_.c_str()) != 0) {
    abandon();
    return false;
  }
  unregister_temporary(slot_);
  slot_ = -1;
  temp_.clear();
  return true;
}

void OutputFile::abandon() {
  if (stream_.is_open()) stream_.close();
  stream_.clear();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  unregister_temporary(slot_);
  slot_ = -1;
}

}  // namespace helmert2d::textio
