#include "tool/import/quick_obj_parse.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>

#include <assimp/fast_atof.h>

#include "tool/import/model_handoff.h"
#include "tool/import/model_import.h"

namespace pelmora::tool {
namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxNumberChars = 32;
constexpr std::size_t kMaxNameBytes = 200;
constexpr std::size_t kMaxIntegerDigits = 18;
// Larger polygons are rare enough to leave to the general importer.
constexpr std::uint32_t kMaxCorners = 64;
static_assert(kMaxCorners <= kMaxHandoffCorners);
constexpr const char* kDefaultObjectName = "defaultobject";
constexpr const char* kDefaultMaterialName = "DefaultMaterial";

// The pieces of a line between runs of spaces.
class Tokens {
public:
    explicit Tokens(std::string_view line) : rest_(line) {}
    bool next(std::string_view& token) {
        while (!rest_.empty() && rest_.front() == ' ') rest_.remove_prefix(1);
        if (rest_.empty()) return false;
        const std::size_t end = std::min(rest_.find(' '), rest_.size());
        token = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return true;
    }

private:
    std::string_view rest_;
};

// What the number parser would throw; the numbers are checked before it
// sees them, so it never does.
struct NumberRefused {
    template <typename... Parts>
    explicit NumberRefused(Parts&&...) {}
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t digitsAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && isDigit(text[end])) ++end;
    return end - at;
}

// Only plain decimal numbers: sign, digits, a point, an exponent with digits.
// Everything else (nan, inf, commas, overflowing integers, a number that
// starts with its point or with a zero before more digits) the importer reads
// in ways of its own.
bool plainNumber(std::string_view text) {
    if (text.empty() || text.size() > kMaxNumberChars) return false;
    std::size_t at = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const std::size_t whole = digitsAt(text, at);
    if (whole == 0 || whole > kMaxIntegerDigits || (whole > 1 && text[at] == '0')) return false;
    at += whole;
    if (at < text.size() && text[at] == '.') at += 1 + digitsAt(text, at + 1);
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
        const std::size_t exponent = digitsAt(text, at);
        if (exponent == 0 || exponent > 3) return false;
        at += exponent;
    }
    return at == text.size();
}

// A name as one token of printable ASCII or any byte above it, without the
// backslash that continues a line.
bool plainName(std::string_view text) {
    if (text.empty() || text.size() > kMaxNameBytes) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || c == '\\') return false;
    return true;
}

class Parser {
public:
    explicit Parser(ObjModel& model) : model_(model) {}

    // False: the line holds something this reader does not take. The text
    // after the line must hold a byte that ends a number (the buffer's
    // newline or terminating zero).
    bool line(std::string_view text) {
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);  // a Windows line end
        if (text.empty() || text[0] == '#') return true;
        if (text.back() == '\\') return false;  // continued on the next line
        const std::size_t space = text.find(' ');
        if (space == std::string_view::npos) return false;
        const std::string_view keyword = text.substr(0, space);
        const std::string_view rest = text.substr(space + 1);
        if (keyword == "v") return vertex(rest);
        if (keyword == "f") return face(rest);
        if (keyword == "vt") return counted(rest, 2, 3, textureCoordinates_);
        if (keyword == "vn") return counted(rest, 3, 3, normals_);
        if (keyword == "o") return object(rest);
        if (keyword == "g") return group(rest);
        if (keyword == "usemtl") return material(rest);
        if (keyword == "s") return smoothing(rest);
        return false;
    }

    bool anyFace() const { return faces_ > 0; }

