#include "http/url.h"

#include <string>

#include "text/text_between.h"

namespace tuvaro {
namespace {

// True when the last character of `text` (stepping in code page 936) is a single "/", not
// the second byte of a two-byte character.
bool endsWithSlashCharacter(std::string_view text) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size(); i += charLength(text, i)) last = i;
  return !text.empty() && last == text.size() - 1 && text[last] == '/';
}

}  // namespace

Text urlHost(std::string_view url, bool domainOnly, bool keepPort) {
  std::string s = toLowerAscii(url).str();
  if (!endsWithSlashCharacter(s)) s += '/';
  Text host;
  if (leftBytes(s, 8) == "https://") {
    host = textBetween(s, "https://", "/");
  } else {
    if (!containsText(s, "http://")) s.insert(0, "http://");
    host = textBetween(s, "http://", "/");
  }
  if (domainOnly) {
    const TextList labels = splitText(host.view(), ".");
    if (labels.size() >= 2) {
      host = labels[labels.size() - 2] + Text(".") + labels.back();
    }
  }
  if (keepPort) return host;
  const std::int64_t colon = findText(host.view(), ":");
  return colon == -1 ? host : Text(leftBytes(host.view(), colon - 1));
}

std::int32_t urlPort(std::string_view url) {
  const Text host = urlHost(url, false, true);
  const std::int64_t colon = findLastText(host.view(), ":");
  if (colon != -1) return low32Bits(textToInteger(bytesFrom(host.view(), colon + 1)));
  return leftBytes(toLowerAscii(url).view(), 5) == "https" ? 443 : 80;
}

Text urlPath(std::string_view url) {
  const Text host = urlHost(url);
  const std::int64_t hostAt = findText(url, host.view(), 1, LetterCase::kIgnore);
  const std::int64_t slash = findText(url, "/", hostAt);
  if (slash == -1) return Text("/");
  return Text(bytesFrom(url, slash));
}

}  // namespace tuvaro
