#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace fz::registry {

// The settings store. Three hives, each a readable text file:
//   CurrentUser   ${XDG_CONFIG_HOME:-$HOME/.config}/framzel/
//   LocalMachine, ClassesRoot   one machine hive beside the installed libraries (the build
//                 tree has its own, so a built tree runs uninstalled)
// FRAMZEL_REGISTRY_DIR moves all hives into one folder (every test uses its own).
//
// Key paths use '\' between names, as the engine's key names do ("Software\Kelvora\framzel");
// names compare without regard to case. Every change is a read-modify-write of the hive file
// under an inter-process lock, written to a temporary file and renamed over the hive, so two
// writers (processes or threads) never lose each other's values. A damaged line of a hive is
// ignored; the rest of the hive stays readable.
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
    Dword = 4,  // REG_DWORD: 32-bit little-endian
};

enum class Access { Read, ReadWrite };

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

    // Writes a value (needs Access::ReadWrite). A string is stored up to its first zero byte
    // and read back with its terminator.
    Status SetDword(std::string_view name, std::uint32_t value);
    Status SetString(std::string_view name, std::string_view text);
    Status DeleteValue(std::string_view name);

    // The key's path within its hive and the class string given when it was created.
    std::string Path() const;

private:
    friend Status CreateKey(Hive, std::string_view, std::string_view, Key*, bool*);
    friend Status OpenKey(Hive, std::string_view, Access, Key*);
    struct State;
    std::unique_ptr<State> m_state;
};

// Creates the key (and any missing parents) or opens it when it exists; a new key is given
// the class string `className`. `created` (may be null) tells whether it was new. Fails with
// kAccessDenied when the hive cannot be written.
Status CreateKey(Hive hive, std::string_view path, std::string_view className, Key* key,
                 bool* created = nullptr);

// Opens an existing key; kFileNotFound when it does not exist.
Status OpenKey(Hive hive, std::string_view path, Access access, Key* key);

// Deletes a key with all its subkeys and values.
Status DeleteKeyTree(Hive hive, std::string_view path);

// The folder that holds the given hive's file (for tools and tests).
std::string HiveFolder(Hive hive);

} // namespace fz::registry
