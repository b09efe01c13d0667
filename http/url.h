// Taking apart the loose addresses that callers write: with or without a scheme, in any
// letter case, with or without a port or a trailing slash. Only "http://" and "https://" are
// known schemes. None of these routines fails: every input, even an empty one, gives a result.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace tuvaro {

// The lower-cased host of `url` (only ASCII letters change). With `domainOnly` the host is cut
// to its last two dot-separated labels; with `keepPort` a ":port" after the host stays.
// An address without a known scheme is read as http, and when "http://" occurs anywhere in it
// the host is taken from there. Examples: urlHost("HTTP://Www.A.com:81/x") == "www.a.com";
// urlHost("www.a.com:81", true, true) == "a.com:81"; urlHost("") == "".
Text urlHost(std::string_view url, bool domainOnly = false, bool keepPort = false);

// The port the address names (the digits after the last ":" of the host with its port; no
// digits give 0), else 443 when the address begins with "https" in any case, else 80.
// Examples: urlPort("a.com") == 80; urlPort("HTTPS://a.com/") == 443; urlPort("a.com:") == 0.
std::int32_t urlPort(std::string_view url);

// The object path for the request line: from the first "/" after the host to the end of the
// address, query and fragment included, in the address's own letter case; "/" when there is
// none. Example: urlPath("http://a.com/P?q=1#f") == "/P?q=1#f".
Text urlPath(std::string_view url);

}  // namespace tuvaro
