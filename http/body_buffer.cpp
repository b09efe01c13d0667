#include "http/body_buffer.h"

#include <algorithm>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tuvaro {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Asks for huge pages on the whole 2 MiB-aligned part of [data, data + size). Only a hint: it
// changes nothing but the cost of touching the memory.
void adviseHugePages([[maybe_unused]] char* data, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (size < 2 * kHugePage) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t alignedBegin = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t alignedEnd = (begin + size) & ~(kHugePage - 1);
  if (alignedEnd > alignedBegin) {
    ::madvise(reinterpret_cast<void*>(alignedBegin), alignedEnd - alignedBegin, MADV_HUGEPAGE);
  }
#endif
}

}  // namespace

void BodyBuffer::reserve(std::size_t capacity) {
  if (capacity <= bytes_.capacity()) return;
  try {
    bytes_.reserve(capacity);
  } catch (const std::bad_alloc&) {
    return;  // only an optimisation: appending will try again for what it needs
  }
  // Only the part past what is already written is still untouched.
  adviseHugePages(bytes_.data() + bytes_.size(), bytes_.capacity() - bytes_.size());
}

void BodyBuffer::expect(std::uint64_t size) {
  reserve(static_cast<std::size_t>(std::min(size, kMaxExpected)));
}

void BodyBuffer::append(const char* data, std::size_t count) {
  if (bytes_.size() + count > bytes_.capacity()) {
    reserve(std::max(bytes_.capacity() * 2, bytes_.size() + count));
  }
  bytes_.append(data, count);
}

std::string BodyBuffer::take() {
  if (bytes_.capacity() > 2 * bytes_.size() + 4096) bytes_.shrink_to_fit();
  return std::move(bytes_);
}

}  // namespace tuvaro
