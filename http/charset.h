// Re-encoding bytes from one charset to another through the program's code page 936, as the
// request routine does with a body marked UTF-8. Charset names are those that ICU knows
// ("UTF-8", "GBK", "GB18030", "Big5", "ISO-8859-1", "UTF-16LE", ...), in any letter case.
//
// What goes through:
//  - `data` is decoded in the source charset, then passes through code page 936: a character
//    that the code page cannot hold becomes "?", and the text ends at its first NUL
//    character; then it is encoded in the target charset.
//  - A UTF-8 byte-order mark at the start of the data is a signature, not text: it is dropped.
//  - Malformed input bytes decode to U+FFFD, one for each maximal ill-formed sequence, and so
//    come out as "?".
//  - A source or target charset name that is not known gives empty Bytes.
//  - A character that the target charset cannot hold comes out as "?" too.
//  - Whatever the encoder writes counts for `skip`, a byte-order mark included ("UTF-16"
//    writes one, "UTF-16LE" does not). A skip at or beyond the end gives empty Bytes; a
//    negative skip leaves nothing out.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace tuvaro {

// `data` re-encoded from `*fromCharset` to `*toCharset`, less the first `skip` bytes when
// `skip` is given. An omitted (null) or empty charset takes its default, "UTF-8" and "GBK",
// and the default is written back into the caller's variable.
// Example: convertCharset(Bytes("\xE4\xB8\xAD")) == Bytes("\xD6\xD0").
Bytes convertCharset(const Bytes& data, Text* fromCharset = nullptr, Text* toCharset = nullptr,
                     std::optional<std::int32_t> skip = std::nullopt);

// The conversion itself, with both charsets named: decode `data` in `fromCharset`, pass the
// text through code page 936, encode it in `toCharset`, and when `skipGiven` leave out the
// first `skip` bytes of the encoding. Empty Bytes when no bytes result.
Bytes streamConvert(const Bytes& data, const Text& fromCharset, const Text& toCharset,
                    std::int32_t skip, bool skipGiven);

}  // namespace tuvaro
