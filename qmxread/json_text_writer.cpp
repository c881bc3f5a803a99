#include "qmxread/json_text_writer.h"

#include <cassert>

namespace pelmora::qmxread {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

}  // namespace

// Scalars and keys go through the library's own serializer, so that numbers,
// escapes and the replacement of invalid UTF-8 are exactly those of dump().
// One serializer for the whole text, from the library's detail namespace:
// dump() per scalar builds a new one each time, and the million-node file took
// 2.4 times the CPU that way. The tests compare the bytes with the tree's.
JsonTextWriter::JsonTextWriter(std::ostream& out)
    : out_(out),
      serializer_(nlohmann::detail::output_adapter<char>(text_), ' ',
                  nlohmann::ordered_json::error_handler_t::replace) {}

JsonTextWriter::~JsonTextWriter() { flush(); }

void JsonTextWriter::flush() {
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
}

void JsonTextWriter::indent(std::size_t depth) { text_.append(2 * depth, ' '); }

// An entry of an array starts a line of its own; an object's member has
// started its line with its key already.
void JsonTextWriter::beforeValue() {
    if (keyWritten_) {
        keyWritten_ = false;
        return;
    }
    if (counts_.empty()) return;
    text_ += counts_.back()++ == 0 ? "\n" : ",\n";
    indent(counts_.size());
}

void JsonTextWriter::begin(char bracket) {
    beforeValue();
    text_ += bracket;
    counts_.push_back(0);
}

void JsonTextWriter::end(char bracket) {
    assert(!counts_.empty() && !keyWritten_);
    const std::size_t count = counts_.back();
    counts_.pop_back();
    if (count > 0) {
        text_ += '\n';
        indent(counts_.size());
    }
    text_ += bracket;
    if (text_.size() >= kBlock) flush();
}

void JsonTextWriter::beginObject() { begin('{'); }
void JsonTextWriter::endObject() { end('}'); }
void JsonTextWriter::beginArray() { begin('['); }
void JsonTextWriter::endArray() { end(']'); }

void JsonTextWriter::key(const std::string& name) {
    assert(!counts_.empty() && !keyWritten_);
    beforeValue();
    serializer_.dump(nlohmann::ordered_json(name), false, false, 0);
    text_ += ": ";
    keyWritten_ = true;
}

void JsonTextWriter::value(const nlohmann::ordered_json& scalar) {
    assert(!scalar.is_structured());
    beforeValue();
    serializer_.dump(scalar, false, false, 0);
    if (text_.size() >= kBlock) flush();
}

}  // namespace pelmora::qmxread
