// Complete-or-absent output files and the removal of their temporaries on signals.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
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
std::string random_suffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 gen(std::random_device{}() ^
                                   (static_cast<std::uint64_t>(::getpid()) << 32));
  std::string s(6, ' ');
  for (char& c : s) c = kChars[gen() % (sizeof kChars - 1)];
  return s;
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
}

OutputFile::~OutputFile() {
  abandon();
}

bool OutputFile::open(const std::string& path) {
  abandon();
  buffer_.assign(1 << 20, '\0');
  stream_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  stream_.imbue(std::locale::classic());
  // Names under /dev and /proc (/dev/stdout, /dev/fd/3, /proc/self/fd/1) stand for an
  // open file of the process, perhaps a pipe or a log the shell appends to: they are
  // written as streams, appending, never replaced.
  if (path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0) {
    target_ = path;
    temp_.clear();
    stream_.open(path, std::ios::out | std::ios::app | std::ios::binary);
    return stream_.is_open();
  }
  // Through a symbolic link (even a dangling one) the file written is the link's
  // target, as a plain open would write it; the link itself stays.
  struct stat lst {};
  target_ = path;
  if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    const std::string real = resolve_links(path).string();
    if (!real.empty()) target_ = real;
  }
  temp_.clear();
  struct stat st {};
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // FIFOs, devices and terminals are written directly: renaming would replace them.
    stream_.open(target_, std::ios::out | std::ios::trunc | std::ios::binary);
    return stream_.is_open();
  }
  if (!exists && !target_.empty() && target_.back() == '/') return false;
  // The temporary's name is registered for the signal cleanup before the file exists,
  // so a signal at any moment, on any thread, removes whatever was created.
  for (int attempt = 0; attempt < 100 && temp_.empty(); ++attempt) {
    const std::string name = target_ + "." + random_suffix();
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
