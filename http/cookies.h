// Folding the cookies that a server set into the caller's own cookie text. A cookie text is a
// list of name=value pieces separated by ";". A returned cookie replaces a supplied one of the
// same name, a piece ending in "=deleted" removes its cookie, and no piece occurs twice.
// Texts are scanned character by character in code page 936; a space is 0x20 or 0xA1 0xA1.
// Every routine takes any input and never fails; each costs time linear in its input.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace tuvaro {

// Merges `returnedCookies` into `cookies` and returns the merged text. Both parameters are
// written back: `cookies` becomes the merged text, `returnedCookies` loses all its spaces.
// Order: the returned pieces in the server's order, then the supplied pieces whose names the
// server did not set, in the caller's order; deleted pieces are dropped, and a returned
// deletion also removes the supplied cookie of that name. Pieces lose all spaces and are
// joined by "; ". Example: cookies "a=1; b=2", returned "b=3; c=4" give "b=3; c=4; a=1".
Text mergeCookies(Text& cookies, Text& returnedCookies);

// The cookie name of a piece: the text before its first "=" (the whole piece when there is
// none), with spaces trimmed at both ends. Example: cookieName(" a =1") == "a".
Text cookieName(std::string_view piece);

// True when some piece of `list` has exactly the cookie name `name` (letter case counts).
// An empty name matches a piece that is empty or begins with "=". Scans the list.
bool hasCookieNamed(const TextList& list, std::string_view name);

// The pieces of `text` split at `separator`, each kept only at its first occurrence, joined by
// `separator`. An empty text gives ""; an empty separator gives `text` unchanged.
// Example: joinDistinct("x; y; x", "; ") == "x; y".
Text joinDistinct(std::string_view text, std::string_view separator);

// The position (from 1) of the first element of `list` equal to `text` byte for byte, or -1.
// Scans the list. Example: indexOfText({"a", "b", "a"}, "a") == 1.
std::int64_t indexOfText(const TextList& list, std::string_view text);

}  // namespace tuvaro
