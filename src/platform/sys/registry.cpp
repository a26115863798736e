#include "platform/sys/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kSignature[8] = {'Q', 'E', 'L', 'R', 'E', 'G', '\r', '\n'};
// The largest well-formed file: header plus every value at its longest.
constexpr size_t kMaxFile = 12 + REG_MAX_VALUES * (1 + 1 + REG_MAX_NAME + 2 + REG_MAX_DATA);

bool gFailBeforeRename = false;

int fail(RegError* err, int code, const char* format, ...) __attribute__((format(printf, 3, 4)));
int fail(RegError* err, int code, const char* format, ...) {
  if (err) {
    err->code = code;
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(err->text, sizeof err->text, format, ap);
    va_end(ap);
  }
  return 0;
}

int find(const RegKey* key, const char* name) {
  for (int i = 0; i < key->count; i++)
    if (std::strcmp(key->values[i].name, name) == 0) return i;
  return -1;
}

int damaged(RegKey* key, RegError* err, const char* what) {
  regClear(key);
  return fail(err, REG_ERR_DAMAGED, "damaged key file: %s", what);
}

RegValue* slotFor(RegKey* key, const char* name, RegError* err) {
  size_t len = std::strlen(name);
  if (len == 0 || len > REG_MAX_NAME) {
    fail(err, REG_ERR_TOO_LONG, "value name of %zu bytes (1 to %d allowed)", len, REG_MAX_NAME);
    return nullptr;
  }
  int i = find(key, name);
  if (i < 0) {
    if (key->count >= REG_MAX_VALUES) {
      fail(err, REG_ERR_NO_SLOTS, "no free slots for '%s', all %d occupied", name, REG_MAX_VALUES);
      return nullptr;
    }
    i = key->count++;
    std::memcpy(key->values[i].name, name, len + 1);
  }
  return &key->values[i];
}

void put16(std::string* out, unsigned v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

// Creates path and its parents; true when it is a directory afterwards.
bool makeDirs(const std::string& path) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeDirs(path.substr(0, slash))) return false;
  return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void regClear(RegKey* key) { key->count = 0; }

int regParse(RegKey* key, const uint8_t* data, size_t size, RegError* err) {
  regClear(key);
  if (size > kMaxFile) return damaged(key, err, "longer than any key can be");
  if (size < 12 || std::memcmp(data, kSignature, sizeof kSignature) != 0)
    return damaged(key, err, "no signature");
  unsigned version = data[8] | data[9] << 8;
  unsigned count = data[10] | data[11] << 8;
  if (version != REG_VERSION) return damaged(key, err, "unknown version");
  if (count > REG_MAX_VALUES) return damaged(key, err, "too many values");
  size_t pos = 12;
  for (unsigned i = 0; i < count; i++) {
    if (size - pos < 2) return damaged(key, err, "value header cut short");
    uint8_t type = data[pos], nameLen = data[pos + 1];
    pos += 2;
    if (type != REG_TYPE_SZ && type != REG_TYPE_DWORD) return damaged(key, err, "unknown value type");
    if (nameLen == 0 || nameLen > REG_MAX_NAME) return damaged(key, err, "bad name length");
    if (size - pos < nameLen + 2u) return damaged(key, err, "value name cut short");
    RegValue* v = &key->values[key->count];
    std::memcpy(v->name, data + pos, nameLen);
    v->name[nameLen] = '\0';
    if (std::strlen(v->name) != nameLen) return damaged(key, err, "NUL inside a value name");
    pos += nameLen;
    unsigned len = data[pos] | data[pos + 1] << 8;
    pos += 2;
    if (type == REG_TYPE_DWORD ? len != 4 : len > REG_MAX_DATA) return damaged(key, err, "bad data length");
    if (size - pos < len) return damaged(key, err, "value data cut short");
    if (find(key, v->name) >= 0) return damaged(key, err, "a value name twice");
    v->type = type;
    v->size = static_cast<uint16_t>(len);
    std::memcpy(v->data, data + pos, len);
    pos += len;
    key->count++;
  }
  if (pos != size) return damaged(key, err, "bytes after the last value");
  return 1;
}

std::string regImage(const RegKey* key) {
  std::string out(kSignature, sizeof kSignature);
  if (key->count < 0 || key->count > REG_MAX_VALUES) return {};
  put16(&out, REG_VERSION);
  put16(&out, static_cast<unsigned>(key->count));
  for (int i = 0; i < key->count; i++) {
    const RegValue& v = key->values[i];
    size_t nameLen = strnlen(v.name, sizeof v.name);
    if (nameLen == 0 || nameLen > REG_MAX_NAME || v.size > REG_MAX_DATA) return {};
    out.push_back(static_cast<char>(v.type));
    out.push_back(static_cast<char>(nameLen));
    out.append(v.name, nameLen);
    put16(&out, v.size);
    out.append(reinterpret_cast<const char*>(v.data), v.size);
  }
  return out;
}

