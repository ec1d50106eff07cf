#pragma once

// The parts of a zip package (.xlsx, .ods), read as streams with libzip,
// each bounded in what it may unpack to. Only the reader program uses this.

#include "workbook/workbookreader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct zip;
struct zip_file;

namespace quorvel {

// One part, opened for reading from its start.
class ZipPart {
public:
    ZipPart(zip_file *file, std::uint64_t packed, std::uint64_t size);
    ~ZipPart();
    ZipPart(const ZipPart &) = delete;
    ZipPart &operator=(const ZipPart &) = delete;

    // Up to n bytes of the unpacked part; 0 at its end. Throws
    // WorkbookError: Oversized past kMaxPartBytes or kMaxPartRatio, Damaged
    // when the data is broken, Password when it is encrypted.
    std::size_t read(char *buffer, std::size_t n);

    // What the zip's directory says the part unpacks to; only a hint.
    std::uint64_t declaredSize() const { return size_; }
    // The bytes read so far.
    std::uint64_t unpacked() const { return unpacked_; }

private:
    zip_file *file_;
    std::uint64_t packed_;
    std::uint64_t size_;
    std::uint64_t unpacked_ = 0;
};

class ZipPackage {
public:
    // Throws WorkbookError: MissingFile, or Damaged for a zip that does not
    // open (cut short, broken directory).
    explicit ZipPackage(const std::string &path);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    // Whether a part of that name is there; names match without regard to case.
    bool has(std::string_view name) const;
    // The part of that name, or null when there is none. Throws
    // WorkbookError: Password for an encrypted part, Damaged.
    std::unique_ptr<ZipPart> open(std::string_view name) const;
    // The first bytes (at most max) of a small part, or "" when there is none.
    std::string head(std::string_view name, std::size_t max) const;

private:
    long long locate(std::string_view name) const;

    zip *archive_ = nullptr;
};

} // namespace quorvel
