// Checks of the XML documents the library writes: well-formed, ISO-8859-1,
// and queries of their content by XPath.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace xmlcheck {

// True when text is one well-formed document that declares ISO-8859-1;
// otherwise error (when given) says why.
bool ParseXml(const std::string &text, std::string *error = nullptr);

// The first document in a captured output: from "<?xml" up to and including
// the line "</Vantor>"; empty when there is none.
std::string FirstDocument(const std::string &output);

class Document {
public:
    explicit Document(const std::string &text);
    ~Document();
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    // Well-formed and ISO-8859-1.
    bool ok() const { return ok_; }
    const std::string &error() const { return error_; }
    // Text of the first node the expression selects (elements, attributes).
    std::optional<std::string> Text(const std::string &xpath) const;
    // Number of nodes the expression selects.
    int Count(const std::string &xpath) const;
    // String value of any expression ("name(...)", "normalize-space(...)").
    std::string Value(const std::string &xpath) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool ok_ = false;
    std::string error_;
};

} // namespace xmlcheck