int regLoad(RegKey* key, const char* path, RegError* err) {
  regClear(key);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(err, errno, "can't open '%s': %s", path, std::strerror(errno));
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return fail(err, REG_ERR_DAMAGED, "'%s' is not a regular file", path);
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxFile) {
    close(fd);
    return fail(err, REG_ERR_DAMAGED, "'%s' is %lld bytes, more than any key can be", path,
                static_cast<long long>(st.st_size));
  }
  // One byte more than the size asks for, so a file that grew meanwhile shows.
  std::string bytes(static_cast<size_t>(st.st_size) + 1, '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int e = errno;
      close(fd);
      return fail(err, e, "can't read '%s': %s", path, std::strerror(e));
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (!regParse(key, reinterpret_cast<const uint8_t*>(bytes.data()), got, err)) {
    if (err) {
      char why[sizeof err->text];
      std::memcpy(why, err->text, sizeof why);
      fail(err, REG_ERR_DAMAGED, "'%s': %s", path, why);
    }
    return 0;
  }
  return 1;
}

int regSave(const RegKey* key, const char* path, RegError* err) {
  std::string image = regImage(key);
  if (image.empty()) return fail(err, REG_ERR_DAMAGED, "the key to store for '%s' breaks the limits", path);
  std::string target = path;
  size_t slash = target.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
  if (!dir.empty() && !makeDirs(dir))
    return fail(err, errno ? errno : ENOTDIR, "can't create the folder '%s': %s", dir.c_str(),
                std::strerror(errno ? errno : ENOTDIR));
  std::string tmp = target + ".tmp-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return fail(err, errno, "can't create a temporary file beside '%s': %s", path, std::strerror(errno));
  if (!writeAll(fd, image) || fsync(fd) != 0) {
    int e = errno ? errno : EIO;
    close(fd);
    unlink(tmp.c_str());
    return fail(err, e, "can't write '%s': %s", tmp.c_str(), std::strerror(e));
  }
  fchmod(fd, 0644);
  if (close(fd) != 0) {
    int e = errno;
    unlink(tmp.c_str());
    return fail(err, e, "can't write '%s': %s", tmp.c_str(), std::strerror(e));
  }
  if (gFailBeforeRename) return fail(err, EIO, "stopped before renaming '%s' (test)", tmp.c_str());
  if (rename(tmp.c_str(), path) != 0) {
    int e = errno;
    unlink(tmp.c_str());
    return fail(err, e, "can't rename '%s' to '%s': %s", tmp.c_str(), path, std::strerror(e));
  }
  // The rename itself lasts only once the folder is on disk too.
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return 1;
}

int regGetSz(const RegKey* key, const char* name, char* out, size_t cap, size_t* length, RegError* err) {
  int i = find(key, name);
  if (i < 0 || key->values[i].type != REG_TYPE_SZ)
    return fail(err, REG_ERR_NOT_FOUND, "no text value '%s'", name);
  const RegValue& v = key->values[i];
  if (static_cast<size_t>(v.size) + 1 > cap)
    return fail(err, REG_ERR_TOO_LONG, "value '%s' of %u bytes doesn't fit in %zu", name, v.size, cap);
  std::memcpy(out, v.data, v.size);
  out[v.size] = '\0';
  if (length) *length = v.size;
  return 1;
}

int regGetDword(const RegKey* key, const char* name, uint32_t* value, RegError* err) {
  int i = find(key, name);
  if (i < 0 || key->values[i].type != REG_TYPE_DWORD)
    return fail(err, REG_ERR_NOT_FOUND, "no number value '%s'", name);
  const uint8_t* d = key->values[i].data;
  *value = static_cast<uint32_t>(d[0]) | static_cast<uint32_t>(d[1]) << 8 | static_cast<uint32_t>(d[2]) << 16 |
           static_cast<uint32_t>(d[3]) << 24;
  return 1;
}

int regSetSz(RegKey* key, const char* name, const char* data, size_t length, RegError* err) {
  if (length > REG_MAX_DATA)
    return fail(err, REG_ERR_TOO_LONG, "value '%s' of %zu bytes (at most %d)", name, length, REG_MAX_DATA);
  RegValue* v = slotFor(key, name, err);
  if (!v) return 0;
  v->type = REG_TYPE_SZ;
  v->size = static_cast<uint16_t>(length);
  if (length) std::memcpy(v->data, data, length);
  return 1;
}

int regSetDword(RegKey* key, const char* name, uint32_t value, RegError* err) {
  RegValue* v = slotFor(key, name, err);
  if (!v) return 0;
  v->type = REG_TYPE_DWORD;
  v->size = 4;
  for (int b = 0; b < 4; b++) v->data[b] = static_cast<uint8_t>(value >> (8 * b));
  return 1;
}

std::string regDataDir() {
  const char* own = std::getenv("QEL_DATA_DIR");
  if (own && *own) {
    std::string dir = own;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  std::string base;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    base = std::string(home) + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/qel";
}

std::string regKeyPath(const char* name) {
  std::string dir = regDataDir();
  if (dir.empty()) return {};
  return dir + "/" + name + ".reg";
}

void regSetFailBeforeRename(bool fail) { gFailBeforeRename = fail; }
