// textBetween on a large page whose markers stand at its very end, case-insensitive, against
// a plain memmem over the same bytes. Half of the page is two-byte characters.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "text/text_between.h"

namespace {

// Words of ASCII and code-page-936 characters, about half of the bytes two-byte characters,
// ending in the update page's markers.
const std::string& pageOf(std::size_t bytes) {
  static std::string cache;
  if (cache.size() != bytes) {
    std::mt19937 random(42);
    std::string page;
    page.reserve(bytes + 64);
    const std::string ascii = "the quick brown fox jumps over a lazy dog 0123456789 <a href=x>";
    while (page.size() < bytes) {
      if (random() % 2) {
        for (int i = 0; i < 8; ++i) page += ascii[random() % ascii.size()];
      } else {
        for (int i = 0; i < 4; ++i) {
          page += static_cast<char>(0xB0 + random() % 0x40);
          page += static_cast<char>(0xA1 + random() % 0x5E);
        }
      }
    }
    page.resize(bytes);
    page += "RuanJianBanBen2JieShu";
    cache = std::move(page);
  }
  return cache;
}

void textBetweenAtTheEnd(benchmark::State& state) {
  const std::string& page = pageOf(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tuvaro::textBetween(page, "ruanjianbanben", "jieshu"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

void memmemAtTheEnd(benchmark::State& state) {
  const std::string& page = pageOf(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    benchmark::DoNotOptimize(memmem(page.data(), page.size(), "RuanJianBanBen", 14));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}

BENCHMARK(textBetweenAtTheEnd)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(memmemAtTheEnd)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
