// SPDX-License-Identifier: MIT
// `hmr registry`: list and edit the settings store that stands in for the registry.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/PathText.h"
#include "host/hmr/Commands.h"
#include "platform/HmrError.h"
#include "platform/RegistryNames.h"
#include "platform/SqliteSettingsStore.h"

namespace hmr::cli {
namespace {

constexpr const char* kKeyHelp =
    "ROOT\\KEY: ROOT is HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_CLASSES_ROOT "
    "(or HKLM, HKCU, HKCR), in any letter case; KEY is \"\\\"-separated, empty for the root";
constexpr const char* kNameHelp = "value name; \"\" is the key's default value";

struct KeyArgument {
  RegistryRoot root;
  std::string key;  // "" for the root itself
  std::string full() const { return fullKeyName(root, key); }
};

// Splits "ROOT\KEY" at its first "\"; an unknown root is a usage error.
KeyArgument parseKeyArgument(const std::string& text) {
  const auto slash = text.find('\\');
  const std::string rootText = text.substr(0, slash);
  const auto root = parseRegistryRoot(rootText);
  if (!root)
    throw CLI::ValidationError("ROOT\\KEY", "unknown root \"" + rootText +
                                                "\" (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                                                "HKEY_CLASSES_ROOT, HKLM, HKCU or HKCR)");
  return {*root, slash == std::string::npos ? std::string() : text.substr(slash + 1)};
}

// A DWORD given as decimal or as 0x-prefixed hexadecimal, 0 to 4294967295.
std::uint32_t parseDword(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  std::uint64_t value = 0;
  bool valid = !digits.empty() && digits.size() <= 10;
  for (char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0) valid = false;
    if (!valid) break;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
  }
  if (!valid || value > 0xFFFFFFFFu)
    throw CLI::ValidationError("--dword", "\"" + text +
                                              "\" is not a number from 0 to 4294967295 "
                                              "(decimal or 0x hexadecimal)");
  return static_cast<std::uint32_t>(value);
}

// One line per string value in listings: control bytes and quotes escaped so that a value
// with line breaks (the user list) stays on its line. `get` prints the exact bytes instead.
std::string quoted(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string describe(const SettingsValue& value) {
  if (value.type == ValueType::Dword) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", value.dword);
    return std::string(hex) + " (" + std::to_string(value.dword) + ")";
  }
  return quoted(value.text);
}

// Prints `key` (shown as `shown`), its values, then every key below it, depth first. A
// damaged value is left out of the listing, reported on standard error and counted in
// `damaged`, and the listing goes on.
void listKey(SettingsStore& store, RegistryRoot root, const std::string& key,
             const std::string& shown, std::ostream& out, std::size_t& damaged) {
  out << shown << "\n";
  std::vector<DamagedValue> skipped;
  for (const SettingsValue& value : store.readableValues(root, key, skipped))
    out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
        << valueTypeName(value.type) << "    " << describe(value) << "\n";
  for (const DamagedValue& value : skipped) std::cerr << "hmr registry: " << value.reason << "\n";
  damaged += skipped.size();
  for (const std::string& sub : store.subKeys(root, key))
    listKey(store, root, key.empty() ? sub : key + "\\" + sub, shown + "\\" + sub, out,
            damaged);
}

void requireKey(SettingsStore& store, const KeyArgument& where) {
  if (!store.keyExists(where.root, where.key))
    throw HmrError("key " + where.full() + " does not exist");
}

[[noreturn]] void noSuchValue(const KeyArgument& where, const std::string& name) {
  throw HmrError("value \"" + name + "\" of key " + where.full() + " does not exist");
}

// Opens the store and runs `body` on it; a failure is reported on stderr and gives status 1.
int withStore(const std::function<void(SettingsStore&)>& body) {
  try {
    const std::unique_ptr<SettingsStore> store = openDefaultSettingsStore();
    body(*store);
    return 0;
  } catch (const HmrError& e) {
    std::cerr << "hmr registry: " << e.what() << "\n";
    return 1;
  }
}

struct RegistryOptions {
  std::string key;
  std::string name;
  std::string text;
  std::string dword;
  bool expectString = false;
  bool expectDword = false;
};

void addList(CLI::App& registry, int& status) {
  auto options = std::make_shared<RegistryOptions>();
  CLI::App* list = registry.add_subcommand(
      "list", "Print a key (or every root), its values with their types, and all keys below");
  list->add_option("KEY", options->key, kKeyHelp);
  list->callback([&status, options] {
    std::optional<KeyArgument> where;
    if (!options->key.empty()) where = parseKeyArgument(options->key);
    std::size_t damaged = 0;
    status = withStore([&](SettingsStore& store) {
      if (!where) {
        for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser,
                                  RegistryRoot::ClassesRoot})
          listKey(store, root, "", std::string(registryRootName(root)), std::cout, damaged);
        return;
      }
      requireKey(store, *where);
      listKey(store, where->root, where->key, where->full(), std::cout, damaged);
    });
    // The rest is listed, but a store with damaged values is not reported as sound.
    if (status == 0 && damaged > 0) status = 1;
  });
}

