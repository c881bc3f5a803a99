#include "qmxread/qmx_json_stream.h"

#include <cassert>
#include <vector>

#include "qmxread/json_text_writer.h"

namespace pelmora::qmxread {

namespace {

// Writes the nodes it is handed: only the first root, or every root.
class NodeWriter final : public TreeVisitor {
public:
    NodeWriter(JsonSink& out, const JsonOptions& options, bool legacy, bool firstRootOnly)
        : out_(out), options_(options), legacy_(legacy), firstRootOnly_(firstRootOnly) {}

    void header(Encoding, const Header&) override {}

    void nodeBegins(const Node& node, std::size_t depth) override {
        if (depth == 0 && roots_++ > 0 && firstRootOnly_) skipping_ = true;
        if (skipping_) return;
        if (!childrenOpen_.empty() && !childrenOpen_.back()) openChildren();
        beginNodeJson(out_, node, legacy_, options_);
        childrenOpen_.push_back(false);
    }

    void motion(const Motion& motion, std::size_t) override {
        if (!skipping_) motionJson(out_, motion, legacy_, options_);
    }

    void nodeEnds(std::size_t) override {
        if (skipping_) return;
        assert(!childrenOpen_.empty());
        if (!childrenOpen_.back()) openChildren();
        out_.endArray();
        out_.endObject();
        childrenOpen_.pop_back();
    }

private:
    // The node's motion items are over: its children follow.
    void openChildren() {
        out_.endArray();
        out_.key("children");
        out_.beginArray();
        childrenOpen_.back() = true;
    }

    JsonSink& out_;
    const JsonOptions& options_;
    const bool legacy_;
    const bool firstRootOnly_;
    std::size_t roots_ = 0;
    bool skipping_ = false;
    std::vector<bool> childrenOpen_;  // of each node not yet ended, innermost last
};

}  // namespace

// "root" is the first root and "roots", when there are more, all of them
// again: the bytes are read once for each.
void writeJsonText(std::ostream& out, std::span<const std::uint8_t> bytes, const QmxOutline& outline,
                   const ReadOptions& read, const JsonOptions& options) {
    assert(outline.roots > 0);
    const bool legacy = outline.header.layout == Layout::Legacy;
    JsonTextWriter text(out);
    beginJson(text, outline.encoding, outline.header, options);
    text.key("root");
    NodeWriter first(text, options, legacy, true);
    visitQmx(bytes, first, read);
    if (outline.roots > 1) {
        text.key("roots");
        text.beginArray();
        NodeWriter all(text, options, legacy, false);
        visitQmx(bytes, all, read);
        text.endArray();
    }
    text.endObject();
    text.flush();
    out << "\n";
}

}  // namespace pelmora::qmxread
