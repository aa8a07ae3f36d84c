// JPEG pictures for tests and benchmarks, made on the spot with TurboJPEG, and the
// reference decoder's view of a JPEG file.
#pragma once

#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "platform/file_system.h"

namespace dfm::testing {

// A picture with smooth gradients, edges and a little noise, so that chroma
// subsampling and the IDCT both matter: `channels` (3: RGB, 1: grey) bytes per pixel,
// top row first.
inline Bytes SamplePicture(int width, int height, int channels, unsigned seed = 1) {
  std::mt19937 rng(seed);
  Bytes px(static_cast<std::size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &px[(static_cast<std::size_t>(y) * width + x) * channels];
      const int noise = static_cast<int>(rng() % 24);
      const int edge = ((x / 7 + y / 5) % 3 == 0) ? 60 : 0;
      for (int c = 0; c < channels; ++c) {
        const int v = (x * (37 + 50 * c) / (width > 1 ? width : 1) +
                       y * (90 - 20 * c) / (height > 1 ? height : 1) + noise + edge + 40 * c) %
                      256;
        p[c] = static_cast<unsigned char>(v);
      }
    }
  }
  return px;
}

// Encodes `pixels` (TJPF_RGB, TJPF_GRAY or TJPF_CMYK, top row first) with TurboJPEG.
inline Bytes EncodeJpeg(const Bytes& pixels, int width, int height, int pixel_format,
                        int subsampling, int quality = 90, int flags = 0) {
  std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitCompress(), tjDestroy);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(tj.get(), pixels.data(), width, 0, height, pixel_format, &out,
                                 &size, subsampling, quality, flags);
  const Bytes jpeg = status == 0 ? Bytes(out, out + size) : Bytes{};
  tjFree(out);
  return jpeg;
}

inline Bytes SampleJpeg(int width, int height, int subsampling = TJSAMP_420, int flags = 0) {
  const bool grey = subsampling == TJSAMP_GRAY;
  return EncodeJpeg(SamplePicture(width, height, grey ? 1 : 3), width, height,
                    grey ? TJPF_GRAY : TJPF_RGB, subsampling, 90, flags);
}

// What the reference decoder `djpeg` makes of the file at `jpeg_path`: RGB (or grey for
// a one-channel picture), top row first. nullopt when djpeg is not installed or fails.
inline std::optional<Bytes> DecodeWithDjpeg(const std::string& jpeg_path, int* channels) {
  const std::string out = jpeg_path + ".pnm";
  const std::string cmd = "djpeg -pnm -outfile '" + out + "' '" + jpeg_path + "' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return std::nullopt;
  std::ifstream in(out, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (!in || (magic != "P6" && magic != "P5") || maxval != 255) return std::nullopt;
  *channels = magic == "P6" ? 3 : 1;
  Bytes px(static_cast<std::size_t>(w) * h * *channels);
  in.read(reinterpret_cast<char*>(px.data()), static_cast<std::streamsize>(px.size()));
  std::remove(out.c_str());
  if (!in) return std::nullopt;
  return px;
}

}  // namespace dfm::testing
