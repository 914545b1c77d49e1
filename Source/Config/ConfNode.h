// ConfNode.h - one object of a configuration file: name, type, value and its child objects.
//
// Portable: no platform headers. Children are kept in file order as a singly linked chain owned by
// the parent; deleting a node deletes its children and the siblings after it.
#pragma once

#include <string>

namespace Vorlix {

class ConfNode {
public:
    explicit ConfNode(const std::string& nodeName) : name_(nodeName) {}
    virtual ~ConfNode();

    ConfNode(const ConfNode&) = delete;
    ConfNode& operator=(const ConfNode&) = delete;

    void setType(const std::string& nodeType) { type_ = nodeType; }
    // Stores `raw` with its backslash escapes taken out: a backslash stays and the byte after it
    // is dropped, so "\\" becomes one backslash; a backslash at the very end stays.
    void setValue(const std::string& raw);
    // Takes ownership of `child` and appends it to the end of the chain.
    void addChild(ConfNode* child);

    const std::string& name() const { return name_; }
    const std::string& type() const { return type_; }
    const std::string& value() const { return value_; }
    ConfNode* firstChild() const { return firstChild_; }
    ConfNode* nextSibling() const { return nextSibling_; }

private:
    std::string name_;
    std::string type_;
    std::string value_;
    ConfNode* firstChild_ = nullptr;
    ConfNode* nextSibling_ = nullptr;
    // Not owning: the end of the child chain, so that appending stays cheap for long blocks.
    ConfNode* lastChild_ = nullptr;
};

} // namespace Vorlix
