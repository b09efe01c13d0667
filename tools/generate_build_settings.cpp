// generate_build_settings OUTPUT SEARCH_HOST TITLE UPDATE_INFO_URL DOWNLOAD_URL
// Writes the header of build-time settings that the program carries: the search address
// prefix, and the title and the two update addresses in scrambled form only. The plain texts
// (UTF-8) are converted to code page 936 before scrambling.
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "app/scramble_keys.h"
#include "text/codepage.h"
#include "tools/scrambler.h"

namespace {

void writeConstant(std::ofstream& out, std::string_view name, std::string_view value) {
  out << "inline constexpr std::string_view " << name << " = \"" << value << "\";\n";
}

bool isPlainAscii(std::string_view text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: generate_build_settings OUTPUT SEARCH_HOST TITLE UPDATE_INFO_URL "
                 "DOWNLOAD_URL\n");
    return 2;
  }
  const std::string prefix = std::string("http://") + argv[2] + "/s/";
  if (!isPlainAscii(prefix)) {
    std::fprintf(stderr, "generate_build_settings: the search host must be plain ASCII\n");
    return 2;
  }
  const std::string titleKey = tuvaro::keyTextOf(tuvaro::kTitleKeyNumber);
  const std::string updateKey = tuvaro::keyTextOf(tuvaro::kUpdateKeyNumber);
  const auto scramble = [](const char* plainUtf8, const std::string& key) {
    return tuvaro::scrambleText(tuvaro::textFromUtf8(plainUtf8).view(), key);
  };

  std::ofstream out(argv[1], std::ios::trunc);
  out << "// Generated at build time by generate_build_settings; do not edit.\n"
         "#pragma once\n\n#include <string_view>\n\nnamespace tuvaro {\n\n";
  writeConstant(out, "kSearchAddressPrefix", prefix);
  writeConstant(out, "kScrambledTitle", scramble(argv[3], titleKey).view());
  writeConstant(out, "kScrambledUpdateInfoUrl", scramble(argv[4], updateKey).view());
  writeConstant(out, "kScrambledDownloadPageUrl", scramble(argv[5], updateKey).view());
  out << "\n}  // namespace tuvaro\n";
  out.close();
  return out ? 0 : 1;
}
