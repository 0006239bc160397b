#include "platform/dos_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <cerrno>

#include "platform/dos_path.h"
#include "platform/dos_path_internal.h"

namespace platform {
namespace {

IoCode LastError() { return IoCodeFromErrno(errno); }

bool StatOf(const std::string& path, struct stat& st) {
  // A link whose target is gone still is an entry: take the link itself.
  return stat(path.c_str(), &st) == 0 || lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ParentHost(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

uint8_t AttributesOf(const std::string& path, std::string_view hostName, const struct stat& st) {
  uint8_t a = S_ISDIR(st.st_mode) ? attr::kDirectory : attr::kArchive;
  // Read-only: nobody may write the file, or at least this process may not
  // (the first also holds for the superuser, who may write anything).
  if (!S_ISDIR(st.st_mode) &&
      ((st.st_mode & 0222) == 0 ||
       (access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS))))
    a |= attr::kReadOnly;
  if (hostName.size() > 1 && hostName[0] == '.' && hostName != "..") a |= attr::kHidden;
  return a;
}

DirEntry EntryOf(const std::string& path, std::string_view hostName, const struct stat& st,
                 NameCode code) {
  DirEntry e;
  e.name = Utf8ToName(hostName, code);
  e.attributes = AttributesOf(path, hostName, st);
  e.dosDateTime = DosDateTimeFromTime(st.st_mtime);
  e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  return e;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// True when the host folder is, or holds, a current folder.
bool HoldsCurrentFolder(const std::string& folder, bool allDrives) {
  for (const auto& cur : detail::CurrentHostFolders(allDrives))
    if (detail::HostPathWithin(cur, folder)) return true;
  return false;
}

// The last name of a DOS path as it was written (for a new name's case).
bool RequestedLastName(DosName path, std::string& name) {
  detail::ParsedPath parsed;
  if (detail::ParseDosPath(path, false, parsed) || parsed.names.empty() ||
      parsed.names.back() == "..")
    return false;
  name = parsed.names.back();
  return true;
}

// Copies host file src to dst (created or emptied; with exclusive, dst must
// not exist), then gives dst the permission bits and last-write time of src.
// A failure removes what was made of dst.
IoCode CopyHostFile(const std::string& src, const std::string& dst, bool exclusive) {
  int in = open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (in < 0) return LastError();
  struct stat st;
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return io::kAccessDenied;
  }
  int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | (exclusive ? O_EXCL : 0),
                 0600);
  if (out < 0) {
    IoCode rc = LastError();
    close(in);
    return rc;
  }
  IoCode rc = io::kOk;
  static constexpr size_t kBlock = 64 * 1024;
  std::string buf(kBlock, '\0');
  for (;;) {
    ssize_t n = read(in, buf.data(), kBlock);
    if (n < 0) {
      if (errno == EINTR) continue;
      rc = LastError();
      break;
    }
    if (n == 0) break;
    size_t put = 0;
    while (put < static_cast<size_t>(n)) {
      ssize_t w = write(out, buf.data() + put, static_cast<size_t>(n) - put);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        rc = w == 0 ? io::kShortWrite : LastError();
        break;
      }
      put += static_cast<size_t>(w);
    }
    if (rc) break;
  }
  if (rc == io::kOk) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = st.st_mtim;
    if (futimens(out, times) != 0 || fchmod(out, st.st_mode & 07777) != 0) rc = LastError();
  }
  close(in);
  if (close(out) != 0 && rc == io::kOk && errno != EINTR) rc = LastError();
  if (rc) unlink(dst.c_str());
  return rc;
}

}  // namespace

