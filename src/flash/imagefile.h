// The files of the flash commands: the image a user names and the save file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace flash {

enum class ImageFileStatus {
    Ok,
    OpenFailed,
    ReadFailed,
    TooLarge,
};

// Reads the whole file when it holds at most limit bytes.
ImageFileStatus ReadImageFile(const std::string &path, size_t limit, std::vector<uint8_t> &out);
// Writes the bytes to the file (replacing it); false on any failure.
bool WriteImageFile(const std::string &path, const std::vector<uint8_t> &data);

} // namespace flash