void addGet(CLI::App& registry, int& status) {
  auto options = std::make_shared<RegistryOptions>();
  CLI::App* get = registry.add_subcommand(
      "get", "Print one value: a string as its exact text, a DWORD in decimal; then a newline");
  get->add_option("KEY", options->key, kKeyHelp)->required();
  get->add_option("NAME", options->name, kNameHelp)->required();
  CLI::Option* asString = get->add_flag("--string", options->expectString,
                                        "fail unless the value is a string (REG_SZ)");
  CLI::Option* asDword = get->add_flag("--dword", options->expectDword,
                                       "fail unless the value is a DWORD (REG_DWORD)");
  asString->excludes(asDword);
  get->callback([&status, options] {
    const KeyArgument where = parseKeyArgument(options->key);
    const std::string& name = options->name;
    status = withStore([&](SettingsStore& store) {
      requireKey(store, where);
      if (options->expectString) {
        const auto text = store.readString(where.root, where.key, name);
        if (!text) noSuchValue(where, name);
        std::cout << *text << "\n";
      } else if (options->expectDword) {
        const auto number = store.readDword(where.root, where.key, name);
        if (!number) noSuchValue(where, name);
        std::cout << *number << "\n";
      } else {
        // Another value of the key being damaged does not keep this one from being read.
        std::vector<DamagedValue> damaged;
        const auto listed = store.readableValues(where.root, where.key, damaged);
        for (const DamagedValue& value : damaged)
          if (sameText(value.name, name)) throw HmrError(value.reason);
        for (const SettingsValue& value : listed) {
          if (!sameText(value.name, name)) continue;
          if (value.type == ValueType::Dword)
            std::cout << value.dword << "\n";
          else
            std::cout << value.text << "\n";
          return;
        }
        noSuchValue(where, name);
      }
    });
  });
}

void addSet(CLI::App& registry, int& status) {
  auto options = std::make_shared<RegistryOptions>();
  CLI::App* set = registry.add_subcommand(
      "set", "Write one value, creating its key and every key above it");
  set->add_option("KEY", options->key, kKeyHelp)->required();
  set->add_option("NAME", options->name, kNameHelp)->required();
  CLI::Option* text = set->add_option("--string", options->text, "write a string (REG_SZ)");
  CLI::Option* dword =
      set->add_option("--dword", options->dword,
                      "write a DWORD (REG_DWORD): 0 to 4294967295, or 0x hexadecimal")
          ->type_name("N");
  text->excludes(dword);
  set->callback([&status, options, text, dword] {
    const KeyArgument where = parseKeyArgument(options->key);
    if (!text->count() && !dword->count())
      throw CLI::RequiredError("one of --string TEXT or --dword N");
    std::optional<std::uint32_t> number;
    if (dword->count()) number = parseDword(options->dword);
    status = withStore([&](SettingsStore& store) {
      if (number)
        store.writeDword(where.root, where.key, options->name, *number);
      else
        store.writeString(where.root, where.key, options->name, options->text);
    });
  });
}

void addDelete(CLI::App& registry, int& status) {
  auto options = std::make_shared<RegistryOptions>();
  CLI::App* del = registry.add_subcommand(
      "delete", "Delete one value, or without NAME a key with everything below it");
  del->add_option("KEY", options->key, kKeyHelp)->required();
  CLI::Option* name = del->add_option("NAME", options->name, kNameHelp);
  del->callback([&status, options, name] {
    const KeyArgument where = parseKeyArgument(options->key);
    const bool oneValue = name->count() > 0;
    status = withStore([&](SettingsStore& store) {
      requireKey(store, where);
      if (oneValue) {
        if (!store.valueExists(where.root, where.key, options->name))
          noSuchValue(where, options->name);
        store.deleteValue(where.root, where.key, options->name);
      } else {
        store.deleteKey(where.root, where.key);
      }
    });
  });
}

}  // namespace

void addRegistryCommand(CLI::App& app, int& status) {
  CLI::App* registry = app.add_subcommand(
      "registry",
      "List and edit the settings store ($HMR_REGISTRY, else $XDG_CONFIG_HOME/hmr/registry.db, "
      "else ~/.config/hmr/registry.db)");
  registry->require_subcommand(1);
  addList(*registry, status);
  addGet(*registry, status);
  addSet(*registry, status);
  addDelete(*registry, status);
}

}  // namespace hmr::cli
