#include "http/cookies.h"

#include <string>
#include <unordered_set>

namespace tuvaro {
namespace {

constexpr std::string_view kDeletedTail = "=deleted";
constexpr std::string_view kJoiner = "; ";

bool isDeletedPiece(std::string_view piece) {
  return piece.size() >= kDeletedTail.size() &&
         piece.substr(piece.size() - kDeletedTail.size()) == kDeletedTail;
}

}  // namespace

// The two list helpers scan their lists, as their contracts say. The merge and the join keep
// hash sets beside their lists instead, so that their cost stays linear in the number of
// pieces; a set answers exactly what the scan would (same names, same whole pieces).
Text mergeCookies(Text& cookies, Text& returnedCookies) {
  cookies = removeSpaces(cookies.view());
  returnedCookies = removeSpaces(returnedCookies.view());
  const TextList supplied = splitText(cookies.view(), ";");
  TextList merged = splitText(returnedCookies.view(), ";");

  std::unordered_set<std::string> mergedNames;
  mergedNames.reserve(merged.size() + supplied.size());
  for (const Text& piece : merged) mergedNames.insert(cookieName(piece.view()).str());
  for (const Text& piece : supplied) {
    // Adding the name as the piece is appended makes later supplied pieces of the same name
    // lose, as they would against the growing list.
    if (mergedNames.insert(cookieName(piece.view()).str()).second) merged.push_back(piece);
  }

  std::string joined;
  for (const Text& piece : merged) {
    if (isDeletedPiece(piece.view())) continue;
    joined += piece.view();
    joined += kJoiner;
  }
  joined.resize(joined.size() > kJoiner.size() ? joined.size() - kJoiner.size() : 0);
  cookies = joinDistinct(joined, kJoiner);
  return cookies;
}

Text cookieName(std::string_view piece) {
  const std::int64_t equals = findText(piece, "=");
  return trimSpaces(equals == -1 ? piece : leftBytes(piece, equals - 1));
}

bool hasCookieNamed(const TextList& list, std::string_view name) {
  for (const Text& piece : list) {
    if (cookieName(piece.view()).view() == name) return true;
  }
  return false;
}

Text joinDistinct(std::string_view text, std::string_view separator) {
  std::unordered_set<std::string_view> seen;
  const TextList pieces = splitText(text, separator);
  seen.reserve(pieces.size());
  std::string joined;
  for (const Text& piece : pieces) {
    if (!seen.insert(piece.view()).second) continue;
    joined += piece.view();
    joined += separator;
  }
  joined.resize(joined.size() > separator.size() ? joined.size() - separator.size() : 0);
  return Text(joined);
}

std::int64_t indexOfText(const TextList& list, std::string_view text) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].view() == text) return static_cast<std::int64_t>(i) + 1;
  }
  return -1;
}

}  // namespace tuvaro
