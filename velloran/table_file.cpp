/*
 * Files of ReadTable and WriteTable. A table is written to a new file with
 * a unique name in the target's folder, created exclusively (never through
 * a link), flushed to the disk and renamed over the target, so that the old
 * file stays whole until the new one is. A symbolic link at the path stays
 * a link: the file it leads to is replaced. Only regular files are
 * replaced; a device, pipe or folder at the path is refused.
 */
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "velloran/table_session.h"

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

/* fsync of the folder that holds path, so that the rename is on the disk
   too; file systems that cannot sync a folder say EINVAL. */
int syncFolder(const char *path) {
  size_t length = folderLength(path);
  char folder[PATH_MAX];
  if (length == 0)
    memcpy(folder, ".", 2);
  else {
    memcpy(folder, path, length);
    folder[length] = 0;
  }
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
  struct stat st;
  mode_t mode;
  if (stat(target, &st) == 0) {
    if (!S_ISREG(st.st_mode))
      fail(L, s, "cannot write '%s': not a regular file (only files are replaced)", path);
    mode = st.st_mode & 07777;
  } else if (errno == ENOENT) {
    mode = newFileMode();
  } else {
    int error = errno;
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
  }

  /* <folder>/.<name>.XXXXXX, made unique and created by mkostemp */
  size_t folder = folderLength(target), length = strlen(target);
  char *name = static_cast<char *>(malloc(length + sizeof "/..XXXXXX"));
  if (!name)
    fail(L, s, "not enough memory");
  memcpy(name, target, folder);
  name[folder] = '.';
  memcpy(name + folder + 1, target + folder, length - folder);
  memcpy(name + length + 1, ".XXXXXX", sizeof ".XXXXXX");
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
  if (fchmod(fd, mode) != 0) {
    int error = errno;
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
  }
}

void commitReplacement(lua_State *L, Session *s, const char *path) {
  if (!finishSession(s))
    fail(L, s, "cannot write '%s': %s", path, strerror(s->ioError ? s->ioError : EIO));
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
