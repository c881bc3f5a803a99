#include "qmxread/json_sink.h"

#include <cassert>
#include <utility>

namespace pelmora::qmxread {

using Json = nlohmann::ordered_json;

// Only the innermost open container grows, so the pointers to the outer ones
// (members of containers that do not change meanwhile) stay valid.
Json& JsonTreeSink::place(Json item) {
    if (open_.empty()) {
        root_ = std::move(item);
        return root_;
    }
    Json& into = *open_.back();
    if (into.is_object()) return into[key_] = std::move(item);
    into.push_back(std::move(item));
    return into.back();
}

void JsonTreeSink::beginObject() { open_.push_back(&place(Json::object())); }

void JsonTreeSink::beginArray() { open_.push_back(&place(Json::array())); }

void JsonTreeSink::endObject() {
    assert(!open_.empty() && open_.back()->is_object());
    open_.pop_back();
}

void JsonTreeSink::endArray() {
    assert(!open_.empty() && open_.back()->is_array());
    open_.pop_back();
}

void JsonTreeSink::key(const std::string& name) {
    assert(!open_.empty() && open_.back()->is_object());
    key_ = name;
}

void JsonTreeSink::value(const Json& scalar) {
    assert(!scalar.is_structured());
    place(scalar);
}

Json JsonTreeSink::take() {
    assert(open_.empty());
    return std::move(root_);
}

}  // namespace pelmora::qmxread
