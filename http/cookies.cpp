#include "http/cookies.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace tuvaro {
namespace {

constexpr std::string_view kDeletedTail = "=deleted";
constexpr std::string_view kJoiner = "; ";

bool isDeletedPiece(std::string_view piece) {
  return piece.size() >= kDeletedTail.size() &&
         piece.substr(piece.size() - kDeletedTail.size()) == kDeletedTail;
}

bool isSpaceAt(std::string_view text, std::size_t i) {
  return text[i] == ' ' || (static_cast<unsigned char>(text[i]) == 0xA1 && i + 1 < text.size() &&
                            static_cast<unsigned char>(text[i + 1]) == 0xA1);
}

// trimSpaces as a view into `text`: leading and trailing runs of spaces go, and so does a
// lone lead byte at the very end.
std::string_view trimSpacesView(std::string_view text) {
  std::size_t begin = text.size(), end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = charLength(text, i);
    const bool loneLead = isLeadByte(text[i]) && length == 1;
    if (!loneLead && !isSpaceAt(text, i)) {
      if (begin == text.size()) begin = i;
      end = i + length;
    }
    i += length;
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view();
}

std::string_view cookieNameView(std::string_view piece) {
  std::size_t equals = 0;
  while (equals < piece.size() && piece[equals] != '=') equals += charLength(piece, equals);
  return trimSpacesView(piece.substr(0, equals));
}

// splitText as views into `text`, so that large cookie texts cost no allocation per piece:
// cut at every occurrence of `separator` that begins at a character start (a lone lead byte
// at the very end is never one), left to right; a trailing separator adds no empty piece.
std::vector<std::string_view> splitViews(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size();) {
    const bool loneLeadAtEnd = isLeadByte(text[i]) && i + 1 == text.size();
    if (!loneLeadAtEnd && text.substr(i, separator.size()) == separator) {
      pieces.push_back(text.substr(start, i - start));
      i += separator.size();
      start = i;
    } else {
      i += charLength(text, i);
    }
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

// The joined pieces less the trailing separator (empty when nothing longer than it is left).
std::string joinPieces(const std::vector<std::string_view>& pieces, std::string_view separator,
                       std::size_t sizeHint) {
  std::string joined;
  joined.reserve(sizeHint);
  for (std::string_view piece : pieces) {
    joined += piece;
    joined += separator;
  }
  joined.resize(joined.size() > separator.size() ? joined.size() - separator.size() : 0);
  return joined;
}

}  // namespace

// The two list helpers scan their lists, as their contracts say. The merge and the join work
// on views and keep hash sets beside their lists instead, so that their cost stays linear in
// the number of pieces; a set answers exactly what the scan would (same names, same pieces).
Text mergeCookies(Text& cookies, Text& returnedCookies) {
  cookies = removeSpaces(cookies.view());
  returnedCookies = removeSpaces(returnedCookies.view());
  const std::vector<std::string_view> supplied = splitViews(cookies.view(), ";");
  std::vector<std::string_view> merged = splitViews(returnedCookies.view(), ";");

  std::unordered_set<std::string_view> mergedNames;
  mergedNames.reserve(merged.size() + supplied.size());
  for (std::string_view piece : merged) mergedNames.insert(cookieNameView(piece));
  for (std::string_view piece : supplied) {
    // Adding the name as the piece is appended makes later supplied pieces of the same name
    // lose, as they would against the growing list.
    if (mergedNames.insert(cookieNameView(piece)).second) merged.push_back(piece);
  }
  std::erase_if(merged, isDeletedPiece);

  const std::string joined = joinPieces(
      merged, kJoiner, cookies.size() + returnedCookies.size() + kJoiner.size() * merged.size());
  Text result = joinDistinct(joined, kJoiner);
  cookies = result;
  return result;
}

Text cookieName(std::string_view piece) { return Text(cookieNameView(piece)); }

bool hasCookieNamed(const TextList& list, std::string_view name) {
  for (const Text& piece : list) {
    if (cookieNameView(piece.view()) == name) return true;
  }
  return false;
}

Text joinDistinct(std::string_view text, std::string_view separator) {
  const std::vector<std::string_view> pieces = splitViews(text, separator);
  std::unordered_set<std::string_view> seen;
  seen.reserve(pieces.size());
  std::vector<std::string_view> distinct;
  distinct.reserve(pieces.size());
  for (std::string_view piece : pieces) {
    if (seen.insert(piece).second) distinct.push_back(piece);
  }
  return Text(joinPieces(distinct, separator, text.size() + separator.size()));
}

std::int64_t indexOfText(const TextList& list, std::string_view text) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].view() == text) return static_cast<std::int64_t>(i) + 1;
  }
  return -1;
}

}  // namespace tuvaro
