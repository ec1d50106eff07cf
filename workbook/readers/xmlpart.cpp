#include "workbook/readers/xmlpart.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstring>

namespace quorvel {

namespace {

// Bytes fed to the parser at a time.
constexpr std::size_t kChunkBytes = 16 * 1024;
// Elements nested deeper than libxml2 allows without XML_PARSE_HUGE.
constexpr int kMaxDepth = 256;

const char *chars(const unsigned char *text)
{
    return text ? reinterpret_cast<const char *>(text) : "";
}

void ignoreError(void *, xmlErrorPtr) {}

} // namespace

XmlPart::XmlPart(std::unique_ptr<ZipPart> part) : part_(std::move(part))
{
    xmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = &XmlPart::started;
    handler.endElementNs = &XmlPart::ended;
    handler.characters = &XmlPart::text;
    handler.cdataBlock = &XmlPart::text;
    handler.ignorableWhitespace = &XmlPart::text;
    handler.internalSubset = &XmlPart::doctype;
    handler.serror = &ignoreError;
    parser_ = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
    if (!parser_)
        throw WorkbookError(WorkbookFailure::Damaged);
    // XML_PARSE_NOENT, XML_PARSE_DTDLOAD and XML_PARSE_HUGE stay off.
    xmlCtxtUseOptions(parser_, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    events_.reserve(256);
}

XmlPart::~XmlPart()
{
    xmlFreeParserCtxt(parser_);
}

std::string_view XmlPart::name() const
{
    return attribute_ >= 0 ? attributes_[static_cast<std::size_t>(attribute_)].name : event().name;
}

std::string_view XmlPart::space() const
{
    return attribute_ >= 0 ? attributes_[static_cast<std::size_t>(attribute_)].space : event().space;
}

std::string_view XmlPart::value() const
{
    if (attribute_ >= 0) {
        const Attribute &a = attributes_[static_cast<std::size_t>(attribute_)];
        return std::string_view(texts_).substr(a.first, a.length);
    }
    return isText() ? std::string_view(texts_).substr(event().first, event().count)
                    : std::string_view();
}

bool XmlPart::nextAttribute()
{
    if (!isStart())
        return false;
    const Event &e = event();
    if (attribute_ < 0)
        attribute_ = static_cast<int>(e.first);
    else
        ++attribute_;
    if (static_cast<std::size_t>(attribute_) < e.first + e.count)
        return true;
    attribute_ = -1;
    return false;
}

bool XmlPart::next()
{
    attribute_ = -1;
    if (at_ + 1 < events_.size()) {
        ++at_;
        return true;
    }
    events_.clear();
    attributes_.clear();
    texts_.clear();
    at_ = 0;
    while (events_.empty() && !ended_)
        feed();
    return !events_.empty();
}

bool XmlPart::nextWithin(int depth)
{
    if (!next())
        throw WorkbookError(WorkbookFailure::Damaged);
    return !(isEnd() && event().depth == depth);
}

void XmlPart::skipContent()
{
    attribute_ = -1;
    if (!isStart())
        return;
    const int start = depth();
    while (nextWithin(start)) {
    }
}

void XmlPart::feed()
{
    char chunk[kChunkBytes];
    const std::size_t n = part_->read(chunk, sizeof chunk);
    ended_ = n == 0;
    xmlParseChunk(parser_, chunk, static_cast<int>(n), ended_ ? 1 : 0);
    if (refused_ || !parser_->wellFormed)
        throw WorkbookError(WorkbookFailure::Damaged);
    if (ended_ && depth_ != 0)
        throw WorkbookError(WorkbookFailure::Damaged);
}

void XmlPart::fail()
{
    refused_ = true;
    xmlStopParser(parser_);
}

void XmlPart::started(void *context, const unsigned char *name, const unsigned char *,
                      const unsigned char *space, int, const unsigned char **, int attributes,
                      int, const unsigned char **values)
{
    auto *self = static_cast<XmlPart *>(context);
    if (self->depth_ >= kMaxDepth) {
        self->fail();
        return;
    }
    const std::size_t first = self->attributes_.size();
    // Five pointers an attribute: local name, prefix, URI, value, value's end.
    for (int i = 0; i < attributes; ++i) {
        const unsigned char **a = values + 5 * i;
        const std::size_t at = self->texts_.size();
        self->texts_.append(reinterpret_cast<const char *>(a[3]),
                            static_cast<std::size_t>(a[4] - a[3]));
        self->attributes_.push_back({chars(a[0]), chars(a[2]), at, self->texts_.size() - at});
    }
    self->events_.push_back({Kind::Start, self->depth_++, chars(name), chars(space), first,
                             static_cast<std::size_t>(attributes)});
}

void XmlPart::ended(void *context, const unsigned char *name, const unsigned char *,
                    const unsigned char *space)
{
    auto *self = static_cast<XmlPart *>(context);
    self->events_.push_back({Kind::End, --self->depth_, chars(name), chars(space), 0, 0});
}

void XmlPart::text(void *context, const unsigned char *bytes, int length)
{
    auto *self = static_cast<XmlPart *>(context);
    const auto n = static_cast<std::size_t>(length);
    // The pieces of one text make one node.
    if (!self->events_.empty() && self->events_.back().kind == Kind::Text
        && self->events_.back().first + self->events_.back().count == self->texts_.size()) {
        self->events_.back().count += n;
    } else {
        self->events_.push_back({Kind::Text, self->depth_, "", "", self->texts_.size(), n});
    }
    self->texts_.append(reinterpret_cast<const char *>(bytes), n);
}

// A DTD is where entity bombs are declared; no workbook part has one.
void XmlPart::doctype(void *context, const unsigned char *, const unsigned char *,
                      const unsigned char *)
{
    static_cast<XmlPart *>(context)->fail();
}

} // namespace quorvel
