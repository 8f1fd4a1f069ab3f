#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fz::registry {

// The settings store. Three hives, each a readable text file:
//   CurrentUser   ${XDG_CONFIG_HOME:-$HOME/.config}/framzel/
//   LocalMachine, ClassesRoot   one machine hive in a system folder chosen when the build is
//                 configured (FRAMZEL_MACHINE_HIVE_DIR, e.g. /var/lib/framzel: readable by
//                 everyone, written by root when servers are installed); the build tree has
//                 its own beside its libraries, so a built tree runs uninstalled
// FRAMZEL_REGISTRY_DIR moves all hives into one folder (every test uses its own).
//
// Key paths use '\' between names, as the engine's key names do ("Software\Kelvora\framzel");
// names compare without regard to case. Every change is a read-modify-write of the hive file
// under an inter-process lock, written to a temporary file and renamed over the hive, so two
// writers (processes or threads) never lose each other's values. A damaged line of a hive is
// not read, but it is kept in the file as it stands; the rest of the hive stays readable.
//
// Where the hives are and how they are written:
//   user.reg     HKEY_CURRENT_USER, in HiveFolder(Hive::CurrentUser)
//   machine.reg  HKEY_LOCAL_MACHINE; HKEY_CLASSES_ROOT is its key "Software\Classes", as on the
//                original platform, so a class registered there shows in both
// The format of the files is described in platform/registry/HiveText.h. A hive file that is
// missing reads as an empty hive. A hive folder that cannot be written (also when something
// other than a folder stands at its path, which stops root too) makes every change fail with
// kAccessDenied; reading such a hive still works.
//
// Any thread may use any function. A Key holds no lock and no file: each call looks at the hive
// file afresh, so changes made by other processes are seen at once. Reading is cheap: the
// parsed hive is kept while the file stays the same (one stat() per call). A Key stays with
// the hive file it was opened in, also when FRAMZEL_REGISTRY_DIR changes later.
//
// Several changes that belong together (a settings record, a class registration) are one
// Transaction: one rewrite of the hive, so another reader sees all of them or none. Several
// values read together come from one KeyValues, which holds the key as one version of the file
// had it.
//
// Key paths are limited: a name to 255 bytes, a path to 128 names and 2048 bytes (including
// "Software\Classes\" for HKEY_CLASSES_ROOT); longer paths give kInvalidParameter.
//
// Results are the platform's error numbers, which callers compare with kSuccess.
enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

enum Status : std::int32_t {
    kSuccess = 0,
    kFileNotFound = 2, // key or value missing
    kAccessDenied = 5, // the hive cannot be written
    kInvalidParameter = 87,
    kMoreData = 234, // the caller's buffer is smaller than the stored value
};

enum class ValueType : std::uint32_t {
    None = 0,
    String = 1, // REG_SZ: text including its terminating zero
    Binary = 3, // REG_BINARY: bytes as they are
    Dword = 4,  // REG_DWORD: 32-bit little-endian
};

enum class Access { Read, ReadWrite };

class KeyValues;

class Key {
public:
    Key();
    ~Key();
    Key(Key&&) noexcept;
    Key& operator=(Key&&) noexcept;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool IsOpen() const;
    void Close();

    // Reads a value into the caller's buffer. `size` holds the buffer's size in bytes on entry
    // and the stored value's size on return. A value larger than the buffer gives kMoreData
    // and leaves the buffer untouched; a missing value gives kFileNotFound. `buffer` may be
    // null to ask for the size (then kSuccess with the size). `type` may be null.
    Status QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                      ValueType* type = nullptr) const;

    // All values of the key as one version of the hive file holds them; an empty KeyValues
    // when the key is not open or no longer exists.
    KeyValues Values() const;

    // Writes a value (needs Access::ReadWrite). A string is stored up to its first zero byte
    // and read back with its terminator.
    Status SetDword(std::string_view name, std::uint32_t value);
    Status SetString(std::string_view name, std::string_view text);
    Status SetBinary(std::string_view name, const void* data, std::uint32_t size);
    Status DeleteValue(std::string_view name);

    // The key's path within its hive (as given when it was opened, without leading or
    // trailing '\') and the class string it was created with (read when it was opened).
    std::string Path() const;
    std::string ClassName() const;

    // The names of the key's subkeys and values as stored (in the hive's sorted order); empty
    // when the key no longer exists. The empty name is the key's default value.
    std::vector<std::string> SubKeyNames() const;
    std::vector<std::string> ValueNames() const;

