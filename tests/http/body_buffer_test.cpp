#include "http/body_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace tuvaro {
namespace {

struct BufferCase {
  const char* why;
  std::uint64_t expected;
  std::size_t pieces;
  std::size_t pieceSize;
};

TEST(BodyBufferTest, HoldsExactlyWhatWasAppended) {
  const BufferCase cases[] = {
      {"nothing expected, nothing appended", 0, 0, 0},
      {"grows without a hint", 0, 3000, 1024},
      {"a hint that fits", 3000 * 7, 3000, 7},
      {"a hint too small", 10, 5000, 1024},
      {"a hint too large", 1 << 20, 3, 5},
      {"an absurd hint is capped", std::uint64_t{1} << 62, 10, 100},
      {"large enough for huge pages", 8u << 20, 8192, 1024},
  };
  for (const BufferCase& c : cases) {
    SCOPED_TRACE(c.why);
    BodyBuffer buffer;
    buffer.expect(c.expected);
    std::string expected;
    for (std::size_t i = 0; i < c.pieces; ++i) {
      const std::string piece(c.pieceSize, static_cast<char>('a' + i % 26));
      buffer.append(piece.data(), piece.size());
      expected += piece;
    }
    EXPECT_EQ(buffer.size(), expected.size());
    const std::string taken = buffer.take();
    EXPECT_EQ(taken, expected);
    // Spare room is given back rather than handed to the caller.
    EXPECT_LE(taken.capacity(), 2 * taken.size() + 4096);
  }
}

}  // namespace
}  // namespace tuvaro
