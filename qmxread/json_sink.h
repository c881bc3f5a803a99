// Where JSON goes value by value: a tree in memory (JsonTreeSink) or text
// written as it comes (JsonTextWriter). Producers call key() before each
// member of an object and balance every begin with its end.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pelmora::qmxread {

class JsonSink {
public:
    virtual ~JsonSink() = default;
    virtual void beginObject() = 0;
    virtual void endObject() = 0;
    virtual void beginArray() = 0;
    virtual void endArray() = 0;
    virtual void key(const std::string& name) = 0;
    // A number, string, boolean or null; never an array or object.
    virtual void value(const nlohmann::ordered_json& scalar) = 0;

    void member(const std::string& name, const nlohmann::ordered_json& scalar) {
        key(name);
        value(scalar);
    }
};

// Builds the values into one ordered_json tree.
class JsonTreeSink final : public JsonSink {
public:
    void beginObject() override;
    void endObject() override;
    void beginArray() override;
    void endArray() override;
    void key(const std::string& name) override;
    void value(const nlohmann::ordered_json& scalar) override;

    // The tree once every begin has met its end.
    nlohmann::ordered_json take();

private:
    nlohmann::ordered_json& place(nlohmann::ordered_json item);

    nlohmann::ordered_json root_;
    std::vector<nlohmann::ordered_json*> open_;  // the containers not yet ended, innermost last
    std::string key_;
};

}  // namespace pelmora::qmxread
