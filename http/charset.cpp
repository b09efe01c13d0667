#include "http/charset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tuvaro {
namespace {

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Writes the substitution ("?") for every character that the charset cannot hold. ICU's own
// substitution callback writes nothing for default-ignorable characters (a zero-width space, a
// byte-order mark inside the text); the code page's conversion gives "?" for those too.
void substituteEveryCharacter(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                              UChar32, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;
  *status = U_ZERO_ERROR;
  ucnv_cbFromUWriteSub(args, 0, status);
}

// A fresh converter for one call (converters keep state and are not shared across threads),
// or null when ICU does not know the name. Characters that the charset cannot hold become "?".
Converter openConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (!converter || U_FAILURE(status)) return nullptr;
  static constexpr UChar kQuestionMark[] = {u'?'};
  ucnv_setSubstString(converter.get(), kQuestionMark, 1, &status);
  ucnv_setFromUCallBack(converter.get(), substituteEveryCharacter, nullptr, nullptr, nullptr,
                        &status);
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

bool sameCharset(UConverter* a, UConverter* b) {
  UErrorCode status = U_ZERO_ERROR;
  const char* nameA = ucnv_getName(a, &status);
  const char* nameB = ucnv_getName(b, &status);
  return U_SUCCESS(status) && std::strcmp(nameA, nameB) == 0;
}

// Converts all of `input` from `from`'s charset to `to`'s, through ICU's UTF-16 pivot, growing
// the output as needed. Malformed input and unmappable characters are substituted, never
// errors; any other ICU failure ends the output where it stands.
std::string convertAll(UConverter* from, UConverter* to, std::string_view input,
                       std::size_t expectedSize) {
  std::string out;
  out.resize(expectedSize + 16);
  char* target = out.data();
  const char* source = input.data();
  const char* const sourceEnd = input.data() + input.size();
  UChar pivot[4096];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  bool reset = true;
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &target, out.data() + out.size(), &source, sourceEnd, pivot,
                   &pivotSource, &pivotTarget, pivot + std::size(pivot), reset, true, &status);
    reset = false;
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    const auto written = static_cast<std::size_t>(target - out.data());
    out.resize(out.size() * 2);
    target = out.data() + written;
  }
  out.resize(static_cast<std::size_t>(target - out.data()));
  return out;
}

}  // namespace

Bytes streamConvert(const Bytes& data, const Text& fromCharset, const Text& toCharset,
                    std::int32_t skip, bool skipGiven) {
  const Converter from = openConverter(fromCharset.c_str());
  const Converter to = openConverter(toCharset.c_str());
  const Converter codePage = openConverter("windows-936");
  if (!from || !to || !codePage) return {};

  std::string_view input = data.view();
  UErrorCode status = U_ZERO_ERROR;
  if (input.substr(0, kUtf8Signature.size()) == kUtf8Signature &&
      std::strcmp(ucnv_getName(from.get(), &status), "UTF-8") == 0) {
    input.remove_prefix(kUtf8Signature.size());
  }

  // Every character of code page 936 takes at most two bytes and, from the decoders that
  // matter here (UTF-8, UTF-16, GBK), no more bytes than it had in the input.
  std::string text = convertAll(from.get(), codePage.get(), input, input.size());
  // Code page 936 never uses a zero byte inside a character: a zero byte is U+0000.
  text.resize(std::min(text.size(), text.find('\0')));

  std::string encoded = sameCharset(to.get(), codePage.get())
                            ? std::move(text)
                            : convertAll(codePage.get(), to.get(), text, text.size() * 2);
  if (skipGiven && skip > 0) {
    encoded.erase(0, std::min(encoded.size(), static_cast<std::size_t>(skip)));
  }
  return Bytes(std::move(encoded));
}

Bytes convertCharset(const Bytes& data, Text* fromCharset, Text* toCharset,
                     std::optional<std::int32_t> skip) {
  Text from = fromCharset ? *fromCharset : Text();
  Text to = toCharset ? *toCharset : Text();
  if (from.empty()) from = Text("UTF-8");
  if (to.empty()) to = Text("GBK");
  if (fromCharset) *fromCharset = from;
  if (toCharset) *toCharset = to;
  return skip ? streamConvert(data, from, to, *skip, true)
              : streamConvert(data, from, to, 0, false);
}

}  // namespace tuvaro
