// Writes JSON text straight into a string, laid out as the JSON library's
// dump with an indent of one space. Nothing is built and torn down on the
// way: building a JSON tree and destroying it needs memory in a destructor,
// where running out of it would end the process.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelmora::hostsim {

class JsonText {
public:
    // Containers; a key, when given, names the member inside an object.
    void beginObject(std::string_view key = {});
    void endObject();
    void beginArray(std::string_view key = {});
    void endArray();

    // Values: inside an object give the key, inside an array leave it empty.
    void string(std::string_view key, std::string_view text);
    void number(std::string_view key, double value);  // throws std::invalid_argument when not finite
    void integer(std::string_view key, long long value);
    void boolean(std::string_view key, bool value);
    void null(std::string_view key);

    // The text so far with a final line end.
    std::string finish();

private:
    void element(std::string_view key);
    void quoted(std::string_view text);
    void begin(std::string_view key, char open);
    void end(char close);

    std::string out_;
    std::vector<bool> empty_;  // per open container: nothing written in it yet
};

}  // namespace pelmora::hostsim
