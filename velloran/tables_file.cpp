/*
 * Files of ReadTable and WriteTable. A table is written to a new file with
 * a unique name in the target's folder, created exclusively (never through
 * a link), flushed to the disk and renamed over the target, so that the old
 * file stays whole until the new one is. The new file gets the old one's
 * permission bits, and its owner and group where the writer may set them;
 * where it may not, it gets no setuid, setgid or sticky bit, which would
 * then stand for the writer. A symbolic link at the path stays a link: the
 * file it leads to is replaced. Only regular files are replaced; a device,
 * pipe or folder at the path is refused.
 */
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "velloran/tables_session.h"

namespace velloran {

namespace {

enum { LINK_LIMIT = 40 };

/* Copies text to a new C string, raising when memory runs out. */
char *copyText(lua_State *L, Session *s, const char *text, size_t length) {
  char *copy = static_cast<char *>(malloc(length + 1));
  if (!copy)
    fail(L, s, "not enough memory");
  memcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}

/* Length of the folder part of path, with its last '/'; 0 when none. */
size_t folderLength(const char *path) {
  const char *slash = strrchr(path, '/');
  return slash ? static_cast<size_t>(slash - path) + 1 : 0;
}

/* Follows the symbolic links at path (not those in its folders, which the
   kernel follows itself) into s->targetPath. */
void resolveLinks(lua_State *L, Session *s, const char *path) {
  char current[PATH_MAX], link[PATH_MAX];
  size_t length = strlen(path);
  if (length >= sizeof current)
    fail(L, s, "cannot write '%s': %s", path, strerror(ENAMETOOLONG));
  memcpy(current, path, length + 1);
  for (int hops = 0;; hops++) {
    struct stat st;
    if (lstat(current, &st) != 0 || !S_ISLNK(st.st_mode))
      break;
    if (hops == LINK_LIMIT)
      fail(L, s, "cannot write '%s': %s", path, strerror(ELOOP));
    ssize_t n = readlink(current, link, sizeof link);
    if (n < 0 || static_cast<size_t>(n) >= sizeof link)
      fail(L, s, "cannot write '%s': %s", path, strerror(n < 0 ? errno : ENAMETOOLONG));
    /* A relative link is relative to the folder that holds it. */
    size_t keep = link[0] == '/' ? 0 : folderLength(current);
    if (keep + static_cast<size_t>(n) >= sizeof current)
      fail(L, s, "cannot write '%s': %s", path, strerror(ENAMETOOLONG));
    memcpy(current + keep, link, static_cast<size_t>(n));
    current[keep + static_cast<size_t>(n)] = 0;
  }
  s->targetPath = copyText(L, s, current, strlen(current));
}

/* The permission bits a new file gets from the process's umask. */
mode_t newFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

/* The folder part of path (shorter than PATH_MAX, as resolveLinks made
   it) into folder; "." when there is none. */
void folderOf(const char *path, char folder[PATH_MAX]) {
  size_t length = folderLength(path);
  if (length == 0)
    memcpy(folder, ".", 2);
  else {
    memcpy(folder, path, length);
    folder[length] = 0;
  }
}

/* The bytes of the target's name that the temporary name .<name>.XXXXXX
   keeps: all of them, unless the folder's limit on names would then be
   exceeded. */
size_t tempNameLength(const char *target) {
  char folder[PATH_MAX];
  folderOf(target, folder);
  long limit = pathconf(folder, _PC_NAME_MAX);
  size_t room = limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
  size_t extra = sizeof "..XXXXXX" - 1, length = strlen(target + folderLength(target));
  room = room > extra ? room - extra : 0;
  return length < room ? length : room;
}

/* The old file's owner and group on the new file fd, where the writer may
   set them; the mode for it: the old permission bits, without setuid,
   setgid and sticky where the owner or group is not the old one. */
mode_t takeOwner(int fd, const struct stat *old) {
  struct stat st;
  bool same = fstat(fd, &st) == 0 && st.st_uid == old->st_uid && st.st_gid == old->st_gid;
  if (same || fchown(fd, old->st_uid, old->st_gid) == 0)
    return old->st_mode & 07777;
  return old->st_mode & 0777;
}

/* fsync of the folder that holds path, so that the rename is on the disk
   too; file systems that cannot sync a folder say EINVAL. */
int syncFolder(const char *path) {
  char folder[PATH_MAX];
  folderOf(path, folder);
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  int error = fsync(fd) != 0 && errno != EINVAL ? errno : 0;
  close(fd);
  return error;
}

} // namespace

void openInputFile(lua_State *L, Session *s, const char *path) {
  s->file = fopen(path, "rb");
  if (!s->file) {
    int error = errno;
    fail(L, s, "cannot open '%s': %s", path, strerror(error));
  }
  struct stat st;
  if (fstat(fileno(s->file), &st) == 0 && S_ISDIR(st.st_mode))
    fail(L, s, "cannot read '%s': is a directory", path);
}

void openReplacement(lua_State *L, Session *s, const char *path) {
  resolveLinks(L, s, path);
  const char *target = s->targetPath;
  struct stat old;
  bool exists = stat(target, &old) == 0;
  if (exists && !S_ISREG(old.st_mode))
    fail(L, s, "cannot write '%s': not a regular file (only files are replaced)", path);
  if (!exists && errno != ENOENT) {
    int error = errno;
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
  }

  /* <folder>/.<name>.XXXXXX, the name cut where it would be too long,
     made unique and created by mkostemp */
  size_t folder = folderLength(target), kept = tempNameLength(target);
  char *name = static_cast<char *>(malloc(folder + kept + sizeof "..XXXXXX"));
  if (!name)
    fail(L, s, "not enough memory");
  memcpy(name, target, folder);
  name[folder] = '.';
  memcpy(name + folder + 1, target + folder, kept);
  memcpy(name + folder + 1 + kept, ".XXXXXX", sizeof ".XXXXXX");
  int fd = mkostemp(name, O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    int error = errno;
    free(name); /* nothing was created: nothing to remove */
    fail(L, s, "cannot open '%s': %s", path, strerror(error));
  }
  s->tempPath = name;
  s->file = fdopen(fd, "wb");
  if (!s->file) {
    int error = errno;
    close(fd);
    fail(L, s, "cannot open '%s': %s", path, strerror(error));
  }
  /* The owner first: changing it may clear setuid and setgid. */
  mode_t mode = exists ? takeOwner(fd, &old) : newFileMode();
  if (fchmod(fd, mode) != 0) {
    int error = errno;
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
  }
}

void commitReplacement(lua_State *L, Session *s, const char *path) {
  if (!finishSession(s))
    failStream(L, s, "write");
  if (rename(s->tempPath, s->targetPath) != 0) {
    int error = errno;
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
  }
  free(s->tempPath);
  s->tempPath = nullptr;
  int error = syncFolder(s->targetPath);
  if (error)
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
}

} // namespace velloran
