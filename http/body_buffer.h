// The response body as it arrives, in memory. Sized once when the transport announces the
// body's length, grown geometrically otherwise. Large buffers ask the platform for huge pages
// where it offers them: a 256 MiB body then costs a hundred or so page faults instead of
// sixty-five thousand, which is most of what a large download costs beyond the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tuvaro {

class BodyBuffer {
 public:
  // Makes room for `size` bytes in all (capped, so that a server announcing an absurd length
  // cannot make the buffer reserve it).
  void expect(std::uint64_t size);
  void append(const char* data, std::size_t count);
  std::size_t size() const { return bytes_.size(); }
  // The bytes, the buffer left empty. Spare room that the body did not fill is given back.
  std::string take();

  // Announced lengths above this are not reserved up front; the buffer grows as data arrives.
  static constexpr std::uint64_t kMaxExpected = std::uint64_t{1} << 30;

 private:
  void reserve(std::size_t capacity);
  std::string bytes_;
};

}  // namespace tuvaro
