#pragma once

#include <string>
#include <vector>

namespace vestrel {

// The names in `folder`, subdirectories first, then files; each group in
// plain byte order of the name (so "frame10.png" sorts before "frame2.png":
// zero-pad numbered files). "." and ".." are left out; nothing is filtered by
// type. Any error (the folder cannot be opened or read, a name of 256 bytes
// or more, a full path that would reach 4096 bytes) gives an empty list,
// never a partial one.
std::vector<std::string> listDirectory(const std::string& folder);

}  // namespace vestrel
