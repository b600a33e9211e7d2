// SPDX-License-Identifier: MIT
// The settings store on Linux: one SQLite database file shared by every HMR process of a user.
#pragma once

#include <memory>
#include <string>

#include "platform/SettingsStore.h"

struct sqlite3;

namespace hmr {

// A SettingsStore kept in an SQLite database file.
//
// Every write is one transaction begun with BEGIN IMMEDIATE, so a writer takes the file's
// write lock before it reads anything and never has to give up half way; updateString reads and
// writes inside that one transaction. The file runs in WAL mode with a busy timeout, so several
// processes may read and write it at the same time: a writer that finds the lock taken waits
// (up to kBusyTimeoutMs) instead of failing, and readers never block writers.
//
// Key paths and value names compare case-insensitively by ASCII letter case only: "Ä" and "ä"
// are different names. Each key and value keeps the letter case it was first created with.
// String values are stored as their bytes, without a terminating zero.
//
// One object is one database connection. Use it from one thread at a time, and do not carry it
// across fork(); open another object instead (they all see each other's committed writes).
class SqliteSettingsStore final : public SettingsStore {
 public:
  static constexpr int kBusyTimeoutMs = 5000;

  // Opens the store file at `path`, creating it (but not its folder) when it is missing.
  // Throws HmrError naming the path and the cause when the file cannot be opened or created,
  // is not a regular file, is not a settings store, or was written by a newer version of the
  // store; such a file is left exactly as it was. A store that may be read but not written
  // (its permissions, another user's store, a read-only mount) is opened for reading without
  // making any file beside it: reads work, and every write fails with HmrError naming the
  // reason.
  explicit SqliteSettingsStore(std::string path);
  ~SqliteSettingsStore() override;
  SqliteSettingsStore(const SqliteSettingsStore&) = delete;
  SqliteSettingsStore& operator=(const SqliteSettingsStore&) = delete;

  const std::string& path() const { return path_; }
  // SQLite's own check of the file: "ok" when it is sound, else the problems it found.
  std::string integrityCheck();

  bool keyExists(RegistryRoot root, std::string_view key) override;
  void createKey(RegistryRoot root, std::string_view key) override;
  // The root itself cannot be deleted: that fails with HmrError.
  void deleteKey(RegistryRoot root, std::string_view key) override;
  bool valueExists(RegistryRoot root, std::string_view key, std::string_view name) override;
  std::optional<std::string> readString(RegistryRoot root, std::string_view key,
                                        std::string_view name) override;
  std::optional<std::uint32_t> readDword(RegistryRoot root, std::string_view key,
                                         std::string_view name) override;
  void writeString(RegistryRoot root, std::string_view key, std::string_view name,
                   std::string_view text) override;
  void writeDword(RegistryRoot root, std::string_view key, std::string_view name,
                  std::uint32_t value) override;
  void deleteValue(RegistryRoot root, std::string_view key, std::string_view name) override;
  // An exception thrown by `update` rolls the transaction back and propagates unchanged.
  void updateString(
      RegistryRoot root, std::string_view key, std::string_view name,
      const std::function<std::string(const std::optional<std::string>&)>& update) override;
  std::string readStringOrCreate(RegistryRoot root, std::string_view key, std::string_view name,
                                 std::string_view fallback) override;
  std::uint32_t readDwordOrCreate(RegistryRoot root, std::string_view key, std::string_view name,
                                  std::uint32_t fallback) override;
  std::vector<std::string> subKeys(RegistryRoot root, std::string_view key) override;
  std::vector<SettingsValue> values(RegistryRoot root, std::string_view key) override;
  std::vector<SettingsValue> readableValues(RegistryRoot root, std::string_view key,
                                            std::vector<DamagedValue>& damaged) override;

 private:
  class Statement;
  class Transaction;
  struct Closer {
    void operator()(sqlite3* db) const;
  };

  // Opens the file for reading and writing, checks its layout before changing anything, turns
  // on WAL mode and creates the tables when missing. False when the file is there but cannot
  // be written; throws HmrError for any other failure.
  bool openForWriting();
  // Opens the file for reading only; every write then fails, naming the reason.
  void openForReading();
  // True when the file holds our tables, false when it holds nothing yet; throws HmrError for
  // another program's file or a newer layout.
  bool layoutIsOurs();
  void createSchema();
  SettingsValue decodeRow(Statement& row, RegistryRoot root, std::string_view key) const;
  std::optional<SettingsValue> readValue(RegistryRoot root, std::string_view key,
                                       std::string_view name);
  void insertKeyChain(RegistryRoot root, const std::string& key);
  void putValue(RegistryRoot root, const std::string& key, std::string_view name,
                ValueType type, std::string_view text, std::uint32_t dword);
  // Reads a value and, when it is missing, writes its default in one write transaction.
  template <typename T, typename Read, typename Write>
  T readOrCreate(RegistryRoot root, std::string_view key, std::string_view name, Read read,
                 Write write);
  [[noreturn]] void fail(const std::string& what) const;

  std::string path_;
  std::unique_ptr<sqlite3, Closer> db_;
};

// Where the store of this user lives: $HMR_REGISTRY when set and not empty, else
// $XDG_CONFIG_HOME/hmr/registry.db when that is an absolute path, else
// $HOME/.config/hmr/registry.db (the home folder from the account database when $HOME is
// not set). Throws HmrError when no home folder can be found.
std::string defaultSettingsStorePath();

// Opens the store at defaultSettingsStorePath(), creating its folder when missing. Throws
// HmrError naming the path and the cause when the folder or the file cannot be made or opened.
std::unique_ptr<SettingsStore> openDefaultSettingsStore();

// Opens the store at `path` like openDefaultSettingsStore, creating its folder when missing.
std::unique_ptr<SqliteSettingsStore> openSettingsStoreAt(const std::string& path);

}  // namespace hmr
