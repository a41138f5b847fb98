#include "command/parse.h"

#include <utility>
#include <vector>

namespace command {

namespace {

// Builds the document from the parser's events like the library's own
// builder, but moves each string into the document instead of copying it: a
// long string in the command then stands in memory once less while parsing.
class MovingDocumentBuilder {
 public:
  using json = nlohmann::json;

  explicit MovingDocumentBuilder(json& root) : root_(root) {}

  bool null() {
    Put(nullptr);
    return true;
  }
  bool boolean(bool value) {
    Put(value);
    return true;
  }
  bool number_integer(json::number_integer_t value) {
    Put(value);
    return true;
  }
  bool number_unsigned(json::number_unsigned_t value) {
    Put(value);
    return true;
  }
  bool number_float(json::number_float_t value, const json::string_t& /*text*/) {
    Put(value);
    return true;
  }
  bool string(json::string_t& value) {
    Put(std::move(value));
    return true;
  }
  bool binary(json::binary_t& value) {
    Put(json::binary(std::move(value)));
    return true;
  }
  bool start_object(std::size_t /*size*/) {
    return Open(json::value_t::object);
  }
  bool key(json::string_t& name) {
    // A repeated name takes the later value, as with the library's builder.
    member_ = &(*open_.back())[std::move(name)];
    return true;
  }
  bool end_object() {
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t /*size*/) {
    return Open(json::value_t::array);
  }
  bool end_array() {
    open_.pop_back();
    return true;
  }
  bool parse_error(std::size_t /*position*/, const std::string& /*last_token*/,
                   const json::exception& /*error*/) {
    return false;
  }

 private:
  // Refuses the document as soon as it nests deeper than the limit, before
  // anything deeper is built.
  bool Open(json::value_t kind) {
    if (open_.size() == kMaxNestingDepth) {
      return false;
    }
    open_.push_back(Put(kind));
    return true;
  }

  json* Put(json value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    if (open_.back()->is_array()) {
      open_.back()->push_back(std::move(value));
      return &open_.back()->back();
    }
    *member_ = std::move(value);
    return member_;
  }

  json& root_;
  std::vector<json*> open_;  // the objects and arrays not yet closed
  json* member_ = nullptr;   // where the value of the latest name goes
};

}  // namespace

nlohmann::json ParseCommandText(const std::string& command_text) {
  nlohmann::json document;
  MovingDocumentBuilder builder(document);
  if (!nlohmann::json::sax_parse(command_text, &builder)) {
    document = nlohmann::json(nlohmann::json::value_t::discarded);
  }
  return document;
}

void ReleaseDocument(nlohmann::json& document) {
  // Recursion is bounded by the nesting limit.
  if (document.is_array()) {
    auto& elements = document.get_ref<nlohmann::json::array_t&>();
    while (!elements.empty()) {
      ReleaseDocument(elements.back());
      elements.pop_back();
    }
  } else if (document.is_object()) {
    auto& members = document.get_ref<nlohmann::json::object_t&>();
    while (!members.empty()) {
      const auto last = std::prev(members.end());
      ReleaseDocument(last->second);
      members.erase(last);
    }
  }
}

}  // namespace command