IoCode FindFirst(DosName pattern, uint8_t attributes, DirSearch& search, DirEntry& entry) {
  FindClose(search);
  entry = DirEntry{};
  detail::ParsedPath parsed;
  if (IoCode rc = detail::ParseDosPath(pattern, true, parsed)) return rc;
  HostPath folder;
  if (IoCode rc = detail::ResolveParsed(parsed, folder)) return rc;
  if (!folder.exists || !IsFolder(folder.path)) return io::kPathNotFound;
  if (!parsed.hasPattern) return io::kFileNotFound;

  DIR* dir = opendir(folder.path.c_str());
  if (!dir) return LastError();
  const uint8_t hiddenBits = attr::kHidden | attr::kSystem | attr::kDirectory;
  struct Found {
    std::u32string key;
    std::string hostName;
    DirEntry entry;
  };
  std::vector<Found> found;
  auto consider = [&](std::string_view hostName, const std::string& path) {
    if (!MatchesDosPattern(hostName, parsed.pattern)) return;
    struct stat st;
    if (!StatOf(path, st)) return;  // gone meanwhile
    DirEntry e = EntryOf(path, hostName, st, pattern.code);
    if (e.attributes & hiddenBits & ~attributes) return;
    found.push_back({FoldedName(hostName), std::string(hostName), std::move(e)});
  };
  while (dirent* d = readdir(dir)) {
    std::string_view n = d->d_name;
    if (n == "." || n == "..") continue;
    std::string path = folder.path == "/" ? "/" + std::string(n) : folder.path + "/" + std::string(n);
    consider(n, path);
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.key != b.key ? a.key < b.key : a.hostName < b.hostName;
  });
  // "." and ".." lead, as Windows lists them, in every folder but a root.
  std::vector<DirEntry> entries;
  if (!folder.isRoot()) {
    std::vector<Found> dots;
    std::swap(found, dots);
    consider(".", folder.path);
    consider("..", ParentHost(folder.path));
    std::swap(found, dots);
    for (auto& d : dots) entries.push_back(std::move(d.entry));
  }
  for (auto& f : found) entries.push_back(std::move(f.entry));
  if (entries.empty()) return io::kFileNotFound;
  search.entries_ = std::move(entries);
  search.next_ = 1;
  search.active_ = true;
  entry = search.entries_[0];
  return io::kOk;
}

IoCode FindNext(DirSearch& search, DirEntry& entry) {
  entry = DirEntry{};
  if (!search.active_ || search.next_ >= search.entries_.size()) {
    FindClose(search);
    return io::kNoMoreFiles;
  }
  entry = search.entries_[search.next_++];
  return io::kOk;
}

void FindClose(DirSearch& search) {
  search.entries_.clear();
  search.entries_.shrink_to_fit();
  search.next_ = 0;
  search.active_ = false;
}

IoCode GetFileInfo(DosName path, DirEntry& entry) {
  entry = DirEntry{};
  HostPath hp;
  if (IoCode rc = ResolvePath(path, hp)) return rc;
  if (IoCode rc = MustExist(hp)) return rc;
  struct stat st;
  if (!StatOf(hp.path, st)) return LastError();
  const std::string name = hp.isRoot() ? std::string() : hp.parts.back();
  entry = EntryOf(hp.path, name, st, path.code);
  return io::kOk;
}

IoCode GetFileStamp(DosName path, uint32_t& dosDateTime) {
  dosDateTime = 0;
  DirEntry e;
  if (IoCode rc = GetFileInfo(path, e)) return rc;
  dosDateTime = e.dosDateTime;
  return io::kOk;
}

IoCode SetFileStamp(DosName path, uint32_t dosDateTime) {
  HostPath hp;
  if (IoCode rc = ResolvePath(path, hp)) return rc;
  if (IoCode rc = MustExist(hp)) return rc;
  time_t t;
  if (!TimeFromDosDateTime(dosDateTime, t)) return io::kInvalidParameter;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  if (utimensat(AT_FDCWD, hp.path.c_str(), times, 0) != 0) return LastError();
  return io::kOk;
}

bool FileExists(DosName path) {
  HostPath hp;
  return ResolvePath(path, hp) == io::kOk && hp.exists && !IsFolder(hp.path);
}

bool FolderExists(DosName path) {
  HostPath hp;
  return ResolvePath(path, hp) == io::kOk && hp.exists && IsFolder(hp.path);
}

