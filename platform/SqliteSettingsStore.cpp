// SPDX-License-Identifier: MIT
#include "platform/SqliteSettingsStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "platform/HmrError.h"
#include "platform/RegistryNames.h"
#include "platform/UserFolders.h"

// The file holds two tables. `keys` has one row per key below a root (the roots themselves
// always exist and have no row); `path` is the key's full path folded to lower case, `name`
// the last part of the path as it was first created. `vals` has one row per value; `path` is
// its key's folded path, `folded` its folded name, `name` the name as first created, `type` the
// registry's type number (1 REG_SZ, 4 REG_DWORD) and `data` the text or the number. Folded
// paths compare bytewise, so the keys below "a\b" are exactly those in ["a\b\", "a\b]").
//
// PRAGMA application_id marks the file as ours and PRAGMA user_version is the layout's
// version; a file without our mark that already has tables is refused rather than changed.

namespace hmr {
namespace {

constexpr int kApplicationId = 0x484D5231;  // "HMR1"
constexpr int kLayoutVersion = 1;
constexpr int kTypeString = 1;  // the registry's REG_SZ
constexpr int kTypeDword = 4;   // the registry's REG_DWORD

// A failed SQLite call, turned into an HmrError with the operation's context by guard().
struct SqliteFailure {
  std::string message;
  int code = SQLITE_ERROR;  // the primary result code
};

std::string lastPart(const std::string& path) {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folded paths of the keys strictly below `foldedPath`: ["P\", "P]"), everything but the
// root's own (absent) row for the root.
std::pair<std::string, std::optional<std::string>> descendantRange(
    const std::string& foldedPath) {
  if (foldedPath.empty()) return {std::string(), std::nullopt};
  return {foldedPath + '\\', foldedPath + ']'};
}

std::string sqliteCause(sqlite3* db) {
  std::string cause = db ? sqlite3_errmsg(db) : "out of memory";
  const int err = db ? sqlite3_system_errno(db) : 0;
  if (err != 0) cause += std::string(" (") + std::strerror(err) + ")";
  return cause;
}

SqliteFailure failureOf(sqlite3* db) {
  return {sqliteCause(db), db ? (sqlite3_extended_errcode(db) & 0xFF) : SQLITE_NOMEM};
}

// Why the store file cannot be written: the system's reason for the file, else for its folder
// (where the WAL files go).
std::string whyNotWritable(const std::string& path) {
  if (::access(path.c_str(), W_OK) != 0) return std::strerror(errno);
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0)
    return "its folder " + folder + ": " + std::strerror(errno);
  return "it was opened for reading only";
}

// The URI that opens `path` as a file nothing changes while it is open.
std::string immutableUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || std::strchr("/-._~", c) != nullptr) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri + "?immutable=1";
}

// Whether the file at `path` begins with the header of an SQLite database (a file that cannot
// be read is left to SQLite, which says why).
bool beginsAsDatabase(const std::string& path) {
  static constexpr char kHeader[] = "SQLite format 3";  // and its terminating zero: 16 bytes
  char start[sizeof kHeader] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;
  const ssize_t got = ::read(fd, start, sizeof start);
  ::close(fd);
  return got < 0 || (got == static_cast<ssize_t>(sizeof start) &&
                     std::memcmp(start, kHeader, sizeof kHeader) == 0);
}

bool pathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string describeValue(RegistryRoot root, std::string_view key, std::string_view name) {
  return "value \"" + std::string(name) + "\" of key " + fullKeyName(root, key);
}

}  // namespace

void SqliteSettingsStore::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

// A prepared statement; every failure throws SqliteFailure with SQLite's message.
class SqliteSettingsStore::Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
      throw failureOf(db);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, std::string_view text) {
    check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  Statement& bind(int index, const std::string& text) {
    return bind(index, std::string_view(text));
  }
  Statement& bind(int index, std::int64_t number) {
    check(sqlite3_bind_int64(stmt_, index, number));
    return *this;
  }
  Statement& bind(int index, RegistryRoot root) {
    return bind(index, static_cast<std::int64_t>(root));
  }
  Statement& bind(int index, const std::optional<std::string>& text) {
    if (text) return bind(index, std::string_view(*text));
    check(sqlite3_bind_null(stmt_, index));
    return *this;
  }

  // True when a row is ready, false when the statement has finished.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw failureOf(db_);
  }
  void run() {
    while (step()) {
    }
  }
  // Makes the statement ready to run again with new bindings.
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

  int columnType(int column) { return sqlite3_column_type(stmt_, column); }
  std::int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string text(int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
  }

 private:
  void check(int rc) {
    if (rc != SQLITE_OK) throw failureOf(db_);
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE on construction: the write lock is taken (waiting up to the busy timeout)
// before anything is read, so the transaction never has to restart. Rolled back on
// destruction unless committed.
class SqliteSettingsStore::Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) {
    if (sqlite3_db_readonly(db, "main") == 1) {
      const char* file = sqlite3_db_filename(db, "main");
      throw SqliteFailure{"the store is open for reading only: " +
                              whyNotWritable(file ? file : ""),
                          SQLITE_READONLY};
    }
    exec("BEGIN IMMEDIATE");
  }
  ~Transaction() {
    if (!committed_ && !sqlite3_get_autocommit(db_))
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit() {
    exec("COMMIT");
    committed_ = true;
  }

 private:
  void exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw failureOf(db_);
  }

  sqlite3* db_;
  bool committed_ = false;
};

