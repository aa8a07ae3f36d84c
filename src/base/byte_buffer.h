#pragma once

#include <cstddef>
#include <memory>

namespace dfm {

// A buffer of `size` bytes that is not zero-filled first: it is about to be overwritten by a
// read. (The release programs are built against an older C++ library that lacks
// std::make_unique_for_overwrite.)
inline std::unique_ptr<unsigned char[]> UninitializedBytes(std::size_t size) {
#if defined(__cpp_lib_smart_ptr_for_overwrite)
  return std::make_unique_for_overwrite<unsigned char[]>(size);
#else
  return std::unique_ptr<unsigned char[]>(new unsigned char[size]);
#endif
}

}  // namespace dfm
