// SPDX-License-Identifier: MIT
// SQL run on a database file behind the store's back: to damage a store, or to make a
// database that is some other program's.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace hmr::test_support {

inline void runSql(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  const int opened = sqlite3_open(file.c_str(), &db);
  char* message = nullptr;
  const int rc = opened == SQLITE_OK ? sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message)
                                     : opened;
  const std::string why = message ? message : (db ? sqlite3_errmsg(db) : "cannot open");
  sqlite3_free(message);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQL on " + file + " failed: " + why);
}

}  // namespace hmr::test_support
