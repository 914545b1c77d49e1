// XmlObjects.h - finding values and copying objects in XML configuration object files, edited as
// text.
//
// Portable: no platform headers. The file is never parsed into a tree: objects are found by
// searching for their name elements, and every byte that is not edited stays as it was.
//   <Object>
//     <Name>name</Name>
//     <Value attr="...">text</Value>            (optional)
//     <SubObjects>                              (optional, followed by a line end)
//       <Object>...</Object>
//     </SubObjects>
//   </Object>
#pragma once

#include <cstddef>
#include <string>

namespace XmlObjects {

constexpr size_t npos = std::string::npos;

// The position just after the ">" that ends the value tag of the object named by the dotted
// `path`, each name searched after the previous one, starting at `from`; npos when there is none.
// The first value tag after the name is taken, even if it belongs to a later object.
size_t findValue(const std::string& path, const std::string& content, size_t from);

// Inserts a copy of the object named by `source` (the first occurrence of its last name) as the
// first sub-object under the parent part of `destination`, renamed to its last name. Fails, and
// leaves `content` unchanged, when an object, its end or the insertion point cannot be found.
bool copyObject(const std::string& source, std::string& content, const std::string& destination);

// The outcome of setValue.
enum class SetResult { Set, NoValueTag, NoValueEnd };

// The initializer's set form: replaces the text between the value tag of the object named by
// `path` (as findValue finds it) and the first "</Value>" after it by `value`. NoValueTag when
// findValue finds none, NoValueEnd when no "</Value>" follows; `content` is unchanged then.
SetResult setValue(const std::string& path, std::string& content, const std::string& value);

} // namespace XmlObjects
