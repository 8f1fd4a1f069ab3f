#include "platform/registry/HiveSnapshot.h"

#include "platform/registry/HiveText.h"

#include <map>
#include <mutex>

namespace fz::registry {
namespace {

struct Snapshot {
    FileIdentity identity;
    std::string text;
    std::shared_ptr<const HiveContents> contents;
};

// One snapshot per hive file path. Hives are few (a user and a machine hive, and one folder
// per test), so the table stays small.
class SnapshotTable {
public:
    static SnapshotTable& Instance() {
        static SnapshotTable* table = new SnapshotTable; // readers may run at exit
        return *table;
    }

    std::shared_ptr<const HiveContents> Find(const std::string& file,
                                             const FileIdentity& identity) {
        std::lock_guard lock(m_mutex);
        auto it = m_snapshots.find(file);
        if (it == m_snapshots.end() || !(it->second.identity == identity))
            return nullptr;
        return it->second.contents;
    }

    std::shared_ptr<const HiveContents> FindByText(const std::string& file,
                                                   const std::string& text) {
        std::lock_guard lock(m_mutex);
        auto it = m_snapshots.find(file);
        if (it == m_snapshots.end() || it->second.text != text)
            return nullptr;
        return it->second.contents;
    }

    void Keep(const std::string& file, Snapshot snapshot) {
        std::lock_guard lock(m_mutex);
        m_snapshots[file] = std::move(snapshot);
    }

private:
    std::mutex m_mutex;
    std::map<std::string, Snapshot> m_snapshots;
};

std::shared_ptr<const HiveContents> EmptyHive() {
    static const auto empty = std::make_shared<const HiveContents>();
    return empty;
}

} // namespace

std::shared_ptr<const HiveContents> LoadHive(const HiveLocation& location) {
    SnapshotTable& table = SnapshotTable::Instance();
    const std::optional<FileIdentity> identity = HiveFileIdentity(location);
    if (!identity)
        return EmptyHive();
    if (auto kept = table.Find(location.file, *identity))
        return kept;
    HiveFileText file = ReadHiveText(location);
    if (!file.identity)
        return EmptyHive();
    auto contents = std::make_shared<const HiveContents>(ParseHive(file.text));
    table.Keep(location.file, Snapshot{*file.identity, std::move(file.text), contents});
    return contents;
}

std::shared_ptr<const HiveContents> LoadHiveForChange(const HiveLocation& location) {
    SnapshotTable& table = SnapshotTable::Instance();
    HiveFileText file = ReadHiveText(location);
    if (!file.identity)
        return EmptyHive();
    auto contents = table.FindByText(location.file, file.text);
    if (!contents)
        contents = std::make_shared<const HiveContents>(ParseHive(file.text));
    table.Keep(location.file, Snapshot{*file.identity, std::move(file.text), contents});
    return contents;
}

void RememberHive(const HiveLocation& location, std::string text) {
    const std::optional<FileIdentity> identity = HiveFileIdentity(location);
    if (!identity)
        return;
    // Parsed from the bytes written, so that readers get exactly what a fresh read would give.
    auto contents = std::make_shared<const HiveContents>(ParseHive(text));
    SnapshotTable::Instance().Keep(location.file,
                                   Snapshot{*identity, std::move(text), std::move(contents)});
}

} // namespace fz::registry
