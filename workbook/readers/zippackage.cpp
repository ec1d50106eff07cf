#include "workbook/readers/zippackage.h"

#include <zip.h>

namespace quorvel {

namespace {

// A small part may unpack to this much whatever its ratio: a sheet of blanks
// packs tighter than 200:1 without being a bomb.
constexpr std::uint64_t kRatioFreeBytes = 1 << 20;

WorkbookFailure failureOfZipError(int code)
{
    switch (code) {
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
        return WorkbookFailure::MissingFile;
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return WorkbookFailure::Password;
    case ZIP_ER_MEMORY:
        return WorkbookFailure::Oversized;
    default:
        return WorkbookFailure::Damaged;
    }
}

} // namespace

ZipPart::ZipPart(zip_file *file, std::uint64_t packed, std::uint64_t size)
    : file_(file), packed_(packed), size_(size)
{
}

ZipPart::~ZipPart()
{
    zip_fclose(file_);
}

std::size_t ZipPart::read(char *buffer, std::size_t n)
{
    const zip_int64_t got = zip_fread(file_, buffer, n);
    if (got < 0)
        throw WorkbookError(failureOfZipError(zip_error_code_zip(zip_file_get_error(file_))));
    unpacked_ += static_cast<std::uint64_t>(got);
    if (unpacked_ > static_cast<std::uint64_t>(kMaxPartBytes)
        || (unpacked_ > kRatioFreeBytes
            && unpacked_ > static_cast<std::uint64_t>(kMaxPartRatio) * packed_))
        throw WorkbookError(WorkbookFailure::Oversized);
    return static_cast<std::size_t>(got);
}

ZipPackage::ZipPackage(const std::string &path)
{
    int error = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive_)
        throw WorkbookError(failureOfZipError(error));
}

ZipPackage::~ZipPackage()
{
    zip_discard(archive_);
}

long long ZipPackage::locate(std::string_view name) const
{
    return zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_NOCASE);
}

bool ZipPackage::has(std::string_view name) const
{
    return locate(name) >= 0;
}

std::unique_ptr<ZipPart> ZipPackage::open(std::string_view name) const
{
    const long long index = locate(name);
    if (index < 0)
        return nullptr;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0)
        throw WorkbookError(WorkbookFailure::Damaged);
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw WorkbookError(WorkbookFailure::Password);
    zip_file *file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file)
        throw WorkbookError(failureOfZipError(zip_error_code_zip(zip_get_error(archive_))));
    const std::uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    const std::uint64_t size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
    return std::make_unique<ZipPart>(file, packed, size);
}

std::string ZipPackage::head(std::string_view name, std::size_t max) const
{
    const auto part = open(name);
    if (!part)
        return {};
    std::string bytes(max, '\0');
    std::size_t got = 0;
    while (got < max) {
        const std::size_t n = part->read(bytes.data() + got, max - got);
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

} // namespace quorvel
