#include "qmxread/qmx_outline.h"

namespace pelmora::qmxread {

namespace {

class OutlineVisitor final : public TreeVisitor {
public:
    explicit OutlineVisitor(QmxOutline& outline) : outline_(outline) {}

    void header(Encoding encoding, const Header& header) override {
        outline_.encoding = encoding;
        outline_.header = header;
    }
    void nodeBegins(const Node&, std::size_t depth) override {
        if (depth == 0) ++outline_.roots;
    }
    void motion(const Motion&, std::size_t) override {}
    void nodeEnds(std::size_t) override {}

private:
    QmxOutline& outline_;
};

}  // namespace

QmxOutline outlineQmx(std::span<const std::uint8_t> bytes, const ReadOptions& options) {
    QmxOutline outline;
    OutlineVisitor visitor(outline);
    visitQmx(bytes, visitor, options);
    return outline;
}

}  // namespace pelmora::qmxread
