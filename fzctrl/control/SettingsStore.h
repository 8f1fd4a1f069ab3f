#pragma once

#include "fzctrl/control/ConvertParams.h"
#include "fzctrl/control/SettingsTables.h"
#include "platform/registry/Registry.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace fz {

// Reading and writing the settings key (kSettingsKeyPath in the current user's hive) by the
// rows of kRecordValues and kNamedValues. Called on the control's thread; the store itself is
// shared by every control of the process and by other processes.

// Drive C: in host form, the folder that "C:\" names, ending in '/'; empty when drive C: is
// refused.
std::string DefaultTempFolder();

// A whole record as stored (all values from one version of the store): every field zeroed,
// then each row of kRecordValues in order, then the temporary folder. A store that cannot be read
// gives every default. `audiocodec` is left as stored; the result fields are 0.
ConvertParams LoadConvertParams();

// Writes the record's integer values unchecked, in table order, and its temporary folder as a
// string up to its terminator (at most the field's 260 bytes), as one change of the store: a
// reader in another process sees the whole old record or the whole new one. kSuccess, or the
// failure with nothing written.
registry::Status StoreConvertParams(const ConvertParams& params);

// The row whose name equals `name` without regard to case, or null.
const NamedValue* FindNamedValue(std::string_view name);

// The stored value of one row, or its default when missing, unreadable or out of range.
std::int32_t LoadNamedValue(const NamedValue& row);

// Creates the settings key (class kSettingsKeyClass) or opens it for writing.
registry::Status OpenSettingsForWriting(registry::Key* key);

} // namespace fz
