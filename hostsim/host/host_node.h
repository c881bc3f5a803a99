// What every handle of the emulated host points to: a node of the drawing, a
// layer, a symbol, a record or a temporary object's part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {

enum class NodeKind : std::uint8_t {
    Header,
    LayerList,
    ThirdElement,
    OutsideItem,
    Layer,
    Object,
    Symbol,
    Temporary,
    Record
};

// Every handle the host gives points to a Node, and a Node starts with the
// pointer to the host's own bytes behind it: a handle is a pointer to a
// pointer. Only scalars here, so the layout is standard and that first member
// sits at the handle's address.
struct Node {
    std::uint8_t* data = nullptr;
    NodeKind kind = NodeKind::Object;
    bool given = false;  // the slot holds a node the host gave out (see NodeTable)
    bool alive = true;
    bool visible = true;
    bool selected = false;
    bool closed = false;
    bool vertexData = false;
    bool temporaryRoot = false;
    std::int16_t type = 0;
    std::int16_t definitionKind = -1;
    std::int32_t classIndex = 0;
    std::int32_t token = 0;
    // records
    std::uint32_t tag = 0;
    std::int32_t lockCount = 0;
    std::uint32_t pointCount = 0;  // a polygon's vertices
    std::size_t byteCount = 0;
    std::size_t nodeCount = 0;  // a temporary object's root: the nodes of the whole object
    // links
    Node* next = nullptr;         // next member, layer, record or chain element
    Node* first = nullptr;        // first member
    Node* owner = nullptr;        // a record's object; a temporary member's root
    Node* definition = nullptr;   // an instance's symbol, a reference's layer
    Node* firstRecord = nullptr;  // auxiliary records of a drawing object
    // A polygon's vertices: points[corners[i]] when the points are shared
    // (a mesh), else points[i]. Any polygon has `polygon` set, also one
    // without vertices.
    const Point3* points = nullptr;
    const std::uint32_t* corners = nullptr;
    bool polygon = false;
    const std::string* name = nullptr;
    const DrawingObject* object = nullptr;  // the document object, or the one converted
};
// Points a polygon node at its own list of vertices.
inline void setPolygonPoints(Node& n, const std::vector<Point3>& points) {
    n.polygon = true;
    n.points = points.data();
    n.corners = nullptr;
    n.pointCount = static_cast<std::uint32_t>(points.size());
}

// The polygon's vertex `i`, counted from 0; the caller checked the range.
inline const Point3& polygonVertex(const Node& n, std::size_t i) {
    return n.corners == nullptr ? n.points[i] : n.points[n.corners[i]];
}

static_assert(std::is_standard_layout_v<Node>, "a handle must point at the node's first member");

}  // namespace pelmora::hostsim
