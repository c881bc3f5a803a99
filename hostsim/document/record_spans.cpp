#include "hostsim/document/record_spans.h"

#include <optional>
#include <string>
#include <utility>

namespace pelmora::hostsim {
namespace {

[[noreturn]] void notTheShape(const std::string& path) {
    throw DocumentError(path, "the document text does not have the shape of the drawing read from it");
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A walk over JSON text the loader has already accepted: it only finds where
// values begin and end, and decodes keys.
class Scanner {
public:
    explicit Scanner(std::string_view text) : t_(text) {}

    std::size_t at() const { return i_; }

    char next() {
        while (i_ < t_.size() && isSpace(t_[i_])) ++i_;
        if (i_ >= t_.size()) notTheShape("");
        return t_[i_];
    }

    void take(char c) {
        if (next() != c) notTheShape("");
        ++i_;
    }

    void skipValue() {
        const char c = next();
        if (c == '"') return skipString();
        if (c != '{' && c != '[') {
            while (i_ < t_.size() && !isSpace(t_[i_]) && t_[i_] != ',' && t_[i_] != ']' && t_[i_] != '}') ++i_;
            return;
        }
        int depth = 0;
        while (i_ < t_.size()) {
            const char d = t_[i_];
            if (d == '"') {
                skipString();
                continue;
            }
            ++i_;
            if (d == '{' || d == '[') ++depth;
            else if ((d == '}' || d == ']') && --depth == 0) return;
        }
        notTheShape("");
    }

    // Calls `member(key)` at each member's value, which it must read through;
    // gives the offset after the last value (0 for an empty object).
    template <typename Member>
    std::size_t members(Member member) {
        take('{');
        if (next() == '}') return ++i_, 0;
        for (;;) {
            const std::string name = key();
            take(':');
            next();
            member(name);
            const std::size_t end = i_;
            if (next() == ',') {
                ++i_;
                continue;
            }
            take('}');
            return end;
        }
    }

    // Calls `element(index)` at each entry, which it must read through.
    template <typename Element>
    void elements(Element element) {
        take('[');
        if (next() == ']') return void(++i_);
        for (std::size_t index = 0;; ++index) {
            next();
            element(index);
            if (next() == ',') {
                ++i_;
                continue;
            }
            take(']');
            return;
        }
    }

private:
    void skipString() {
        ++i_;
        while (i_ < t_.size()) {
            const char c = t_[i_++];
            if (c == '\\') ++i_;
            else if (c == '"') return;
        }
        notTheShape("");
    }

    // The key's text with its escapes undone; a character beyond ASCII stands
    // as one byte no key of the format has.
    std::string key() {
        if (next() != '"') notTheShape("");
        const std::size_t begin = i_ + 1;
        skipString();
        const std::string_view raw = t_.substr(begin, i_ - 1 - begin);
        std::string text;
        for (std::size_t k = 0; k < raw.size(); ++k) {
            if (raw[k] != '\\' || k + 1 >= raw.size()) {
                text += raw[k];
                continue;
            }
            const char e = raw[++k];
            if (e == 'u' && k + 4 < raw.size()) {
                const unsigned long code = std::stoul(std::string(raw.substr(k + 1, 4)), nullptr, 16);
                text += code < 0x80 ? static_cast<char>(code) : '\x80';
                k += 4;
            } else {
                static const std::string_view kFrom = "bfnrt", kTo = "\b\f\n\r\t";
                const std::size_t known = kFrom.find(e);
                text += known == std::string_view::npos ? e : kTo[known];
            }
        }
        return text;
    }

    std::string_view t_;
    std::size_t i_ = 0;
};

// A walk over the text that the loader accepted. The loader reads a key given
// more than once as its last occurrence, and checks the earlier ones only for
// their JSON types: an earlier `layers`, `objects`, `members` or `records` may
// hold any number of entries of any kind. So every occurrence is read without
// a word about its shape, and only the one that counts must match the drawing:
// a mismatch there is what a document edited into another shape gives.
class SpanFinder {
public:
    explicit SpanFinder(std::string_view text) : scan_(text) {}

    DocumentSpans find(const Drawing& drawing) {
        std::optional<std::vector<std::vector<ObjectSpans>>> layers = std::vector<std::vector<ObjectSpans>>{};
        scan_.members([&](const std::string& key) {
            if (key == "layers") layers = layerList(drawing.layers);
            else scan_.skipValue();
        });
        if (!layers) notTheShape("layers");
        return DocumentSpans{std::move(*layers)};
    }

private:
    using Objects = std::optional<std::vector<ObjectSpans>>;

    // Each entry read through; none when the entries do not match `layers`.
    std::optional<std::vector<std::vector<ObjectSpans>>> layerList(const std::vector<Layer>& layers) {
        std::vector<std::vector<ObjectSpans>> spans;
        bool fits = scan_.next() == '[';
        if (!fits) {
            scan_.skipValue();
            return std::nullopt;
        }
        scan_.elements([&](std::size_t l) {
            fits = fits && l < layers.size() && scan_.next() == '{';
            if (!fits) return scan_.skipValue();
            Objects objects = layer(layers[l]);
            fits = objects.has_value();
            if (fits) spans.push_back(std::move(*objects));
        });
        if (!fits || spans.size() != layers.size()) return std::nullopt;
        return spans;
    }

    Objects layer(const Layer& layer) {
        Objects objects = std::vector<ObjectSpans>{};
        scan_.members([&](const std::string& key) {
            if (key == "objects") objects = list(layer.objects);
            else scan_.skipValue();
        });
        if (objects && objects->size() != layer.objects.size()) objects.reset();
        return objects;
    }

    Objects list(const std::vector<DrawingObject>& objects) {
        std::vector<ObjectSpans> spans;
        bool fits = scan_.next() == '[';
        if (!fits) {
            scan_.skipValue();
            return std::nullopt;
        }
        scan_.elements([&](std::size_t i) {
            fits = fits && i < objects.size() && scan_.next() == '{';
            if (!fits) return scan_.skipValue();
            std::optional<ObjectSpans> one = object(objects[i]);
            fits = one.has_value();
            if (fits) spans.push_back(std::move(*one));
        });
        if (!fits || spans.size() != objects.size()) return std::nullopt;
        return spans;
    }

    std::optional<ObjectSpans> object(const DrawingObject& object) {
        ObjectSpans spans;
        bool recordsFit = true;
        Objects members = std::vector<ObjectSpans>{};
        spans.lastValueEnd = scan_.members([&](const std::string& key) {
            if (key == "records") recordsFit = records(spans);
            else if (key == "members" && object.type == kCodeGroup) members = list(object.members);
            else scan_.skipValue();
        });
        if (!recordsFit || spans.records.size() != object.records.size()) return std::nullopt;
        if (!members || members->size() != object.members.size()) return std::nullopt;
        spans.members = std::move(*members);
        return spans;
    }

    // False when the value is not a list of records.
    bool records(ObjectSpans& spans) {
        spans.hasRecords = true;
        spans.records.clear();
        spans.recordsArray.begin = scan_.at();
        bool fits = scan_.next() == '[';
        if (!fits) {
            scan_.skipValue();
        } else {
            scan_.elements([&](std::size_t) {
                fits = fits && scan_.next() == '{';
                if (!fits) return scan_.skipValue();
                spans.records.push_back(record());
            });
        }
        spans.recordsArray.end = scan_.at();
        return fits;
    }

    RecordSpans record() {
        RecordSpans record;
        record.whole.begin = scan_.at();
        record.lastValueEnd = scan_.members([&](const std::string& key) {
            if (key != "hex") return scan_.skipValue();
            record.hasHex = true;
            record.hex.begin = scan_.at();
            scan_.skipValue();
            record.hex.end = scan_.at();
        });
        record.whole.end = scan_.at();
        return record;
    }

    Scanner scan_;
};

}  // namespace

DocumentSpans findRecordSpans(std::string_view text, const Drawing& drawing) { return SpanFinder(text).find(drawing); }

}  // namespace pelmora::hostsim
