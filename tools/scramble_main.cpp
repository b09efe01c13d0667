// scramble PLAIN_UTF8 KEY: prints the scrambled form of PLAIN (converted to code page 936).
#include <cstdio>

#include "text/codepage.h"
#include "tools/scrambler.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: scramble PLAIN_UTF8 KEY\n");
    return 2;
  }
  const tuvaro::Text plain = tuvaro::textFromUtf8(argv[1]);
  std::printf("%s\n", tuvaro::scrambleText(plain.view(), argv[2]).c_str());
  return 0;
}
