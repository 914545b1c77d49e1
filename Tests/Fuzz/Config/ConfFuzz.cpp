// ConfFuzz.cpp - the configuration tokenizer, parser and typed look-ups with references.
//
// Portable test code. Properties:
// - the tokens of any text put together are the text, each token makes progress, and a token
//   scanned with a length limit is the token of the text cut at that limit (the rules never look
//   past their limit);
// - a tree whose names and types are plain words, written back as configuration text, parses into
//   the same tree;
// - every typed look-up of every object answers a defined result code, and an expanded value never
//   grows past its limit; a value without references reads back as stored.
#include "Config/ConfParser.h"
#include "Config/ConfReader.h"
#include "Config/Tokenizer.h"

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

using namespace Vorlix;

namespace {

std::string printTree(const ConfNode* node)
{
    std::string out = node->name() + "(" + node->type() + ")[" + node->value() + "]{";
    for (const ConfNode* child = node->firstChild(); child != nullptr; child = child->nextSibling()) {
        out += printTree(child);
    }
    return out + "}";
}

void checkTokens(const std::string& text)
{
    const ConfTokenRules rules;
    Tokenizer tokenizer(&text, &rules);
    Token token;
    std::string joined;
    size_t tokens = 0;
    while (tokenizer.nextToken(token)) {
        const size_t start = tokenizer.previousPosition();
        FUZZ_REQUIRE(!token.text.empty());
        FUZZ_REQUIRE(text.compare(start, token.text.size(), token.text) == 0);
        joined += token.text;
        // The limit property, at a few limits for the first tokens (bounded, so that long inputs
        // stay fast: each check copies the text up to the limit).
        if (tokens++ < 16) {
            for (size_t limit : {size_t(1), token.text.size() / 2 + 1, token.text.size()}) {
                bool significant = false;
                bool cutSignificant = false;
                const size_t end = rules.findTokenEnd(text, significant, start, limit);
                const std::string cutText = text.substr(0, start + std::min(limit, text.size() - start));
                const size_t cutEnd = rules.findTokenEnd(cutText, cutSignificant, start, std::string::npos);
                FUZZ_REQUIRE(end > start && end <= start + limit);
                FUZZ_REQUIRE(end == cutEnd && significant == cutSignificant);
            }
        }
    }
    FUZZ_REQUIRE(joined == text);
}

bool isPlainWord(const std::string& word)
{
    if (word.empty() || word[0] == '#') {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if (ConfTokenRules::isBlank(c) || c == '\n' || c == '"' || c == '\'' || c == '=' || c == '(' ||
            c == ')' || c == '{' || c == '}' || (c == '/' && i + 1 < word.size())) {
            return false;
        }
    }
    return true;
}

// The configuration text of a subtree, or false when one of its names, types or values cannot be
// written so that it reads back the same.
bool writeTree(const ConfNode* node, std::string& out)
{
    for (const ConfNode* child = node->firstChild(); child != nullptr; child = child->nextSibling()) {
        if (!isPlainWord(child->name()) || (!child->type().empty() && !isPlainWord(child->type()))) {
            return false;
        }
        const std::string& value = child->value();
        // A stored backslash is written with a byte after it that the parser drops; the value is
        // quoted with a quote it does not hold.
        const char quote = value.find('"') == std::string::npos ? '"' : '\'';
        if (value.find(quote) != std::string::npos) {
            return false;
        }
        std::string written;
        for (char c : value) {
            written += c;
            if (c == '\\') {
                written += 'x';
            }
        }
        out += child->name() + "(" + child->type() + ") = " + quote + written + quote + " {\n";
        if (!writeTree(child, out)) {
            return false;
        }
        out += "}\n";
    }
    return true;
}

// The dotted paths of the objects that a path can name: a path names the first of several
// siblings of one name, so the later ones are left out.
void collectPaths(const ConfNode* node, const std::string& prefix, std::vector<std::string>& paths)
{
    std::set<std::string> seen;
    for (const ConfNode* child = node->firstChild(); child != nullptr && paths.size() < 32;
         child = child->nextSibling()) {
        if (!seen.insert(child->name()).second || child->name().find('.') != std::string::npos) {
            continue;
        }
        const std::string path = prefix.empty() ? child->name() : prefix + "." + child->name();
        paths.push_back(path);
        collectPaths(child, path, paths);
    }
}

bool definedResult(int32_t code)
{
    return code >= CONF_OK && code <= CONF_BAD_REFERENCE;
}

void checkLookups(const ConfReader& reader)
{
    std::vector<std::string> paths;
    collectPaths(reader.root(), "", paths);
    for (const std::string& path : paths) {
        const ConfNode* node = reader.findNode(path);
        if (node == nullptr) {
            std::fprintf(stderr, "object path %s not found\n", FuzzSupport::shown(path).c_str());
        }
        FUZZ_REQUIRE(node != nullptr);
        std::string value = "~sentinel";
        const int32_t code = reader.getValue(path, node->type(), value);
        FUZZ_REQUIRE(definedResult(code));
        if (node->type().empty()) {
            FUZZ_REQUIRE(code == CONF_NO_VALUE && value == "~sentinel");
            continue;
        }
        if (code == CONF_OK) {
            FUZZ_REQUIRE(value.size() <= std::max(kMaxExpandedLength, node->value().size()) + 1);
            if (node->type() == "String" && node->value().find("${") == std::string::npos) {
                FUZZ_REQUIRE(value == node->value());
            }
        }
        // The typed look-ups expand the value again each; a value that refers to itself costs up to
        // the expansion limit per look-up, so they run for the first objects only.
        if (&path - paths.data() >= 4) {
            continue;
        }
        std::string text;
        bool flag = false;
        int32_t number = 0;
        TimeSpanFields span;
        std::list<std::string> names;
        FUZZ_REQUIRE(definedResult(reader.getString(path, text, true, true)));
        FUZZ_REQUIRE(definedResult(reader.getBool(path, flag)));
        FUZZ_REQUIRE(definedResult(reader.getInteger(path, number)));
        FUZZ_REQUIRE(definedResult(reader.getDirName(path, text)));
        FUZZ_REQUIRE(definedResult(reader.getTimeSpan(path, span)));
        FUZZ_REQUIRE(reader.getSubObjects(path, names) == CONF_OK);
        size_t children = 0;
        for (const ConfNode* child = node->firstChild(); child != nullptr; child = child->nextSibling()) {
            ++children;
        }
        FUZZ_REQUIRE(names.size() == children);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setDebugThreshold(0);
    setSeverityThreshold(5);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    checkTokens(text);

    ConfReader reader{CountedHandle<LogDispatcher>()};
    reader.buildTreeFromText(text, "fuzz.conf");
    FUZZ_REQUIRE(reader.root() != nullptr);

    std::string written;
    if (writeTree(reader.root(), written)) {
        ConfReader again{CountedHandle<LogDispatcher>()};
        again.buildTreeFromText(written, "written.conf");
        const std::string before = printTree(reader.root());
        const std::string after = printTree(again.root());
        if (before != after) {
            std::fprintf(stderr, "tree    %s\nwritten %s\nreads   %s\n", FuzzSupport::shown(before).c_str(),
                         FuzzSupport::shown(written).c_str(), FuzzSupport::shown(after).c_str());
        }
        FUZZ_REQUIRE(before == after);
    }
    checkLookups(reader);
    return 0;
}
