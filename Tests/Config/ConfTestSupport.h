// ConfTestSupport.h - a reader over files of a temporary directory, its recorded log and a printed
// form of its tree, shared by the configuration tests.
//
// Win32-only test code.
#pragma once

#include "Config/ConfReader.h"

#include "RecordingDispatcher.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace TestSupport {

// The tree as one line: name(type)[value]{children}, the root included.
inline std::string printTree(const Vorlix::ConfNode* node)
{
    if (node == nullptr) {
        return "<no tree>";
    }
    std::string out = node->name() + "(" + node->type() + ")[" + node->value() + "]{";
    for (const Vorlix::ConfNode* child = node->firstChild(); child != nullptr; child = child->nextSibling()) {
        out += printTree(child);
    }
    return out + "}";
}

// Source line numbers of an exception trace, "(123)", become "(#)".
inline std::string maskTraceLines(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            size_t j = i + 1;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
                ++j;
            }
            if (j < text.size() && text[j] == ')') {
                out += "(#)";
                i = j;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

class ConfFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Vorlix::setDebugThreshold(5);
        Vorlix::setSeverityThreshold(0);
        reader.reset(new Vorlix::ConfReader(dispatcherHandle));
        recorder->clear();
    }

    // Writes `content` to a file of the temporary directory and builds the tree from it.
    std::string build(const std::string& content, const std::string& name = "test.conf")
    {
        const std::string path = dir.file(name);
        writeBytes(path, content);
        reader->buildTree(path);
        return path;
    }

    std::string tree() const { return printTree(reader->root()); }
    std::vector<std::string> log() const { return recorder->lines(); }

    TempDir dir;
    RecordingDispatcher* recorder = new RecordingDispatcher;
    Vorlix::CountedHandle<Vorlix::LogDispatcher> dispatcherHandle{recorder};
    std::unique_ptr<Vorlix::ConfReader> reader;
};

} // namespace TestSupport
