#include "render/json.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/version.h"
#include "render/output.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kDocumentStart = "<?xml";
constexpr std::string_view kDocumentEnd = "</Vantor>";

// The collected XML of the run; set as the capture while JSON output is on.
std::string &Collected()
{
    static std::string text;
    return text;
}

// libxml2 and what it brings (ICU, zlib, lzma) cost more to load than the
// rest of a run; only JSON output reads XML back, so only it loads them.
struct XmlLib {
    decltype(&xmlReadMemory) readMemory = nullptr;
    decltype(&xmlDocGetRootElement) rootElement = nullptr;
    decltype(&xmlFreeDoc) freeDoc = nullptr;
    decltype(&xmlNodeGetContent) nodeContent = nullptr;
    xmlFreeFunc *freeText = nullptr;
};

const XmlLib *Xml()
{
    static const XmlLib lib = [] {
        XmlLib l;
        void *h = dlopen("libxml2.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            std::fprintf(stderr, "%s\n", dlerror());
            return l;
        }
        l.readMemory = reinterpret_cast<decltype(l.readMemory)>(dlsym(h, "xmlReadMemory"));
        l.rootElement = reinterpret_cast<decltype(l.rootElement)>(dlsym(h, "xmlDocGetRootElement"));
        l.freeDoc = reinterpret_cast<decltype(l.freeDoc)>(dlsym(h, "xmlFreeDoc"));
        l.nodeContent = reinterpret_cast<decltype(l.nodeContent)>(dlsym(h, "xmlNodeGetContent"));
        l.freeText = static_cast<xmlFreeFunc *>(dlsym(h, "xmlFree"));
        if (!l.readMemory || !l.rootElement || !l.freeDoc || !l.nodeContent || !l.freeText ||
            !*l.freeText) {
            std::fprintf(stderr, "libxml2.so.2: %s\n", "a function is missing");
            l = XmlLib{};
        }
        return l;
    }();
    return lib.readMemory ? &lib : nullptr;
}

struct DocFree {
    void operator()(xmlDoc *d) const { Xml()->freeDoc(d); }
};
struct TextFree {
    void operator()(xmlChar *t) const { (*Xml()->freeText)(t); }
};

std::string Trimmed(std::string_view text)
{
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(start, end - start + 1));
}

std::string Chars(const xmlChar *text) { return text ? reinterpret_cast<const char *>(text) : ""; }

std::string NodeName(const xmlNode *n) { return Chars(n->name); }

// Element names that occur more than once under some parent, by the parent's
// name: within one document such a child is an array under every parent of
// that name, so that one HBA with one port reads like the others.
using Repeats = std::set<std::pair<std::string, std::string>>;

void FindRepeats(const xmlNode *e, Repeats &repeats)
{
    std::map<std::string, int> seen;
    for (const xmlNode *c = e->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        if (++seen[NodeName(c)] == 2)
            repeats.emplace(NodeName(e), NodeName(c));
        FindRepeats(c, repeats);
    }
}

// A name met again under one parent turns the member into an array.
void AddMember(Json &object, const std::string &name, Json value, bool array = false)
{
    auto it = object.find(name);
    if (it == object.end()) {
        object[name] = array ? Json::array({std::move(value)}) : std::move(value);
        return;
    }
    if (!it->is_array()) {
        Json first = std::move(*it);
        *it = Json::array();
        it->push_back(std::move(first));
    }
    it->push_back(std::move(value));
}

std::string OwnText(const xmlNode *e)
{
    std::string text;
    for (const xmlNode *c = e->children; c; c = c->next)
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)
            text += Chars(c->content);
    return Trimmed(text);
}

Json Element(const xmlNode *e, const Repeats &repeats)
{
    bool children = false;
    for (const xmlNode *c = e->children; c && !children; c = c->next)
        children = c->type == XML_ELEMENT_NODE;
    std::string text = OwnText(e);
    if (!e->properties && !children)
        return text;
    Json object = Json::object();
    for (const xmlAttr *a = e->properties; a; a = a->next) {
        std::unique_ptr<xmlChar, TextFree> value(Xml()->nodeContent(a->children));
        AddMember(object, Chars(a->name), Trimmed(Chars(value.get())));
    }
    for (const xmlNode *c = e->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            AddMember(object, NodeName(c), Element(c, repeats),
                      repeats.count({NodeName(e), NodeName(c)}) != 0);
    if (!text.empty())
        AddMember(object, "text", text);
    return object;
}

Json Number(const std::string &text)
{
    char *end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && end && *end == '\0')
        return v;
    return text;
}

