#include "flash/imagefile.h"

#include <cstdio>
#include <memory>

namespace flash {

namespace {

struct FileCloser {
    void operator()(std::FILE *fp) const { std::fclose(fp); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

ImageFileStatus ReadImageFile(const std::string &path, size_t limit, std::vector<uint8_t> &out)
{
    FilePtr fp(std::fopen(path.c_str(), "rb"));
    if (!fp)
        return ImageFileStatus::OpenFailed;
    if (std::fseek(fp.get(), 0, SEEK_END) != 0)
        return ImageFileStatus::ReadFailed;
    const long size = std::ftell(fp.get());
    if (size < 0 || std::fseek(fp.get(), 0, SEEK_SET) != 0)
        return ImageFileStatus::ReadFailed;
    if (size_t(size) > limit)
        return ImageFileStatus::TooLarge;
    out.resize(size_t(size));
    if (size && std::fread(out.data(), 1, out.size(), fp.get()) != out.size())
        return ImageFileStatus::ReadFailed;
    return ImageFileStatus::Ok;
}

bool WriteImageFile(const std::string &path, const std::vector<uint8_t> &data)
{
    FilePtr fp(std::fopen(path.c_str(), "wb"));
    if (!fp)
        return false;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), fp.get()) != data.size())
        return false;
    return std::fclose(fp.release()) == 0;
}

} // namespace flash
