// ConfParser.h - turning the tokens of a configuration text into an object tree.
//
// Portable: no platform headers; this file must stay free of them so that the parser can be built
// natively and fuzzed. Syntax errors are thrown as ConfigException CF_CONF after a debug text
// naming the missing token.
#pragma once

#include "Config/ConfNode.h"
#include "Config/Tokenizer.h"
#include "Foundation/CountedHandle.h"
#include "Logger/LoggerUnit.h"

#include <cstdint>
#include <string>

namespace Vorlix {

// Objects nest at most this many levels deep. Each level of nesting takes a stack frame of the parser, so a
// file of nothing but opening braces must end in a syntax error, not in a stack overflow.
constexpr int32_t kMaxConfNesting = 100;

// Reads objects into `parent` until the input runs out (true) or a closing brace stands where an
// object could start (false). `depth` is the nesting level of `parent`, 0 for the root.
bool parseBlock(Tokenizer& tokenizer, ConfNode& parent, const CountedHandle<LoggerUnit>& logger,
                int32_t depth = 0);

// The line, counted from 1, on which the byte before `position` stands.
int32_t lineAt(const std::string& content, size_t position);

} // namespace Vorlix
