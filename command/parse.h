#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace command {

// Deepest nesting of objects and arrays a command may have (the root object is
// level 1). Deeper documents are refused while they are parsed, so that
// nothing walks them recursively.
constexpr std::size_t kMaxNestingDepth = 512;

// Parses the whole text as one JSON value (a leading UTF-8 byte-order mark
// skipped), as the library's parse does with no callback and no exceptions:
// anything else, or a value nested deeper than kMaxNestingDepth, gives the
// discarded value, and nothing is raised.
nlohmann::json ParseCommandText(const std::string& command_text);

// Empties the document element by element, from the last, so that it goes
// without the library's destructor first moving every element of a container
// into a list as large as the container: for a large array of small values
// that list, not the document, set the peak of memory.
void ReleaseDocument(nlohmann::json& document);

}  // namespace command
