#pragma once
// MapInfo character-set names and the encodings GDAL's MapInfo driver knows them by.

#include <optional>
#include <string>
#include <string_view>

namespace quadrel::mitab_gdal {

// The encoding name (as GDAL's ENCODING option and iconv know it) of a MapInfo charset
// name, compared without regard to case. "Neutral" gives an empty name (bytes are stored
// unchanged). nullopt for a name the driver cannot write into a table.
std::optional<std::string_view> EncodingOfCharset(std::string_view charset);

// Text from `encoding` to UTF-8 (what GDAL expects in features when a table has an
// encoding). Pure ASCII and an empty encoding pass unchanged; bytes the encoding does
// not define become '?'.
std::string ToUtf8(std::string_view text, std::string_view encoding);

} // namespace quadrel::mitab_gdal
