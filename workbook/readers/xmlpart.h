#pragma once

// One XML part of a zip package, read node by node: libxml2's SAX2 push
// parser is fed a few kilobytes at a time, and what it reports is handed
// out as elements' starts and ends and texts (comments and processing
// instructions are passed over). No tree is built, so nothing but the
// current chunk is held, whatever the part holds (xmlTextReader, tried
// first, keeps long texts and runs of comments until their element ends).
// Entities are not substituted, no DTD is loaded, nothing is fetched from a
// network; a part holding a DOCTYPE or elements nested deeper than 256 is
// refused, and libxml2's own limits (texts of 10 MB) stay on.

#include "workbook/readers/zippackage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _xmlParserCtxt;

namespace quorvel {

class XmlPart {
public:
    // Throws WorkbookError.
    explicit XmlPart(std::unique_ptr<ZipPart> part);
    ~XmlPart();
    XmlPart(const XmlPart &) = delete;
    XmlPart &operator=(const XmlPart &) = delete;

    // Moves to the next node in document order; false after the last one.
    // Every start is followed by its end, also for an empty element <x/>.
    // Texts may come in pieces. Throws WorkbookError: Damaged for XML that
    // is not well-formed or that is refused as above, and whatever reading
    // the part throws.
    bool next();
    // Moves to the next node inside the element whose start is at depth;
    // false on its end. A part that ends before is broken (Damaged).
    bool nextWithin(int depth);
    // Passes over the current element's content, up to its end.
    void skipContent();

    bool isStart() const { return event().kind == Kind::Start; }
    bool isStart(std::string_view localName) const { return isStart() && name() == localName; }
    bool isEnd() const { return event().kind == Kind::End; }
    bool isText() const { return event().kind == Kind::Text; }
    // Of a start and its end: the number of elements around it (0 for the root).
    int depth() const { return event().depth; }
    std::string_view name() const;          // local name of an element or attribute
    std::string_view space() const;         // its namespace URI
    std::string_view value() const;         // of a text or an attribute

    // Moves through the current element's attributes: true while on one;
    // false at the end, back on the element.
    bool nextAttribute();

    // The unpacked bytes read so far, and what the part says it holds.
    std::uint64_t bytesRead() const { return part_->unpacked(); }
    std::uint64_t declaredSize() const { return part_->declaredSize(); }

private:
    enum class Kind : unsigned char { Start, End, Text };
    struct Event {
        Kind kind;
        int depth;
        const char *name;        // libxml2's, valid while the parser is
        const char *space;
        std::size_t first;       // Text: its bytes in texts_; Start: its attributes
        std::size_t count;
    };
    struct Attribute {
        const char *name;
        const char *space;
        std::size_t first;       // its value in texts_
        std::size_t length;
    };

    const Event &event() const { return events_[at_]; }
    void feed();
    void fail();

    // The parser's callbacks.
    static void started(void *self, const unsigned char *name, const unsigned char *prefix,
                        const unsigned char *space, int namespaces, const unsigned char **declared,
                        int attributes, int defaulted, const unsigned char **values);
    static void ended(void *self, const unsigned char *name, const unsigned char *prefix,
                      const unsigned char *space);
    static void text(void *self, const unsigned char *bytes, int length);
    static void doctype(void *self, const unsigned char *name, const unsigned char *externalId,
                        const unsigned char *systemId);

    std::unique_ptr<ZipPart> part_;
    ::_xmlParserCtxt *parser_ = nullptr;
    // The nodes of the chunks fed since the queue was last empty.
    std::vector<Event> events_;
    std::vector<Attribute> attributes_;
    std::string texts_;
    std::size_t at_ = 0;
    int attribute_ = -1;      // the attribute being looked at, -1 for none
    int depth_ = 0;           // elements open
    bool refused_ = false;    // a callback found what no workbook holds
    bool ended_ = false;      // the whole part was fed
};

} // namespace quorvel
