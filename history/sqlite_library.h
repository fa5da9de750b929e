#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

// SQLite, loaded while a history is open and unloaded when the last one closes: the laptop
// service writes a sample a minute at most, and holding the library's 1.2 MB of pages between
// writes would be most of its memory. One copy a process; a program that links SQLite itself
// (the tests) shares its copy, which is then never unloaded.
namespace history {

struct Sqlite {
  decltype(&::sqlite3_open_v2) open_v2;
  decltype(&::sqlite3_close) close;
  decltype(&::sqlite3_errmsg) errmsg;
  decltype(&::sqlite3_extended_errcode) extended_errcode;
  decltype(&::sqlite3_busy_timeout) busy_timeout;
  decltype(&::sqlite3_exec) exec;
  decltype(&::sqlite3_free) free;
  decltype(&::sqlite3_prepare_v2) prepare_v2;
  decltype(&::sqlite3_finalize) finalize;
  decltype(&::sqlite3_step) step;
  decltype(&::sqlite3_reset) reset;
  decltype(&::sqlite3_bind_double) bind_double;
  decltype(&::sqlite3_bind_int) bind_int;
  decltype(&::sqlite3_bind_null) bind_null;
  decltype(&::sqlite3_bind_text) bind_text;
  decltype(&::sqlite3_column_double) column_double;
  decltype(&::sqlite3_column_int) column_int;
  decltype(&::sqlite3_column_type) column_type;
  decltype(&::sqlite3_column_text) column_text;
  decltype(&::sqlite3_config) config;
  decltype(&::sqlite3_shutdown) shutdown;
};

// The library, loaded if it is not; null, with why, when it cannot be. It stays loaded while
// any holder keeps the pointer.
std::shared_ptr<const Sqlite> loadSqlite(std::string& why);

// The library loaded now; only while a holder keeps it loaded.
const Sqlite& sqlite();

}  // namespace history