// The members of one document's root, with the trailer in its JSON shape.
void AddDocument(Json &out, std::string_view xml, bool &statusPlaced, int status)
{
    const int options = XML_PARSE_RECOVER | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                        XML_PARSE_NONET | XML_PARSE_NOBLANKS;
    const XmlLib *lib = Xml();
    std::unique_ptr<xmlDoc, DocFree> doc(
        lib ? lib->readMemory(xml.data(), int(xml.size()), nullptr, nullptr, options) : nullptr);
    const xmlNode *root = doc ? lib->rootElement(doc.get()) : nullptr;
    if (!root) {
        AddMember(out, "Messages", Trimmed(xml));
        return;
    }
    Repeats repeats;
    FindRepeats(root, repeats);
    for (const xmlNode *c = root->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
            continue;
        const std::string name = NodeName(c);
        if (name == "Status") {
            // The element is the 0/1 flag; the document carries the whole code.
            if (!statusPlaced)
                out["status"] = status;
            statusPlaced = true;
        } else if (name == "Reboot") {
            out["Reboot"] = Number(OwnText(c));
        } else if (name == "ErrorMsg") {
            out["ErrorMsg"] = OwnText(c);
        } else if ((name == "AppName" || name == "AppVersion" || name == "AppXmlVersion") &&
                   out.contains(name)) {
            // A second document of the run repeats its header: once is enough.
        } else {
            AddMember(out, name, Element(c, repeats));
        }
    }
}

void AddStrayLines(Json &out, std::string_view text)
{
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string line = Trimmed(text.substr(0, end));
        if (!line.empty()) {
            if (!out.contains("Messages"))
                out["Messages"] = Json::array();
            out["Messages"].push_back(line);
        }
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

} // namespace

std::string XmlOutputToJson(std::string_view collected, int status)
{
    Json out = Json::object();
    bool statusPlaced = false;
    bool anyDocument = false;
    size_t pos = 0;
    while (pos < collected.size()) {
        size_t start = collected.find(kDocumentStart, pos);
        if (start == std::string_view::npos) {
            AddStrayLines(out, collected.substr(pos));
            break;
        }
        AddStrayLines(out, collected.substr(pos, start - pos));
        size_t end = collected.find(kDocumentEnd, start);
        end = end == std::string_view::npos ? collected.size() : end + kDocumentEnd.size();
        AddDocument(out, collected.substr(start, end - start), statusPlaced, status);
        anyDocument = true;
        pos = end;
    }
    if (!anyDocument) {
        // A run that wrote no document (nothing to show) still answers with one.
        Json head = Json::object();
        head["AppName"] = kProductText;
        head["AppVersion"] = Trimmed(Format("v%d.%d.%d Build %d %s", kVersionMajor, kVersionMinor,
                                            kVersionRevision, kVersionBuild, kVersionSuffix));
        head.update(out);
        out = std::move(head);
    }
    if (!statusPlaced)
        out["status"] = status;
    // Whatever bytes a display wrote, the document stays valid JSON.
    return out.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void SetJsonOutput()
{
    SetXmlOutput(1);
    Frame().jsonMode = true;
    Collected().clear();
    CaptureUserOutput(&Collected());
}

bool JsonOutput() { return Frame().jsonMode; }

void ResetJsonOutput()
{
    if (CapturingUserOutput())
        CaptureUserOutput(nullptr);
    Collected().clear();
    Frame().jsonMode = false;
}

std::string TakeJsonDocument(int status)
{
    CaptureUserOutput(nullptr);
    std::string json = XmlOutputToJson(Collected(), status);
    Collected().clear();
    return json;
}

void EmitJsonDocument(int status)
{
    if (!Frame().jsonMode)
        return;
    std::string json = TakeJsonDocument(status);
    json.pop_back(); // PrintText adds the line end where the destination needs one
    PrintText((json + (Frame().outputStream ? "" : "\n")).c_str());
    Frame().jsonMode = false;
}
