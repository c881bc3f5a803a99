// Temporary objects of the emulated host: what converting a drawing object
// gives, one polygon or a group of its polygons and nested groups, disposed
// of exactly once by the plug-in.
#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

std::size_t nodesFor(const std::vector<GeometryEntry>& entries) {
    std::size_t count = 0;
    for (const GeometryEntry& e : entries) count += 1 + (e.isGroup ? nodesFor(e.members) : 0);
    return count;
}

// Fills the nodes of one block, each from the next free slot.
class BlockBuilder {
public:
    BlockBuilder(Node* block, const DrawingObject& converted, std::int32_t classIndex, const HostState& host)
        : block_(block), converted_(converted), classIndex_(classIndex), host_(host) {}

    Node* group(const std::vector<GeometryEntry>& members, Node* root) {
        Node* n = take(root);
        n->type = kCodeGroup;
        n->classIndex = classIndex_;
        Node* previous = nullptr;
        for (const GeometryEntry& m : members) {
            Node* child = entry(m, root == nullptr ? n : root);
            (previous == nullptr ? n->first : previous->next) = child;
            previous = child;
        }
        return n;
    }

    Node* entry(const GeometryEntry& e, Node* root) {
        if (e.isGroup) return group(e.members, root);
        Node* n = take(root);
        n->type = kCodePolygon;
        // A polygon's own class, or the class of the object it came from.
        n->classIndex = e.className.empty() ? classIndex_ : host_.classIndexOf(e.className);
        setPolygonPoints(*n, e.points);
        n->closed = e.closed;
        n->vertexData = e.vertexData;
        return n;
    }

    // A mesh's polygon `p`: as a plain entry with the same corners.
    Node* meshPolygon(const PolygonMesh& mesh, std::size_t p, Node* root) {
        Node* n = take(root);
        n->type = kCodePolygon;
        n->classIndex = classIndex_;
        n->polygon = true;
        n->points = mesh.points.data();
        n->corners = mesh.corners.data() + mesh.start(p);
        n->pointCount = mesh.cornerCount(p);
        n->closed = true;
        n->vertexData = true;
        return n;
    }

    Node* meshGroup(const PolygonMesh& mesh) {
        Node* n = take(nullptr);
        n->type = kCodeGroup;
        n->classIndex = classIndex_;
        Node* previous = nullptr;
        for (std::size_t p = 0; p < mesh.size(); ++p) {
            Node* child = meshPolygon(mesh, p, n);
            (previous == nullptr ? n->first : previous->next) = child;
            previous = child;
        }
        return n;
    }

private:
    Node* take(Node* root) {
        Node* n = &block_[used_++];
        n->kind = NodeKind::Temporary;
        n->object = &converted_;
        n->owner = root;
        n->temporaryRoot = root == nullptr;
        return n;
    }

    Node* block_;
    const DrawingObject& converted_;
    std::int32_t classIndex_;
    const HostState& host_;
    std::size_t used_ = 0;
};

}  // namespace

Node* HostState::makeTemporary(const Node& source) {
    if (source.object == nullptr) return nullptr;
    if (source.object->mesh) return makeTemporaryMesh(source);
    if (!source.object->polygons) return nullptr;
    const std::vector<GeometryEntry>& entries = *source.object->polygons;
    const bool single = entries.size() == 1 && !entries.front().isGroup;
    // Side by side, and never moved while their handles are out.
    const std::size_t count = single ? 1 : 1 + nodesFor(entries);
    Node* block = table.addTemporary(count);
    BlockBuilder builder(block, *source.object, source.classIndex, *this);
    Node* root = single ? builder.entry(entries.front(), nullptr) : builder.group(entries, nullptr);
    root->nodeCount = count;
    ++liveTemporaryCount;
    return root;
}

// The same nodes, in the same order, as the mesh's polygons given as entries.
Node* HostState::makeTemporaryMesh(const Node& source) {
    const PolygonMesh& mesh = *source.object->mesh;
    const bool single = mesh.size() == 1;
    const std::size_t count = single ? 1 : 1 + mesh.size();
    Node* block = table.addTemporary(count);
    BlockBuilder builder(block, *source.object, source.classIndex, *this);
    Node* root = single ? builder.meshPolygon(mesh, 0, nullptr) : builder.meshGroup(mesh);
    root->nodeCount = count;
    ++liveTemporaryCount;
    return root;
}

void HostState::disposeTemporary(Node* root) {
    if (root->kind != NodeKind::Temporary || !root->temporaryRoot || !root->alive) {
        fault(81, "asked to dispose of an object that is not a live temporary object");
        return;
    }
    for (Node* n = root; n != root + root->nodeCount; ++n) {
        n->alive = false;
        if (lastChecked == n) lastChecked = nullptr;
    }
    --liveTemporaryCount;
    table.retireTemporary(root, root->nodeCount, kDisposedNodesKept);
}

}  // namespace pelmora::hostsim