namespace {

// Runs `body`, turning an SQLite failure into HmrError("Settings store PATH: WHAT: CAUSE").
template <typename Body>
auto guard(const std::string& path, const std::string& what, Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const SqliteFailure& failure) {
    throw HmrError("Settings store " + path + ": " + what + ": " + failure.message);
  }
}

}  // namespace

SqliteSettingsStore::SqliteSettingsStore(std::string path) : path_(std::move(path)) {
  // SQLite would wait on a FIFO and cannot keep a store in a folder or a device.
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    fail(S_ISDIR(st.st_mode) ? "is a folder, not a settings store file"
                             : "is not a regular file");
  // SQLite takes a file shorter than its header for an empty database and would write a new
  // store over it: only an empty file or one that begins as a database is opened.
  if (st.st_size > 0 && !beginsAsDatabase(path_))
    fail("is not an HMR settings store: file is not a database");
  if (!openForWriting()) openForReading();
}

bool SqliteSettingsStore::openForWriting() {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
  db_.reset(raw);
  if (rc != SQLITE_OK) {
    if (::access(path_.c_str(), R_OK) == 0) return false;  // there, but not for writing
    fail("cannot open the file: " + sqliteCause(raw));
  }
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // SQLite quietly opens a file it may not write for reading only.
  if (sqlite3_db_readonly(raw, "main") == 1) return false;
  // While another process creates the file or turns it to WAL mode, SQLite can report the
  // file as busy without waiting through the busy timeout; so the first steps are retried for
  // as long as that timeout would have waited.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  return guard(path_, "cannot open the file", [&] {
    for (;;) {
      try {
        // The layout is checked before anything is written: a file that is not ours is
        // refused as it is, not first switched to WAL mode.
        layoutIsOurs();
        Statement(raw, "PRAGMA journal_mode=WAL").run();
        createSchema();
        return true;
      } catch (const SqliteFailure& failure) {
        // A file that may be read but not written (or whose folder takes no WAL files).
        const bool unwritable = failure.code == SQLITE_READONLY ||
                                failure.code == SQLITE_CANTOPEN || failure.code == SQLITE_PERM;
        if (unwritable && ::access(path_.c_str(), F_OK) == 0) return false;
        const bool busy = failure.code == SQLITE_BUSY || failure.code == SQLITE_LOCKED;
        if (!busy || std::chrono::steady_clock::now() >= deadline) throw;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
}

void SqliteSettingsStore::openForReading() {
  const auto open = [this](const std::string& name, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) fail("cannot open the file: " + sqliteCause(raw));
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  };
  // A reader leaves no file behind. To read a store in WAL mode SQLite makes its log and
  // shared-memory files when they are missing: where the folder cannot be written that fails,
  // and where it can (a folder shared with the store's owner) they would belong to the reader
  // and keep the owner from writing the store. While they are missing, no connection has the
  // store open and its log holds nothing, so the file is read as it stands (immutable: no
  // locks, no other file). While they are there, a writer works on the store, and SQLite
  // reads through them without making any.
  const bool logged = pathExists(path_ + "-wal") || pathExists(path_ + "-shm") ||
                      pathExists(path_ + "-journal");
  if (logged) {
    open(path_, SQLITE_OPEN_READONLY);
  } else {
    open(immutableUri(path_), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
  }
  const bool ours = guard(path_, "cannot open the file", [&] { return layoutIsOurs(); });
  if (!ours) fail("holds no settings yet and cannot be written: " + whyNotWritable(path_));
}

SqliteSettingsStore::~SqliteSettingsStore() = default;

void SqliteSettingsStore::fail(const std::string& what) const {
  throw HmrError("Settings store " + path_ + ": " + what);
}

bool SqliteSettingsStore::layoutIsOurs() {
  // One statement, so that the three numbers come from one snapshot of the file even while
  // another process is creating the layout.
  Statement s(db_.get(),
              "SELECT (SELECT application_id FROM pragma_application_id),"
              " (SELECT user_version FROM pragma_user_version),"
              " (SELECT count(*) FROM sqlite_master)");
  if (!s.step()) fail("cannot read its layout");
  const std::int64_t app = s.integer(0);
  const std::int64_t version = s.integer(1);
  const std::int64_t objects = s.integer(2);
  if (app == kApplicationId) {
    if (version > kLayoutVersion)
      fail("was written by a newer version of HMR (layout " + std::to_string(version) + ")");
    return true;
  }
  if (app != 0 || objects != 0) fail("is not an HMR settings store");
  return false;
}

void SqliteSettingsStore::createSchema() {
  if (layoutIsOurs()) return;
  Transaction tx(db_.get());
  if (layoutIsOurs()) return;  // another process made it while we waited for the lock
  const char* const statements[] = {
      "CREATE TABLE keys(root INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL,"
      " PRIMARY KEY(root, path)) WITHOUT ROWID",
      "CREATE TABLE vals(root INTEGER NOT NULL, path TEXT NOT NULL, folded TEXT NOT NULL,"
      " name TEXT NOT NULL, type INTEGER NOT NULL, data NOT NULL,"
      " PRIMARY KEY(root, path, folded)) WITHOUT ROWID",
      "PRAGMA application_id=1213026865",
      "PRAGMA user_version=1",
  };
  static_assert(kApplicationId == 1213026865 && kLayoutVersion == 1);
  for (const char* sql : statements) Statement(db_.get(), sql).run();
  tx.commit();
}

std::string SqliteSettingsStore::integrityCheck() {
  return guard(path_, "cannot check the file", [&] {
    Statement s(db_.get(), "PRAGMA integrity_check");
    std::string report;
    while (s.step()) {
      if (!report.empty()) report += '\n';
      report += s.text(0);
    }
    return report;
  });
}

bool SqliteSettingsStore::keyExists(RegistryRoot root, std::string_view key) {
  const std::string path = foldCase(canonicalKeyPath(key));
  if (path.empty()) return true;
  return guard(path_, "cannot read key " + fullKeyName(root, key), [&] {
    Statement s(db_.get(), "SELECT 1 FROM keys WHERE root=?1 AND path=?2");
    s.bind(1, root).bind(2, path);
    return s.step();
  });
}

void SqliteSettingsStore::insertKeyChain(RegistryRoot root, const std::string& key) {
  Statement insert(db_.get(), "INSERT OR IGNORE INTO keys(root, path, name) VALUES(?1, ?2, ?3)");
  for (std::size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
    const std::string part = key.substr(0, end);
    insert.bind(1, root).bind(2, foldCase(part)).bind(3, lastPart(part));
    insert.run();
    if (end == std::string::npos) break;
    insert.reset();
  }
}

void SqliteSettingsStore::createKey(RegistryRoot root, std::string_view key) {
  const std::string path = canonicalKeyPath(key);
  if (path.empty()) return;
  guard(path_, "cannot create key " + fullKeyName(root, key), [&] {
    Transaction tx(db_.get());
    insertKeyChain(root, path);
    tx.commit();
  });
}

void SqliteSettingsStore::deleteKey(RegistryRoot root, std::string_view key) {
  const std::string path = foldCase(canonicalKeyPath(key));
  if (path.empty()) fail("cannot delete the root key " + fullKeyName(root, key));
  guard(path_, "cannot delete key " + fullKeyName(root, key), [&] {
    const auto [low, high] = descendantRange(path);
    Transaction tx(db_.get());
    for (const char* sql :
         {"DELETE FROM vals WHERE root=?1 AND (path=?2 OR (path>=?3 AND path<?4))",
          "DELETE FROM keys WHERE root=?1 AND (path=?2 OR (path>=?3 AND path<?4))"}) {
      Statement s(db_.get(), sql);
      s.bind(1, root).bind(2, path).bind(3, low).bind(4, high);
      s.run();
    }
    tx.commit();
  });
}

SettingsValue SqliteSettingsStore::decodeRow(Statement& row, RegistryRoot root,
                                             std::string_view key) const {
  SettingsValue value;
  value.name = row.text(0);
  const std::int64_t type = row.integer(1);
  if (type == kTypeString && row.columnType(2) == SQLITE_TEXT) {
    value.type = ValueType::String;
    value.text = row.text(2);
  } else if (type == kTypeDword && row.columnType(2) == SQLITE_INTEGER && row.integer(2) >= 0 &&
             row.integer(2) <= 0xFFFFFFFF) {
    value.type = ValueType::Dword;
    value.dword = static_cast<std::uint32_t>(row.integer(2));
  } else {
    fail(describeValue(root, key, value.name) + " is damaged (type " + std::to_string(type) +
         ")");
  }
  return value;
}

std::optional<SettingsValue> SqliteSettingsStore::readValue(
    RegistryRoot root, std::string_view key, std::string_view name) {
  return guard(path_, "cannot read " + describeValue(root, key, name),
               [&]() -> std::optional<SettingsValue> {
                 Statement s(db_.get(), "SELECT name, type, data FROM vals WHERE root=?1 "
                                        "AND path=?2 AND folded=?3");
                 s.bind(1, root).bind(2, foldCase(canonicalKeyPath(key))).bind(3, foldCase(name));
                 if (!s.step()) return std::nullopt;
                 return decodeRow(s, root, key);
               });
}

bool SqliteSettingsStore::valueExists(RegistryRoot root, std::string_view key,
                                      std::string_view name) {
  return readValue(root, key, name).has_value();
}

std::optional<std::string> SqliteSettingsStore::readString(RegistryRoot root,
                                                           std::string_view key,
                                                           std::string_view name) {
  auto stored = readValue(root, key, name);
  if (!stored) return std::nullopt;
  if (stored->type != ValueType::String)
    fail(describeValue(root, key, name) + " is " +
         std::string(valueTypeName(stored->type)) + ", not REG_SZ");
  return std::move(stored->text);
}

std::optional<std::uint32_t> SqliteSettingsStore::readDword(RegistryRoot root,
                                                            std::string_view key,
                                                            std::string_view name) {
  const auto stored = readValue(root, key, name);
  if (!stored) return std::nullopt;
  if (stored->type != ValueType::Dword)
    fail(describeValue(root, key, name) + " is " +
         std::string(valueTypeName(stored->type)) + ", not REG_DWORD");
  return stored->dword;
}

void SqliteSettingsStore::putValue(RegistryRoot root, const std::string& key,
                                   std::string_view name, ValueType type, std::string_view text,
                                   std::uint32_t dword) {
  if (!key.empty()) insertKeyChain(root, key);
  Statement s(db_.get(),
              "INSERT INTO vals(root, path, folded, name, type, data)"
              " VALUES(?1, ?2, ?3, ?4, ?5, ?6)"
              " ON CONFLICT(root, path, folded) DO UPDATE SET type=excluded.type,"
              " data=excluded.data");
  s.bind(1, root).bind(2, foldCase(key)).bind(3, foldCase(name)).bind(4, name);
  if (type == ValueType::String)
    s.bind(5, std::int64_t{kTypeString}).bind(6, text);
  else
    s.bind(5, std::int64_t{kTypeDword}).bind(6, std::int64_t{dword});
  s.run();
}

void SqliteSettingsStore::writeString(RegistryRoot root, std::string_view key,
                                      std::string_view name, std::string_view text) {
  guard(path_, "cannot write " + describeValue(root, key, name), [&] {
    Transaction tx(db_.get());
    putValue(root, canonicalKeyPath(key), name, ValueType::String, text, 0);
    tx.commit();
  });
}

void SqliteSettingsStore::writeDword(RegistryRoot root, std::string_view key,
                                     std::string_view name, std::uint32_t value) {
  guard(path_, "cannot write " + describeValue(root, key, name), [&] {
    Transaction tx(db_.get());
    putValue(root, canonicalKeyPath(key), name, ValueType::Dword, {}, value);
    tx.commit();
  });
}

void SqliteSettingsStore::deleteValue(RegistryRoot root, std::string_view key,
                                      std::string_view name) {
  guard(path_, "cannot delete " + describeValue(root, key, name), [&] {
    Transaction tx(db_.get());
    Statement s(db_.get(), "DELETE FROM vals WHERE root=?1 AND path=?2 AND folded=?3");
    s.bind(1, root).bind(2, foldCase(canonicalKeyPath(key))).bind(3, foldCase(name));
    s.run();
    tx.commit();
  });
}

void SqliteSettingsStore::updateString(
    RegistryRoot root, std::string_view key, std::string_view name,
    const std::function<std::string(const std::optional<std::string>&)>& update) {
  const std::string what = describeValue(root, key, name);
  guard(path_, "cannot update " + what, [&] {
    Transaction tx(db_.get());
    const std::optional<std::string> current = readString(root, key, name);
    const std::string next = update(current);
    putValue(root, canonicalKeyPath(key), name, ValueType::String, next, 0);
    tx.commit();
  });
}

template <typename T, typename Read, typename Write>
T SqliteSettingsStore::readOrCreate(RegistryRoot root, std::string_view key,
                                    std::string_view name, Read read, Write write) {
  // Most calls find the value: they read it without taking the write lock.
  if (std::optional<T> current = read()) return *current;
  return guard(path_, "cannot write " + describeValue(root, key, name), [&] {
    Transaction tx(db_.get());
    // Checked again under the lock: another process may have written it in between.
    std::optional<T> current = read();
    if (!current) current = write();
    tx.commit();
    return *current;
  });
}

std::string SqliteSettingsStore::readStringOrCreate(RegistryRoot root, std::string_view key,
                                                    std::string_view name,
                                                    std::string_view fallback) {
  return readOrCreate<std::string>(
      root, key, name, [&] { return readString(root, key, name); },
      [&] {
        putValue(root, canonicalKeyPath(key), name, ValueType::String, fallback, 0);
        return std::string(fallback);
      });
}

std::uint32_t SqliteSettingsStore::readDwordOrCreate(RegistryRoot root, std::string_view key,
                                                     std::string_view name,
                                                     std::uint32_t fallback) {
  return readOrCreate<std::uint32_t>(
      root, key, name, [&] { return readDword(root, key, name); },
      [&] {
        putValue(root, canonicalKeyPath(key), name, ValueType::Dword, {}, fallback);
        return fallback;
      });
}

std::vector<std::string> SqliteSettingsStore::subKeys(RegistryRoot root, std::string_view key) {
  const std::string path = foldCase(canonicalKeyPath(key));
  return guard(path_, "cannot list key " + fullKeyName(root, key), [&] {
    const auto [low, high] = descendantRange(path);
    Statement s(db_.get(), "SELECT path, name FROM keys WHERE root=?1 AND path>=?2 "
                           "AND (?3 IS NULL OR path<?3) ORDER BY path");
    s.bind(1, root).bind(2, low).bind(3, high);
    std::vector<std::string> names;
    while (s.step())
      if (s.text(0).find('\\', low.size()) == std::string::npos) names.push_back(s.text(1));
    return names;
  });
}

std::vector<SettingsValue> SqliteSettingsStore::values(RegistryRoot root, std::string_view key) {
  return guard(path_, "cannot list key " + fullKeyName(root, key), [&] {
    Statement s(db_.get(), "SELECT name, type, data FROM vals WHERE root=?1 AND path=?2 "
                           "ORDER BY folded");
    s.bind(1, root).bind(2, foldCase(canonicalKeyPath(key)));
    std::vector<SettingsValue> found;
    while (s.step()) found.push_back(decodeRow(s, root, key));
    return found;
  });
}

std::vector<SettingsValue> SqliteSettingsStore::readableValues(
    RegistryRoot root, std::string_view key, std::vector<DamagedValue>& damaged) {
  return guard(path_, "cannot list key " + fullKeyName(root, key), [&] {
    Statement s(db_.get(), "SELECT name, type, data FROM vals WHERE root=?1 AND path=?2 "
                           "ORDER BY folded");
    s.bind(1, root).bind(2, foldCase(canonicalKeyPath(key)));
    std::vector<SettingsValue> found;
    while (s.step()) {
      try {
        found.push_back(decodeRow(s, root, key));
      } catch (const HmrError& e) {
        damaged.push_back({s.text(0), e.what()});
      }
    }
    return found;
  });
}

std::string defaultSettingsStorePath() {
  const auto env = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  if (std::string explicitPath = env("HMR_REGISTRY"); !explicitPath.empty()) return explicitPath;
  if (std::string config = env("XDG_CONFIG_HOME"); !config.empty() && config.front() == '/')
    return config + "/hmr/registry.db";
  const std::string home = userHomeFolder();
  if (home.empty())
    throw HmrError("Settings store: no home folder (neither HMR_REGISTRY, XDG_CONFIG_HOME nor "
                   "HOME is set)");
  return home + "/.config/hmr/registry.db";
}

std::unique_ptr<SqliteSettingsStore> openSettingsStoreAt(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
      throw HmrError("Settings store " + path + ": cannot create the folder " + folder.string() +
                     ": " + error.message());
  }
  return std::make_unique<SqliteSettingsStore>(path);
}

std::unique_ptr<SettingsStore> openDefaultSettingsStore() {
  return openSettingsStoreAt(defaultSettingsStorePath());
}

}  // namespace hmr
