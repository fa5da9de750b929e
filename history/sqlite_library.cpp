#include "history/sqlite_library.h"

#include <dlfcn.h>

#include <mutex>

namespace history {
namespace {

constexpr const char* kLibrary = "libsqlite3.so.0";

std::mutex loading;
std::weak_ptr<const Sqlite> held;
const Sqlite* current = nullptr;

// Every function the history calls; false, with why, when one is missing.
bool resolve(void* library, Sqlite& s, std::string& why) {
  bool found = true;
  const auto get = [&](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
    if (!slot && found) why = std::string(kLibrary) + " has no " + name;
    found = found && slot;
  };
  get(s.open_v2, "sqlite3_open_v2");
  get(s.close, "sqlite3_close");
  get(s.errmsg, "sqlite3_errmsg");
  get(s.extended_errcode, "sqlite3_extended_errcode");
  get(s.busy_timeout, "sqlite3_busy_timeout");
  get(s.exec, "sqlite3_exec");
  get(s.free, "sqlite3_free");
  get(s.prepare_v2, "sqlite3_prepare_v2");
  get(s.finalize, "sqlite3_finalize");
  get(s.step, "sqlite3_step");
  get(s.reset, "sqlite3_reset");
  get(s.bind_double, "sqlite3_bind_double");
  get(s.bind_int, "sqlite3_bind_int");
  get(s.bind_null, "sqlite3_bind_null");
  get(s.bind_text, "sqlite3_bind_text");
  get(s.column_double, "sqlite3_column_double");
  get(s.column_int, "sqlite3_column_int");
  get(s.column_type, "sqlite3_column_type");
  get(s.column_text, "sqlite3_column_text");
  get(s.config, "sqlite3_config");
  get(s.shutdown, "sqlite3_shutdown");
  return found;
}

struct Loaded {
  Sqlite functions{};
  void* library = nullptr;
  bool ours = false;  // loaded here, so unloaded here
};

}  // namespace

std::shared_ptr<const Sqlite> loadSqlite(std::string& why) {
  const std::lock_guard<std::mutex> lock(loading);
  if (auto loaded = held.lock()) return loaded;
  auto made = std::make_shared<Loaded>();
  made->library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  made->ours = made->library == nullptr;
  if (made->ours) made->library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!made->library) {
    const char* error = dlerror();
    why = error ? error : std::string("cannot load ") + kLibrary;
    return nullptr;
  }
  if (!resolve(made->library, made->functions, why)) {
    dlclose(made->library);
    return nullptr;
  }
  // Page-cache lines come one at a time as pages are read, not twenty at once for each cache:
  // a history of a few pages then costs a few pages. Only before SQLite starts, so only in a
  // copy loaded here.
  if (made->ours) made->functions.config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
  const std::shared_ptr<const Sqlite> loaded(&made->functions, [made](const Sqlite*) {
    const std::lock_guard<std::mutex> lock(loading);
    if (current == &made->functions) current = nullptr;
    // What SQLite allocated for itself goes before its code does.
    if (made->ours) made->functions.shutdown();
    dlclose(made->library);
  });
  held = loaded;
  current = loaded.get();
  return loaded;
}

const Sqlite& sqlite() {
  return *current;
}

}  // namespace history