private:
    bool number(std::string_view token, float& value) {
        if (!plainNumber(token)) return false;
        const char* end = Assimp::fast_atoreal_move<float, NumberRefused>(token.data(), value);
        return end == token.data() + token.size();
    }

    bool vertex(std::string_view rest) {
        Tokens tokens(rest);
        std::string_view token;
        float xyz[3];
        for (float& value : xyz)
            if (!tokens.next(token) || !number(token, value)) return false;
        if (tokens.next(token)) return false;  // w or a colour: read otherwise
        model_.positions.insert(model_.positions.end(), xyz, xyz + 3);
        return true;
    }

    bool counted(std::string_view rest, int least, int most, std::size_t& count) {
        Tokens tokens(rest);
        std::string_view token;
        float value;
        int values = 0;
        while (tokens.next(token)) {
            if (!number(token, value) || ++values > most) return false;
        }
        if (values < least) return false;
        ++count;
        return true;
    }

    bool smoothing(std::string_view rest) {
        Tokens tokens(rest);
        std::string_view token;
        return tokens.next(token) && plainName(token) && !tokens.next(token);
    }

    // An index as written (1-based, or negative from the last one so far)
    // made 0-based; false when it names nothing.
    static bool index(std::string_view text, std::size_t count, std::uint32_t& out) {
        const bool negative = !text.empty() && text[0] == '-';
        if (negative) text.remove_prefix(1);
        // A leading zero the importer reads otherwise (as a corner of its own).
        if (text.empty() || text.size() > 9 || text[0] == '0' || digitsAt(text, 0) != text.size()) return false;
        std::size_t value = 0;
        for (char c : text) value = value * 10 + static_cast<std::size_t>(c - '0');
        if (value == 0 || value > count) return false;
        out = static_cast<std::uint32_t>(negative ? count - value : value - 1);
        return true;
    }

    // One corner: v, v/vt, v//vn or v/vt/vn, the same form in the whole file.
    bool corner(std::string_view text, std::uint32_t& position) {
        const std::size_t slash = text.find('/');
        int form = 0;
        std::uint32_t unused;
        if (slash != std::string_view::npos) {
            const std::string_view after = text.substr(slash + 1);
            const std::size_t second = after.find('/');
            const std::string_view texture = after.substr(0, second);
            if (second != std::string_view::npos) {
                if (!index(after.substr(second + 1), normals_, unused)) return false;
                form = texture.empty() ? 2 : 3;
            } else {
                form = 1;
            }
            if (form != 2 && !index(texture, textureCoordinates_, unused)) return false;
            text = text.substr(0, slash);
        }
        if (cornerForm_ >= 0 && cornerForm_ != form) return false;
        cornerForm_ = form;
        return index(text, model_.positions.size() / 3, position);
    }

    bool face(std::string_view rest) {
        Tokens tokens(rest);
        std::string_view token;
        std::uint32_t corners[kMaxCorners];
        std::uint32_t count = 0;
        while (tokens.next(token)) {
            if (count == kMaxCorners || !corner(token, corners[count])) return false;
            for (std::uint32_t i = 0; i < count; ++i)
                if (corners[i] == corners[count]) return false;
            ++count;
        }
        if (count < 3) return false;  // points and lines the importer keeps apart
        ObjMesh& mesh = currentMesh();
        mesh.counts.push_back(count);
        mesh.corners.insert(mesh.corners.end(), corners, corners + count);
        ++faces_;
        return true;
    }

    ObjMesh& currentMesh() {
        if (model_.objects.empty()) startObject(kDefaultObjectName);
        return model_.objects.back().meshes.back();
    }

    void startObject(const std::string& name) {
        ObjObject object;
        object.name = name;
        object.meshes.push_back(ObjMesh{name, material_, {}, {}});
        model_.objects.push_back(std::move(object));
        objectNames_.insert(name);
    }

    // An object named a second time, or one without a name, the importer
    // files in ways of its own.
    bool object(std::string_view rest) {
        if (!plainName(rest)) return false;
        const std::string name(rest);
        if (objectNames_.count(name) || name == kDefaultObjectName) return false;
        startObject(name);
        return true;
    }

    // A group starts an object of its name unless it names the group before
    // (which the importer ignores, even across objects: taken as odd).
    bool group(std::string_view rest) {
        if (!plainName(rest) || rest == group_) return false;
        group_ = rest;
        startObject(group_);
        return true;
    }

    // A new material starts a new mesh, named after it, once the current mesh
    // has faces of another material; faces without one take it, as does a
    // mesh without faces.
    bool material(std::string_view rest) {
        if (!plainName(rest) || rest == kDefaultMaterialName) return false;
        const std::string name(rest);
        material_ = name;
        if (model_.objects.empty()) return true;
        std::vector<ObjMesh>& meshes = model_.objects.back().meshes;
        if (!meshes.back().counts.empty() && !meshes.back().material.empty() && meshes.back().material != name)
            meshes.push_back(ObjMesh{name, name, {}, {}});
        else meshes.back().material = name;
        return true;
    }

    ObjModel& model_;
    std::string material_;
    std::string group_;
    std::set<std::string> objectNames_;
    std::size_t textureCoordinates_ = 0;
    std::size_t normals_ = 0;
    std::size_t faces_ = 0;
    int cornerForm_ = -1;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Feeds the parser each whole line of the file; false when it gives up.
bool readLines(const std::string& path, Parser& parser, const ObjProgress& progress) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    // A file that cannot be read is left to the general importer too, so that
    // its refusal reads as it always did.
    if (!file) return false;
    std::fseek(file.get(), 0, SEEK_END);
    const double size = static_cast<double>(std::max(1L, std::ftell(file.get())));
    std::fseek(file.get(), 0, SEEK_SET);
    // One byte past the data stays a newline or zero, where a number ends.
    std::vector<char> block(kBlockBytes + 1);
    std::size_t held = 0;
    double done = 0;
    for (;;) {
        const std::size_t got = std::fread(block.data() + held, 1, kBlockBytes - held, file.get());
        if (got == 0 && std::ferror(file.get())) return false;
        const bool last = got == 0;
        held += got;
        done += static_cast<double>(got);
        block[held] = '\0';
        std::size_t start = 0;
        for (;;) {
            const char* newline = static_cast<const char*>(std::memchr(block.data() + start, '\n', held - start));
            if (newline == nullptr && !(last && start < held)) break;
            const std::size_t end = newline ? static_cast<std::size_t>(newline - block.data()) : held;
            if (!parser.line(std::string_view(block.data() + start, end - start))) return false;
            start = newline ? end + 1 : held;
        }
        if (last) return true;
        if (start == 0) return false;  // a line longer than the block
        std::memmove(block.data(), block.data() + start, held - start);
        held -= start;
        if (progress && !progress(std::min(1.0, done / size)))
            throw ModelImportError("the import of " + path + " was stopped");
    }
}

}  // namespace

std::optional<ObjModel> parseSimpleObj(const std::string& path, const ObjProgress& progress) {
    ObjModel model;
    Parser parser(model);
    if (!readLines(path, parser, progress) || !parser.anyFace()) return std::nullopt;
    return model;
}

}  // namespace pelmora::tool
