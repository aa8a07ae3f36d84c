#pragma once

namespace dfm {

// Which characters separate path components for the path utilities: "\" always,
// and "/" too on POSIX hosts.
enum class PathStyle { kWindows, kPosix };

// The style of the host this program was built for (defined by the host's platform code).
PathStyle HostPathStyle();

}  // namespace dfm
