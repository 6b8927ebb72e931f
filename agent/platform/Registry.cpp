#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include "platform/RegFile.h"
#include "platform/ShellFolders.h"

namespace {

const char* RootName(RegHive hive) {
  switch (hive) {
    case RegHive::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case RegHive::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegHive::CurrentUser:
      break;
  }
  return "HKEY_CURRENT_USER";
}

// What identifies one version of the hive file: every write replaces the file
// by a rename, so the inode changes even when size and time happen to match.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};

  static FileStamp Of(const struct stat& st) {
    FileStamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
  }
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

// The state of the file as read: its tree, and whether it held something that
// could not be read as a hive (which must then not be overwritten unseen).
struct FileContent {
  RegKeyNode tree;
  FileStamp stamp;
  bool damaged = false;
};

class CFd {
public:
  explicit CFd(int fd = -1) : m_fd(fd) {}
  ~CFd() { Close(); }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return m_fd; }
  bool Close() {
    const int fd = std::exchange(m_fd, -1);
    return fd < 0 || ::close(fd) == 0;
  }

private:
  int m_fd;
};

bool ReadAll(int fd, std::string& out) {
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

FileContent LoadFile(const std::filesystem::path& file) {
  FileContent content;
  // Non-blocking, so that a pipe put in the file's place cannot stall the agent.
  CFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) {
    // A missing hive is simply empty; any other failure hides settings that
    // may exist, so the file counts as damaged and is kept aside on a write.
    content.damaged = errno != ENOENT;
    return content;
  }
  struct stat st {};
  std::string text;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || !ReadAll(fd.Get(), text)) {
    content.damaged = true;
    return content;
  }
  content.stamp = FileStamp::Of(st);
  content.damaged = !CRegFile::Parse(text, content.tree);
  return content;
}

// Creates the missing folders of a path, private to the user as the XDG rules ask.
bool MakeFolders(const std::filesystem::path& folder) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SyncFolder(const std::filesystem::path& folder) {
  CFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.Get() >= 0 && ::fsync(fd.Get()) == 0;
}

std::filesystem::path WithSuffix(const std::filesystem::path& file, const char* suffix) {
  std::filesystem::path p = file;
  p += suffix;
  return p;
}

// Walks a key path below `node`; nullptr when a part is missing.
template <typename Node>
Node* Walk(Node* node, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (node == nullptr) return nullptr;
    node = node->FindSubkey(part);
  }
  return node;
}

enum class Change { Failed, Unchanged, Changed };

}  // namespace

struct CRegistry::Impl {
  std::filesystem::path file;
  std::string rootName;
  mutable std::mutex mutex;
  FileContent cache;
  bool loaded = false;

