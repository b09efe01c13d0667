#include "text/codepage.h"

#include <unicode/ucnv.h>

#include <memory>
#include <vector>

namespace tuvaro {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Converters are not thread-safe: each thread keeps its own pair.
UConverter* codePage936() {
  thread_local Converter converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    Converter opened(ucnv_open("windows-936", &status));
    if (opened) ucnv_setSubstChars(opened.get(), "?", 1, &status);
    return opened;
  }();
  return converter.get();
}

UConverter* utf8() {
  thread_local Converter converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    return Converter(ucnv_open("UTF-8", &status));
  }();
  return converter.get();
}

// Converts `input` from one converter's charset to the other's through UTF-16.
std::string convert(UConverter* from, UConverter* to, std::string_view input) {
  if (!from || !to || input.empty()) return {};
  ucnv_reset(from);
  ucnv_reset(to);
  std::string out(input.size() * 2 + 16, '\0');
  char* target = out.data();
  const char* source = input.data();
  UChar pivot[1024];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &target, out.data() + out.size(), &source, input.data() + input.size(),
                   pivot, &pivotSource, &pivotTarget, pivot + 1024, false, true, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    const std::size_t written = static_cast<std::size_t>(target - out.data());
    out.resize(out.size() * 2);
    target = out.data() + written;
  }
  out.resize(static_cast<std::size_t>(target - out.data()));
  return out;
}

}  // namespace

Text textFromUtf8(std::string_view utf8Text) {
  return Text(convert(utf8(), codePage936(), utf8Text));
}

std::string textToUtf8(std::string_view text) { return convert(codePage936(), utf8(), text); }

}  // namespace tuvaro
