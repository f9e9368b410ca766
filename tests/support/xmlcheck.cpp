#include "xmlcheck.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <strings.h>

namespace xmlcheck {

struct Document::Impl {
    xmlDocPtr doc = nullptr;
};

namespace {

xmlDocPtr Read(const std::string &text, std::string &error)
{
    xmlResetLastError();
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "output.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) {
        const xmlError *e = xmlGetLastError();
        error = e && e->message ? e->message : "not well-formed";
        while (!error.empty() && error.back() == '\n')
            error.pop_back();
        if (e)
            error += " (line " + std::to_string(e->line) + ")";
        return nullptr;
    }
    if (!doc->encoding ||
        strcasecmp(reinterpret_cast<const char *>(doc->encoding), "ISO-8859-1") != 0) {
        error = "document does not declare ISO-8859-1";
        xmlFreeDoc(doc);
        return nullptr;
    }
    return doc;
}

} // namespace

bool ParseXml(const std::string &text, std::string *error)
{
    std::string why;
    xmlDocPtr doc = Read(text, why);
    if (error)
        *error = why;
    if (!doc)
        return false;
    xmlFreeDoc(doc);
    return true;
}

std::string FirstDocument(const std::string &output)
{
    size_t start = output.find("<?xml");
    if (start == std::string::npos)
        return {};
    const std::string close = "\n</Vantor>\n";
    size_t end = output.find(close, start);
    if (end == std::string::npos)
        return output.substr(start);
    return output.substr(start, end + close.size() - start);
}

Document::Document(const std::string &text) : impl_(std::make_unique<Impl>())
{
    impl_->doc = Read(text, error_);
    ok_ = impl_->doc != nullptr;
}

Document::~Document()
{
    if (impl_->doc)
        xmlFreeDoc(impl_->doc);
}

namespace {

template <typename F> auto WithNodes(xmlDocPtr doc, const std::string &xpath, F f)
{
    xmlXPathContextPtr ctx = doc ? xmlXPathNewContext(doc) : nullptr;
    xmlXPathObjectPtr obj =
        ctx ? xmlXPathEvalExpression(reinterpret_cast<const xmlChar *>(xpath.c_str()), ctx)
            : nullptr;
    auto result = f(obj && obj->nodesetval ? obj->nodesetval : nullptr);
    if (obj)
        xmlXPathFreeObject(obj);
    if (ctx)
        xmlXPathFreeContext(ctx);
    return result;
}

} // namespace

std::optional<std::string> Document::Text(const std::string &xpath) const
{
    return WithNodes(impl_->doc, xpath, [](xmlNodeSetPtr set) -> std::optional<std::string> {
        if (!set || set->nodeNr == 0)
            return std::nullopt;
        xmlChar *content = xmlNodeGetContent(set->nodeTab[0]);
        std::string out = content ? reinterpret_cast<const char *>(content) : "";
        xmlFree(content);
        return out;
    });
}

int Document::Count(const std::string &xpath) const
{
    return WithNodes(impl_->doc, xpath, [](xmlNodeSetPtr set) { return set ? set->nodeNr : 0; });
}

std::string Document::Value(const std::string &xpath) const
{
    if (!impl_->doc)
        return {};
    xmlXPathContextPtr ctx = xmlXPathNewContext(impl_->doc);
    xmlXPathObjectPtr obj =
        ctx ? xmlXPathEvalExpression(reinterpret_cast<const xmlChar *>(xpath.c_str()), ctx)
            : nullptr;
    std::string out;
    if (obj) {
        xmlChar *text = xmlXPathCastToString(obj);
        out = text ? reinterpret_cast<const char *>(text) : "";
        xmlFree(text);
        xmlXPathFreeObject(obj);
    }
    if (ctx)
        xmlXPathFreeContext(ctx);
    return out;
}

} // namespace xmlcheck