  // Brings the cached tree up to date with the file when it changed on disk.
  void Refresh() {
    if (file.empty()) {
      cache = FileContent{};
      return;
    }
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
      if (loaded && cache.stamp == FileStamp::Of(st)) return;
    } else if (errno == ENOENT && loaded && !cache.stamp.exists && !cache.damaged) {
      return;
    }
    cache = LoadFile(file);
    loaded = true;
  }

  const RegKeyNode* FindKey(const std::string& key) {
    Refresh();
    const std::vector<std::string> parts = CRegFile::SplitPath(key);
    return Walk(cache.tree.FindSubkey(rootName), parts);
  }

  // One write: under the lock shared with other processes, re-read the file,
  // apply the change and replace the file by a fully written copy.
  template <typename F>
  bool Modify(const std::string& key, F change) {
    const std::vector<std::string> parts = CRegFile::SplitPath(key);
    if (file.empty() || parts.size() + 1 > CRegFile::kMaxDepth) return false;
    for (const std::string& part : parts) {
      if (!CRegFile::IsValidKeyName(part)) return false;
    }

    std::lock_guard<std::mutex> guard(mutex);
    const std::filesystem::path folder = file.parent_path();
    if (!folder.empty() && !MakeFolders(folder)) return false;
    CFd lock(::open(WithSuffix(file, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0) return false;
    while (::flock(lock.Get(), LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }

    FileContent content = LoadFile(file);
    RegKeyNode& root = content.tree.AddSubkey(rootName);
    const Change result = change(root, parts);
    if (result != Change::Changed) {
      cache = std::move(content);
      loaded = true;
      return result == Change::Unchanged;
    }
    if (!_Replace(content)) return false;
    cache = std::move(content);
    loaded = true;
    return true;
  }

  bool _Replace(FileContent& content) {
    const std::string text = CRegFile::Write(content.tree);
    const std::filesystem::path temp = WithSuffix(file, ".tmp");
    {
      CFd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
      if (out.Get() < 0) return false;
      if (!WriteAll(out.Get(), text) || ::fsync(out.Get()) != 0 || !out.Close()) {
        ::unlink(temp.c_str());
        return false;
      }
    }
    // Whatever could not be read is kept beside the new file, never lost.
    if (content.damaged && ::rename(file.c_str(), WithSuffix(file, ".bad").c_str()) != 0 && errno != ENOENT) {
      ::unlink(temp.c_str());
      return false;
    }
    if (::rename(temp.c_str(), file.c_str()) != 0) {
      ::unlink(temp.c_str());
      return false;
    }
    SyncFolder(file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path());
    struct stat st {};
    content.damaged = false;
    content.stamp = ::stat(file.c_str(), &st) == 0 ? FileStamp::Of(st) : FileStamp{};
    return true;
  }
};

CRegistry::CRegistry(std::filesystem::path file, RegHive hive) : m_impl(std::make_unique<Impl>()) {
  m_impl->file = std::move(file);
  m_impl->rootName = RootName(hive);
}

CRegistry::~CRegistry() = default;

std::filesystem::path CRegistry::HivePath(RegHive hive) {
  const std::string folder =
      hive == RegHive::CurrentUser ? CShellFolders::GetConfigFolder() : CShellFolders::GetAppDataFolder();
  if (folder.empty()) return {};
  const char* name = "user.reg";
  if (hive == RegHive::ClassesRoot) name = "classes.reg";
  if (hive == RegHive::LocalMachine) name = "machine.reg";
  return std::filesystem::path(folder) / "Tavelnor" / name;
}

CRegistry& CRegistry::Hive(RegHive hive) {
  // One object per hive file for the life of the process; the place is looked
  // up on every call, so a changed environment selects another file. Never
  // destroyed, so that objects torn down at exit may still use it.
  static std::mutex mutex;
  static auto* hives = new std::map<std::pair<RegHive, std::string>, std::unique_ptr<CRegistry>>();
  const std::filesystem::path path = HivePath(hive);
  std::lock_guard<std::mutex> guard(mutex);
  auto& slot = (*hives)[{hive, path.string()}];
  if (!slot) slot = std::make_unique<CRegistry>(path, hive);
  return *slot;
}

const std::filesystem::path& CRegistry::File() const {
  return m_impl->file;
}

bool CRegistry::KeyExists(const std::string& key) const {
  std::lock_guard<std::mutex> guard(m_impl->mutex);
  // The hive root itself always exists, even in an empty file.
  return CRegFile::SplitPath(key).empty() || m_impl->FindKey(key) != nullptr;
}

std::optional<RegValue> CRegistry::GetValue(const std::string& key, const std::string& name) const {
  std::lock_guard<std::mutex> guard(m_impl->mutex);
  const RegKeyNode* node = m_impl->FindKey(key);
  if (node == nullptr) return std::nullopt;
  const RegValue* value = node->FindValue(name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

bool CRegistry::GetString(const std::string& key, const std::string& name, std::string& out) const {
  std::optional<RegValue> value = GetValue(key, name);
  if (!value || value->type != RegType::String) return false;
  out = std::move(value->text);
  return true;
}

bool CRegistry::GetDword(const std::string& key, const std::string& name, uint32_t& out) const {
  std::optional<RegValue> value = GetValue(key, name);
  if (!value || value->type != RegType::Dword) return false;
  out = value->dword;
  return true;
}

namespace {

RegKeyNode& CreatePath(RegKeyNode& root, const std::vector<std::string>& parts) {
  RegKeyNode* node = &root;
  for (const std::string& part : parts) node = &node->AddSubkey(part);
  return *node;
}

}  // namespace

bool CRegistry::CreateKey(const std::string& key) {
  return m_impl->Modify(key, [](RegKeyNode& root, const std::vector<std::string>& parts) {
    if (Walk(&root, parts) != nullptr) return Change::Unchanged;
    CreatePath(root, parts);
    return Change::Changed;
  });
}

bool CRegistry::SetString(const std::string& key, const std::string& name, const std::string& text) {
  return m_impl->Modify(key, [&](RegKeyNode& root, const std::vector<std::string>& parts) {
    RegValue value;
    value.name = name;
    value.type = RegType::String;
    value.text = text;
    CreatePath(root, parts).SetValue(value);
    return Change::Changed;
  });
}

bool CRegistry::SetDword(const std::string& key, const std::string& name, uint32_t dword) {
  return m_impl->Modify(key, [&](RegKeyNode& root, const std::vector<std::string>& parts) {
    RegValue value;
    value.name = name;
    value.type = RegType::Dword;
    value.dword = dword;
    CreatePath(root, parts).SetValue(value);
    return Change::Changed;
  });
}

bool CRegistry::DeleteValue(const std::string& key, const std::string& name) {
  return m_impl->Modify(key, [&](RegKeyNode& root, const std::vector<std::string>& parts) {
    RegKeyNode* node = Walk(&root, parts);
    return node != nullptr && node->RemoveValue(name) ? Change::Changed : Change::Failed;
  });
}

bool CRegistry::DeleteKey(const std::string& key) {
  return m_impl->Modify(key, [](RegKeyNode& root, std::vector<std::string> parts) {
    if (parts.empty()) return Change::Failed;  // the hive root cannot go
    const std::string last = parts.back();
    parts.pop_back();
    RegKeyNode* parent = Walk(&root, parts);
    return parent != nullptr && parent->RemoveSubkey(last) ? Change::Changed : Change::Failed;
  });
}

std::vector<std::string> CRegistry::EnumSubkeys(const std::string& key) const {
  std::lock_guard<std::mutex> guard(m_impl->mutex);
  std::vector<std::string> names;
  if (const RegKeyNode* node = m_impl->FindKey(key)) {
    for (const RegKeyNode& sub : node->subkeys) names.push_back(sub.name);
  }
  return names;
}

std::vector<RegValue> CRegistry::EnumValues(const std::string& key) const {
  std::lock_guard<std::mutex> guard(m_impl->mutex);
  if (const RegKeyNode* node = m_impl->FindKey(key)) return node->values;
  return {};
}