private:
    friend Status CreateKey(Hive, std::string_view, std::string_view, Key*, bool*);
    friend Status OpenKey(Hive, std::string_view, Access, Key*);
    struct State;
    std::unique_ptr<State> m_state;
};

// The values of one key at one moment: reading several of them gives a consistent set even
// while other processes change the key. Cheap to copy; holds no lock and no file.
class KeyValues {
public:
    KeyValues();
    ~KeyValues();
    KeyValues(const KeyValues&);
    KeyValues& operator=(const KeyValues&);

    // False when the key did not exist (every query then gives kFileNotFound).
    bool Exists() const;

    // As Key::QueryValue.
    Status QueryValue(std::string_view name, void* buffer, std::uint32_t* size,
                      ValueType* type = nullptr) const;

    // The names of the values as stored.
    std::vector<std::string> Names() const;

private:
    friend class Key;
    struct State;
    std::shared_ptr<const State> m_state;
};

// A list of changes to one hive, applied by Commit as one rewrite of the hive file under its
// lock: a reader in any thread or process sees the hive before or after all of them, never in
// between. The steps apply in the order they were added. Paths are as for CreateKey (relative
// to the hive's root; '\' between names, compared without regard to case).
class Transaction {
public:
    explicit Transaction(Hive hive);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Creates the key and its missing parents unless it exists; a new key gets `className`.
    void CreateKey(std::string_view path, std::string_view className = {});
    // Stores a value, creating the key (with no class string) when it does not exist. A string
    // is stored up to its first zero byte.
    void SetDword(std::string_view path, std::string_view name, std::uint32_t value);
    void SetString(std::string_view path, std::string_view name, std::string_view text);
    void SetBinary(std::string_view path, std::string_view name, const void* data,
                   std::uint32_t size);
    // Removes a value or a key with everything below it; a missing one is no error. The empty
    // path names the hive's root (its values and subkeys go, the root stays).
    void DeleteValue(std::string_view path, std::string_view name);
    void DeleteKeyTree(std::string_view path);

    // Applies every step. kSuccess, or the failure and nothing changed: kAccessDenied when the
    // hive cannot be written, kInvalidParameter for a path beyond the limits or a null data
    // pointer with a size.
    Status Commit();

private:
    struct Step;
    Hive m_hive;
    std::vector<Step> m_steps;
};

// Creates the key (and any missing parents) or opens it when it exists; a new key is given
// the class string `className`. `created` (may be null) tells whether it was new. Fails with
// kAccessDenied when the hive cannot be written.
Status CreateKey(Hive hive, std::string_view path, std::string_view className, Key* key,
                 bool* created = nullptr);

// Opens an existing key; kFileNotFound when it does not exist.
Status OpenKey(Hive hive, std::string_view path, Access access, Key* key);

// Deletes a key with all its subkeys and values; kFileNotFound when it does not exist. The
// empty path names the hive's root: its values and subkeys are deleted, the root stays.
Status DeleteKeyTree(Hive hive, std::string_view path);

// The folder that holds the given hive's file (for tools and tests), without a trailing '/':
// $FRAMZEL_REGISTRY_DIR when set; otherwise ${XDG_CONFIG_HOME:-$HOME/.config}/framzel for
// CurrentUser; for the machine hive the folder of libfzplatform.so when that is the build
// tree's, else the configured system folder. The environment is read on every call (tests
// move it).
std::string HiveFolder(Hive hive);

// The hive's file: HiveFolder(hive) + "/user.reg" or "/machine.reg".
std::string HiveFile(Hive hive);

} // namespace fz::registry
