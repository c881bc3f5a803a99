#include "hostsim/document/records_patch.h"

#include <algorithm>
#include <cassert>
#include <vector>

#include "hostsim/document/record_spans.h"

namespace pelmora::hostsim {
namespace {

// Replaces `remove` bytes at `at` with `insert`.
struct Edit {
    std::size_t at = 0;
    std::size_t remove = 0;
    std::string insert;
};

std::string hexText(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = "\"";
    text.reserve(bytes.size() * 2 + 2);
    for (std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text + "\"";
}

// Four characters when they can stand in a JSON string as they are, else the number.
std::string tagText(std::uint32_t tag) {
    const std::string chars = charsFromTag(tag);
    for (char c : chars)
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return std::to_string(tag);
    return "\"" + chars + "\"";
}

std::string recordText(const AuxRecord& record) {
    return "{\"tag\": " + tagText(record.tag) + ", \"hex\": " + hexText(record.bytes) + "}";
}

std::string joined(const std::vector<AuxRecord>& records, std::size_t from, const std::string& separator) {
    std::string text;
    for (std::size_t i = from; i < records.size(); ++i) text += (i > from ? separator : "") + recordText(records[i]);
    return text;
}

bool onlyAppendedOrRewritten(const std::vector<AuxRecord>& before, const std::vector<AuxRecord>& after) {
    if (after.size() < before.size()) return false;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i].tag != after[i].tag) return false;
    return true;
}

class Patcher {
public:
    Patcher(std::string_view text, const Drawing& now) : text_(text), now_(now), spans_(findRecordSpans(text, now)) {}

    RecordsPatch run(const Drawing& asRead, const Drawing& changed) {
        assert(asRead.layers.size() == changed.layers.size());
        for (std::size_t l = 0; l < asRead.layers.size() && result_.why.empty(); ++l) {
            const bool there = l < now_.layers.size() && now_.layers[l].name == asRead.layers[l].name;
            walk(asRead.layers[l].objects, changed.layers[l].objects, there ? &now_.layers[l].objects : nullptr,
                 there ? &spans_.layers[l] : nullptr, "layers[" + std::to_string(l) + "].objects");
        }
        if (result_.why.empty()) result_.text = applied();
        return std::move(result_);
    }

private:
    void walk(const std::vector<DrawingObject>& read, const std::vector<DrawingObject>& changed,
              const std::vector<DrawingObject>* now, const std::vector<ObjectSpans>* spans, const std::string& path) {
        assert(read.size() == changed.size());
        for (std::size_t i = 0; i < read.size() && result_.why.empty(); ++i) {
            const std::string at = path + "[" + std::to_string(i) + "]";
            const bool there = now != nullptr && i < now->size();
            const DrawingObject* current = there ? &(*now)[i] : nullptr;
            const ObjectSpans* span = there ? &(*spans)[i] : nullptr;
            if (read[i].records != changed[i].records) {
                if (!matches(read[i], current, at)) return;
                patchObject(*span, read[i].records, changed[i].records);
                ++result_.changedObjects;
            }
            walk(read[i].members, changed[i].members, current ? &current->members : nullptr,
                 span ? &span->members : nullptr, at + ".members");
        }
    }

    bool matches(const DrawingObject& read, const DrawingObject* current, const std::string& at) {
        if (current == nullptr) result_.why = at + " is no longer in the drawing";
        else if (current->type != read.type || current->name != read.name) result_.why = at + " is another object now";
        else if (current->records != read.records) result_.why = at + ": its records were changed meanwhile";
        return result_.why.empty();
    }

    void patchObject(const ObjectSpans& s, const std::vector<AuxRecord>& before, const std::vector<AuxRecord>& after) {
        if (!s.hasRecords) {
            edits_.push_back({s.lastValueEnd, 0, ", \"records\": [" + joined(after, 0, ", ") + "]"});
            return;
        }
        if (!onlyAppendedOrRewritten(before, after)) {
            const TextSpan& whole = s.recordsArray;
            edits_.push_back({whole.begin, whole.end - whole.begin, "[" + joined(after, 0, ", ") + "]"});
            return;
        }
        for (std::size_t i = 0; i < before.size(); ++i)
            if (before[i].bytes != after[i].bytes) rewriteBytes(s.records[i], after[i]);
        if (after.size() == before.size()) return;
        if (before.empty()) {
            edits_.push_back({s.recordsArray.begin + 1, 0, joined(after, 0, ", ")});
            return;
        }
        // New records follow the last one, spaced as the first one is.
        const std::size_t open = s.recordsArray.begin + 1;
        const std::string separator = "," + std::string(text_.substr(open, s.records.front().whole.begin - open));
        edits_.push_back({s.records.back().whole.end, 0, separator + joined(after, before.size(), separator)});
    }

    void rewriteBytes(const RecordSpans& r, const AuxRecord& record) {
        if (r.hasHex) edits_.push_back({r.hex.begin, r.hex.end - r.hex.begin, hexText(record.bytes)});
        else if (r.lastValueEnd != 0) edits_.push_back({r.lastValueEnd, 0, ", \"hex\": " + hexText(record.bytes)});
        else edits_.push_back({r.whole.begin + 1, 0, "\"hex\": " + hexText(record.bytes)});
    }

    std::string applied() {
        std::stable_sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
        std::string out;
        std::size_t from = 0;
        for (const Edit& e : edits_) {
            assert(e.at >= from);
            out.append(text_.substr(from, e.at - from));
            out += e.insert;
            from = e.at + e.remove;
        }
        out.append(text_.substr(from));
        return out;
    }

    std::string_view text_;
    const Drawing& now_;
    DocumentSpans spans_;
    std::vector<Edit> edits_;
    RecordsPatch result_;
};

}  // namespace

RecordsPatch patchRecords(std::string_view text, const Drawing& asRead, const Drawing& changed) {
    const Drawing now = parseDrawing(text);
    return Patcher(text, now).run(asRead, changed);
}

}  // namespace pelmora::hostsim
