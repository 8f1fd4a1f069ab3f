#pragma once

#include "platform/registry/HiveModel.h"

#include <string>
#include <string_view>

namespace fz::registry {

// The text form of a hive's contents (HiveModel.h). Internal to the registry; the tests read
// and write the text directly.
//
// The text is UTF-8, one item per line:
//
//   # comment (also ';')
//   [Software\Kelvora\framzel] class="option"
//   "width"=dword:00000140
//   "temp_path"=sz:"C:\\"
//   @=sz:"default value of the key"
//   "InstalledVersion"=hex:00,00,00,08,00,00,00,01
//   "other"=hex(7):61,00
//
// A section line names a key by its path, names joined by '\'; its optional class string
// follows. In a path, '%' followed by two hex digits stands for one byte: it is written for
// '%', '[', ']', '"', control bytes, a leading or trailing space of a name and any byte that is
// not part of valid UTF-8. A value line is the value's name in quotes (or '@' for the default
// value), '=', and the typed data:
//   dword:XXXXXXXX   REG_DWORD, one to eight hex digits
//   sz:"text"        REG_SZ, the text without its terminator
//   hex:bb,bb,...    REG_BINARY (possibly no bytes)
//   hex(N):bb,...    any other type number N (decimal), kept as it is
// Quoted text escapes '\' as \\, '"' as \", and any other byte as \xHH (written for control
// bytes and bytes that are not valid UTF-8; \n, \r and \t are read too).
//
// Reading never fails. A line that does not parse is a damaged line, and so are the value lines
// below a section line that does not parse (they cannot be placed), and a section whose path is
// beyond the limits of HiveModel.h. Damaged lines are not read as settings, but they are kept
// and written back as they stand: in their key's section after its values (above the first
// section for lines found there), so nothing typed by hand is lost by the next change. Comment
// lines are not kept; the header comment is written anew. A key's missing parents are created.
// A repeated section adds to the same key, a repeated value replaces the earlier one. Writing
// produces the header comment and then the keys in sorted order, so the file is stable under
// rewriting: formatting what a text parses to, parsing that and formatting it again gives the
// same text.

HiveContents ParseHive(std::string_view text);
std::string FormatHive(const HiveContents& contents, std::string_view hiveName);

} // namespace fz::registry
