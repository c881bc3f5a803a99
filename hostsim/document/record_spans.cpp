#include "hostsim/document/record_spans.h"

#include <string>

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

class SpanFinder {
public:
    explicit SpanFinder(std::string_view text) : scan_(text) {}

    DocumentSpans find(const Drawing& drawing) {
        DocumentSpans spans;
        scan_.members([&](const std::string& key) {
            if (key != "layers") return scan_.skipValue();
            spans.layers.clear();
            scan_.elements([&](std::size_t l) {
                if (l >= drawing.layers.size()) notTheShape("layers");
                spans.layers.push_back(layer(drawing.layers[l], "layers[" + std::to_string(l) + "]"));
            });
        });
        if (spans.layers.size() != drawing.layers.size()) notTheShape("layers");
        return spans;
    }

private:
    std::vector<ObjectSpans> layer(const Layer& layer, const std::string& path) {
        std::vector<ObjectSpans> objects;
        scan_.members([&](const std::string& key) {
            if (key != "objects") return scan_.skipValue();
            objects = list(layer.objects, path + ".objects");
        });
        if (objects.size() != layer.objects.size()) notTheShape(path + ".objects");
        return objects;
    }

    std::vector<ObjectSpans> list(const std::vector<DrawingObject>& objects, const std::string& path) {
        std::vector<ObjectSpans> spans;
        scan_.elements([&](std::size_t i) {
            const std::string at = path + "[" + std::to_string(i) + "]";
            if (i >= objects.size()) notTheShape(at);
            spans.push_back(object(objects[i], at));
        });
        return spans;
    }

    ObjectSpans object(const DrawingObject& object, const std::string& path) {
        ObjectSpans spans;
        spans.lastValueEnd = scan_.members([&](const std::string& key) {
            if (key == "records") {
                records(spans);
            } else if (key == "members" && object.type == kCodeGroup) {
                spans.members = list(object.members, path + ".members");
            } else {
                scan_.skipValue();
            }
        });
        if (spans.records.size() != object.records.size()) notTheShape(path + ".records");
        if (spans.members.size() != object.members.size()) notTheShape(path + ".members");
        return spans;
    }

    void records(ObjectSpans& spans) {
        spans.hasRecords = true;
        spans.records.clear();
        spans.recordsArray.begin = scan_.at();
        scan_.elements([&](std::size_t) {
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
            spans.records.push_back(record);
        });
        spans.recordsArray.end = scan_.at();
    }

    Scanner scan_;
};

}  // namespace

DocumentSpans findRecordSpans(std::string_view text, const Drawing& drawing) { return SpanFinder(text).find(drawing); }

}  // namespace pelmora::hostsim