IoCode DeleteFile(DosName path) {
  HostPath hp;
  if (IoCode rc = ResolvePath(path, hp)) return rc;
  if (IoCode rc = MustExist(hp)) return rc;
  struct stat st;
  if (lstat(hp.path.c_str(), &st) != 0) return LastError();
  if (S_ISDIR(st.st_mode)) return io::kAccessDenied;
  if (S_ISREG(st.st_mode) && (AttributesOf(hp.path, hp.parts.back(), st) & attr::kReadOnly))
    return io::kAccessDenied;
  if (unlink(hp.path.c_str()) != 0) return LastError();
  return io::kOk;
}

IoCode RenameFile(DosName from, DosName to) {
  HostPath src, dst;
  if (IoCode rc = ResolvePath(from, src)) return rc;
  if (IoCode rc = MustExist(src)) return rc;
  if (IoCode rc = ResolvePath(to, dst)) return rc;
  if (!dst.folderExists) return io::kPathNotFound;
  if (src.isRoot() || dst.isRoot()) return io::kAccessDenied;
  const bool srcIsFolder = IsFolder(src.path);
  // Windows keeps a process's working folder from being moved away.
  if (srcIsFolder && HoldsCurrentFolder(src.path, false)) return io::kAccessDenied;

  std::string target = dst.path;
  if (dst.exists) {
    // Only the source itself may stand there: a change of case.
    if (!SameFile(src.path, dst.path)) return io::kAccessDenied;
    std::string wanted;
    if (!RequestedLastName(to, wanted)) return io::kAccessDenied;
    const std::string parent = ParentHost(dst.path);
    target = parent == "/" ? "/" + wanted : parent + "/" + wanted;
    if (target == src.path) return io::kOk;
    if (rename(src.path.c_str(), target.c_str()) != 0) return LastError();
    return io::kOk;
  }
  if (srcIsFolder && detail::HostPathWithin(dst.path, src.path)) return io::kAccessDenied;

  if (renameat2(AT_FDCWD, src.path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return io::kOk;
  int err = errno;
  if (err == EINVAL || err == ENOSYS) {
    // A file system without the no-replace rename: test, then rename.
    struct stat st;
    if (lstat(target.c_str(), &st) == 0) return io::kAccessDenied;
    if (rename(src.path.c_str(), target.c_str()) == 0) return io::kOk;
    err = errno;
  }
  if (err == EXDEV && !srcIsFolder) {
    // Another host file system: move the file as Windows does, by copying it
    // and deleting the original.
    if (IoCode rc = CopyHostFile(src.path, target, true)) return rc;
    if (unlink(src.path.c_str()) != 0) {
      IoCode rc = LastError();
      unlink(target.c_str());
      return rc;
    }
    return io::kOk;
  }
  return IoCodeFromErrno(err);
}

IoCode CopyFile(DosName from, DosName to, bool failIfExists) {
  HostPath src, dst;
  if (IoCode rc = ResolvePath(from, src)) return rc;
  if (IoCode rc = MustExist(src)) return rc;
  if (IsFolder(src.path)) return io::kAccessDenied;
  if (IoCode rc = ResolvePath(to, dst)) return rc;
  if (!dst.folderExists) return io::kPathNotFound;
  if (dst.isRoot()) return io::kAccessDenied;
  if (dst.exists) {
    if (failIfExists || IsFolder(dst.path) || SameFile(src.path, dst.path))
      return io::kAccessDenied;
  }
  return CopyHostFile(src.path, dst.path, false);
}

IoCode MakeFolder(DosName path) {
  HostPath hp;
  if (IoCode rc = ResolvePath(path, hp)) return rc;
  if (!hp.folderExists) return io::kPathNotFound;
  if (hp.exists) return io::kAccessDenied;
  if (mkdir(hp.path.c_str(), 0777) != 0) return LastError();
  return io::kOk;
}

IoCode RemoveFolder(DosName path) {
  HostPath hp;
  if (IoCode rc = ResolvePath(path, hp)) return rc;
  if (!hp.exists || !IsFolder(hp.path)) return io::kPathNotFound;
  if (hp.isRoot()) return io::kAccessDenied;
  // The host would remove a working folder and leave the process in a folder
  // that no longer exists; DOS refuses, and so do we.
  if (HoldsCurrentFolder(hp.path, true)) return io::kCannotRemoveFolder;
  struct stat st;
  if (lstat(hp.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return io::kPathNotFound;
  if (rmdir(hp.path.c_str()) != 0) return LastError();
  return io::kOk;
}

DriveKind GetDriveKind(char letter) {
  for (const auto& d : DriveTable()) {
    if (d.letter != (letter >= 'a' && letter <= 'z' ? letter - 32 : letter)) continue;
    if (d.hostRoot.rfind("/media/", 0) == 0 || d.hostRoot.rfind("/run/media/", 0) == 0)
      return IsFolder(d.hostRoot) ? DriveKind::Removable : DriveKind::Unknown;
    struct statfs fs;
    if (statfs(d.hostRoot.c_str(), &fs) != 0) return DriveKind::Unknown;
    switch (static_cast<unsigned long>(fs.f_type)) {
      case 0x6969UL:      // NFS
      case 0x517BUL:      // SMB
      case 0xFF534D42UL:  // CIFS
      case 0xFE534D42UL:  // SMB2
      case 0x01021997UL:  // 9P
      case 0x00C36400UL:  // Ceph
      case 0x5346414FUL:  // AFS
      case 0x73757245UL:  // Coda
        return DriveKind::Remote;
      case 0x9660UL:      // ISO 9660
      case 0x15013346UL:  // UDF
        return DriveKind::CdRom;
      case 0x01021994UL:  // tmpfs
      case 0x858458F6UL:  // ramfs
        return DriveKind::RamDisk;
      default:
        return DriveKind::Fixed;
    }
  }
  return DriveKind::Unknown;
}

namespace {

std::string labelFolder = "/dev/disk/by-label";

// udev writes unsafe bytes of a label as \xHH escapes ("KONYV\x20ADAT").
std::string DecodeUdevName(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
      out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += name[i];
    }
  }
  return out;
}

// The label of the block device that holds hostFolder's file system.
std::string FileSystemLabel(const std::string& hostFolder) {
  struct stat folder;
  if (stat(hostFolder.c_str(), &folder) != 0) return {};
  DIR* dir = opendir(labelFolder.c_str());
  if (!dir) return {};
  std::string label;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    struct stat dev;
    const std::string entry = labelFolder + "/" + e->d_name;
    if (stat(entry.c_str(), &dev) == 0 && S_ISBLK(dev.st_mode) && dev.st_rdev == folder.st_dev) {
      label = DecodeUdevName(e->d_name);
      break;
    }
  }
  closedir(dir);
  return label;
}

}  // namespace

void SetLabelFolder(std::string hostFolder) { labelFolder = std::move(hostFolder); }

std::string DriveLabel(char letter, NameCode code) {
  for (const auto& d : DriveTable())
    if (d.letter == (letter >= 'a' && letter <= 'z' ? letter - 32 : letter))
      return Utf8ToName(d.label.empty() ? FileSystemLabel(d.hostRoot) : d.label, code);
  return {};
}

IoCode DriveSpace(char letter, uint64_t& totalBytes, uint64_t& freeBytes) {
  totalBytes = freeBytes = 0;
  for (const auto& d : DriveTable()) {
    if (d.letter != (letter >= 'a' && letter <= 'z' ? letter - 32 : letter)) continue;
    struct statvfs vfs;
    if (!IsFolder(d.hostRoot)) return io::kDriveNotReady;
    if (statvfs(d.hostRoot.c_str(), &vfs) != 0) return LastError();
    totalBytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    freeBytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return io::kOk;
  }
  return io::kInvalidDrive;
}

}  // namespace platform
