// JSON written as the values come, indented by two spaces, the same bytes as
// nlohmann::ordered_json::dump(2, ' ', false, error_handler_t::replace) of the
// same tree; only the open containers are held, and the text goes out in
// blocks of about 64 KiB.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "qmxread/json_sink.h"

namespace pelmora::qmxread {

class JsonTextWriter final : public JsonSink {
public:
    explicit JsonTextWriter(std::ostream& out);
    JsonTextWriter(const JsonTextWriter&) = delete;
    JsonTextWriter& operator=(const JsonTextWriter&) = delete;
    ~JsonTextWriter() override;  // flushes what is left

    void beginObject() override;
    void endObject() override;
    void beginArray() override;
    void endArray() override;
    void key(const std::string& name) override;
    void value(const nlohmann::ordered_json& scalar) override;

    // Writes out what is buffered.
    void flush();

private:
    using Serializer = nlohmann::detail::serializer<nlohmann::ordered_json>;

    void beforeValue();
    void begin(char bracket);
    void end(char bracket);
    void indent(std::size_t depth);

    std::ostream& out_;
    std::string text_;
    Serializer serializer_;
    std::vector<std::size_t> counts_;  // entries so far of each open container
    bool keyWritten_ = false;          // the value that follows belongs to a key
};

}  // namespace pelmora::qmxread
