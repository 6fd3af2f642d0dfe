#pragma once

// The two streams the fake files need that each system's C library makes its
// own way; one implementation per system, picked by the build.

#include <cstdio>
#include <filesystem>
#include <string>

namespace fake::detail {

// A new or emptied file on disk, for binary writing.
std::FILE* OpenOnDisk(const std::filesystem::path& path);

// A stream whose bytes reach `bytes`, at the latest by CollectMemoryStream
// (called before the stream closes).
std::FILE* OpenMemoryStream(std::string& bytes);
bool CollectMemoryStream(std::FILE* stream, std::string& bytes);

}  // namespace fake::detail
