// The JSON and the tree written while a file is read are the bytes the tree
// in memory gives, for every layout, encoding and option, with one root or two.
#include <gtest/gtest.h>

#include <sstream>

#include "qmxread/qmx_json.h"
#include "qmxread/qmx_json_stream.h"
#include "qmxread/qmx_outline.h"
#include "qmxread/qmx_print.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/sample_trees.h"

using namespace pelmora::qmxread;
using namespace qmxtest;

namespace {

// The sample tree with a branch of many small nodes, some nested, some with
// names that need escapes or are not UTF-8.
TNode manyNodes(bool legacy) {
    TNode root = sampleTree(legacy);
    TNode group;
    group.name = "group \"q\"\t\xE9";
    for (std::uint32_t i = 0; i < 300; ++i) {
        TNode leaf;
        leaf.id = 2000 + i;
        leaf.name = "leaf" + std::to_string(i);
        leaf.vecA = {0.1f * static_cast<float>(i), -1e-7f, 3e20f};
        if (i % 50 == 0) leaf.children.push_back(TNode{});
        group.children.push_back(leaf);
    }
    root.children.push_back(group);
    return root;
}

TEST(JsonStream, SameBytesAsTheTreeForEveryLayoutEncodingAndOption) {
    for (bool legacy : {false, true}) {
        for (bool ascii : {false, true}) {
            for (int roots : {1, 2}) {
                Bytes bytes = build(ascii, headerOf(legacy, true), manyNodes(legacy));
                if (roots == 2) {
                    const Bytes again = build(ascii, headerOf(legacy, true), sampleTree(legacy));
                    const std::size_t rootAt = readQmx(again).roots[0].offset;
                    bytes.insert(bytes.end(), again.begin() + static_cast<std::ptrdiff_t>(rootAt), again.end());
                }
                for (bool decode : {true, false}) {
                    SCOPED_TRACE(::testing::Message() << "legacy " << legacy << ", ascii " << ascii << ", roots "
                                                      << roots << ", decode " << decode);
                    ReadOptions read;
                    read.decodePayloads = decode;
                    JsonOptions options;
                    options.geometry = options.raw = decode;
                    const QmxFile file = readQmx(bytes, read);
                    ASSERT_EQ(file.roots.size(), static_cast<std::size_t>(roots));
                    const QmxOutline outline = outlineQmx(bytes, read);
                    EXPECT_EQ(outline.roots, file.roots.size());

                    std::ostringstream streamed;
                    writeJsonText(streamed, bytes, outline, read, options);
                    const nlohmann::ordered_json tree = toJson(file, options);
                    EXPECT_EQ(streamed.str(),
                              tree.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n");
                    EXPECT_EQ(nlohmann::ordered_json::parse(streamed.str()), tree);

                    std::ostringstream printed, whole;
                    printTree(printed, bytes, read, {decode, {}});
                    printTree(whole, file, {decode, {}});
                    EXPECT_EQ(printed.str(), whole.str());
                }
            }
        }
    }
}

}  // namespace
