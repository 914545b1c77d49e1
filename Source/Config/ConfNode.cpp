// ConfNode.cpp - the object tree's node.
//
// Portable: no platform headers.
#include "Config/ConfNode.h"

#include <vector>

namespace Vorlix {

ConfNode::~ConfNode()
{
    // A file may hold many thousands of objects in one block; deleting the chain recursively would
    // use one stack frame per sibling. The subtree is taken apart with a work list instead.
    std::vector<ConfNode*> pending;
    if (firstChild_ != nullptr) {
        pending.push_back(firstChild_);
    }
    if (nextSibling_ != nullptr) {
        pending.push_back(nextSibling_);
    }
    firstChild_ = nullptr;
    nextSibling_ = nullptr;
    lastChild_ = nullptr;
    while (!pending.empty()) {
        ConfNode* node = pending.back();
        pending.pop_back();
        if (node->firstChild_ != nullptr) {
            pending.push_back(node->firstChild_);
        }
        if (node->nextSibling_ != nullptr) {
            pending.push_back(node->nextSibling_);
        }
        node->firstChild_ = nullptr;
        node->nextSibling_ = nullptr;
        node->lastChild_ = nullptr;
        delete node;
    }
}

void ConfNode::setValue(const std::string& raw)
{
    std::string stored;
    stored.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        stored.push_back(raw[i]);
        if (raw[i] == '\\') {
            ++i;
        }
    }
    value_ = stored;
}

void ConfNode::addChild(ConfNode* child)
{
    if (child == nullptr) {
        return;
    }
    if (lastChild_ == nullptr) {
        firstChild_ = child;
    } else {
        lastChild_->nextSibling_ = child;
    }
    lastChild_ = child;
    // A child that brings siblings of its own keeps them; the end moves past them.
    while (lastChild_->nextSibling_ != nullptr) {
        lastChild_ = lastChild_->nextSibling_;
    }
}

} // namespace Vorlix
