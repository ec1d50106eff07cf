// libFuzzer target: the .xlsx and .ods reader of the reader program, in
// process. An input that starts like a zip is the workbook file itself (what
// libzip and the package layout make of broken zips); any other input is one
// XML part, wrapped into a package that is otherwise in order, so that the
// fuzzer reaches the XML reading at once: a first byte 'O' makes the rest an
// .ods content.xml, anything else the first sheet of an .xlsx (with shared
// strings and a date format beside it). The first 5,000 rows of the first
// sheet are written out as the reader program does, and the output must keep
// its form.

#include "workbook/sheetpipe.h"
#include "workbook/readers/zipworkbook.h"
#include "tests/fuzz/sheetoutput.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

void put16(std::string &out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string &out, unsigned long v)
{
    put16(out, static_cast<unsigned>(v & 0xFFFF));
    put16(out, static_cast<unsigned>((v >> 16) & 0xFFFF));
}

// A zip of the given parts, stored without packing.
std::string storedZip(const std::vector<std::pair<std::string, std::string>> &parts)
{
    std::string zip, directory;
    for (const auto &[name, data] : parts) {
        const unsigned long crc =
            crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size()));
        const unsigned long offset = zip.size();
        std::string header;
        put16(header, 20);  // version needed
        put16(header, 0);   // flags
        put16(header, 0);   // stored
        put16(header, 0);   // time
        put16(header, 0x5921);  // date
        put32(header, crc);
        put32(header, data.size());
        put32(header, data.size());
        put16(header, static_cast<unsigned>(name.size()));
        put16(header, 0);   // extra
        zip += "PK\x03\x04" + header + name + data;
        directory += "PK\x01\x02";
        put16(directory, 20);  // version made by
        directory += header;
        put16(directory, 0);   // comment
        put16(directory, 0);   // disk
        put16(directory, 0);   // internal attributes
        put32(directory, 0);   // external attributes
        put32(directory, offset);
        directory += name;
    }
    const unsigned long at = zip.size();
    zip += directory + "PK\x05\x06";
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, static_cast<unsigned>(parts.size()));
    put16(zip, static_cast<unsigned>(parts.size()));
    put32(zip, directory.size());
    put32(zip, at);
    put16(zip, 0);
    return zip;
}

std::string xlsxAround(std::string sheet)
{
    const std::string rels =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return storedZip({
        {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rels
                            + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook xmlns:r=\"" + rels.substr(0, rels.size() - 1)
                                + "\"><workbookPr/><sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId1\"/>"
                                  "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"rId1\" Type=\"" + rels
             + "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" + rels
             + "sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId3\" Type=\"" + rels
             + "styles\" Target=\"/xl/styles.xml\"/></Relationships>"},
        {"xl/sharedStrings.xml", "<sst><si><t>姓名</t></si><si><r><t>张</t></r><r><t>三</t></r>"
                                 "<rPh><t>zhang</t></rPh></si><si><t>_x0041__x0000_B</t></si></sst>"},
        {"xl/styles.xml", "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
                          "</numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"20\"/>"
                          "</cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml", std::move(sheet)},
    });
}

std::string odsAround(std::string content)
{
    return storedZip({
        {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
        {"META-INF/manifest.xml", "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:"
                                  "xmlns:manifest:1.0\"/>"},
        {"content.xml", std::move(content)},
    });
}

// The first rows only: a row repeated a million times would take the
// fuzzer's time on nothing new.
class FirstRows final : public quorvel::WorkbookReader {
public:
    std::unique_ptr<quorvel::Worksheet> openFirstSheet(const std::string &path) override
    {
        return std::make_unique<Sheet>(quorvel::ZipWorkbookReader().openFirstSheet(path));
    }

private:
    class Sheet final : public quorvel::Worksheet {
    public:
        explicit Sheet(std::unique_ptr<quorvel::Worksheet> sheet) : sheet_(std::move(sheet)) {}
        int usedRows() override { return sheet_->usedRows(); }
        bool nextRow(quorvel::SheetRow &row) override
        {
            return ++rows_ <= 5000 && sheet_->nextRow(row);
        }

    private:
        std::unique_ptr<quorvel::Worksheet> sheet_;
        int rows_ = 0;
    };
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const int fd = ::memfd_create("workbook", 0);
    if (fd < 0)
        std::abort();
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    std::string file;
    if (input.starts_with("PK"))
        file = input;
    else if (input.starts_with("O"))
        file = odsAround(std::string(input.substr(1)));
    else
        file = xlsxAround(std::string(input.substr(input.empty() ? 0 : 1)));
    if (::ftruncate(fd, 0) != 0
        || ::pwrite(fd, file.data(), file.size(), 0) != static_cast<ssize_t>(file.size()))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    char *text = nullptr;
    std::size_t length = 0;
    std::FILE *out = ::open_memstream(&text, &length);
    FirstRows reader;
    const int status = quorvel::sheetpipe::writeSheet(reader, path, out);
    std::fclose(out);
    checkSheetOutput(std::string_view(text, length), status);
    std::free(text);
    return 0;
}
