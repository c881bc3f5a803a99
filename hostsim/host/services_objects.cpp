// The object services of the emulated host: types, visibility, selection,
// classes, names, members, polygons read vertex by vertex, definitions,
// temporary objects made of polygons and light properties.
#include <cstring>

#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

using namespace pelmora::host;

bool isPolygon(const Node* n) { return n->polygon; }

std::int32_t polyVertexData(HostHandle h) {
    auto& host = serviceHost(kPolyVertexData);
    Node* n = host.objectNode(h, kPolyVertexData);
    return n != nullptr && isPolygon(n) && n->vertexData ? 1 : 0;
}

HostBool isSelected(HostHandle h) {
    auto& host = serviceHost(kIsSelected);
    Node* n = host.objectNode(h, kIsSelected);
    return n != nullptr && n->selected ? 1 : 0;
}

HostBool isClosedPoly(HostHandle h) {
    auto& host = serviceHost(kIsClosedPoly);
    Node* n = host.objectNode(h, kIsClosedPoly);
    return n != nullptr && isPolygon(n) && n->closed ? 1 : 0;
}

std::int16_t objectType(HostHandle h) {
    auto& host = serviceHost(kObjectType);
    Node* n = host.objectNode(h, kObjectType);
    return n == nullptr ? 0 : n->type;
}

void getVertex(HostHandle h, std::int16_t index, HostPoint* out) {
    auto& host = serviceHost(kGetVertex);
    Node* n = host.objectNode(h, kGetVertex);
    if (n == nullptr) return;
    if (!isPolygon(n)) {
        host.fault(kGetVertex, "the object is not a polygon");
        return;
    }
    if (index < 1 || static_cast<std::uint32_t>(index) > n->pointCount) {
        host.fault(kGetVertex, "vertex " + std::to_string(index) + " of a polygon of " + std::to_string(n->pointCount) +
                                   " vertices");
        return;
    }
    if (out == nullptr) {
        host.fault(kGetVertex, "no place for the vertex");
        return;
    }
    const Point3& p = polygonVertex(*n, static_cast<std::size_t>(index) - 1);
    *out = HostPoint{p.x, p.y, p.z};
}

HostBool isVisible(HostHandle h) {
    auto& host = serviceHost(kIsVisible);
    Node* n = host.objectNode(h, kIsVisible);
    return n != nullptr && n->visible ? 1 : 0;
}

std::int32_t objectClass(HostHandle h) {
    auto& host = serviceHost(kObjectClass);
    Node* n = host.objectNode(h, kObjectClass);
    return n == nullptr ? 0 : n->classIndex;
}

std::int16_t vertexCount(HostHandle h) {
    auto& host = serviceHost(kVertexCount);
    Node* n = host.objectNode(h, kVertexCount);
    // The loader keeps polygons within the 16-bit count.
    return n != nullptr && isPolygon(n) ? static_cast<std::int16_t>(n->pointCount) : 0;
}

void className(std::int32_t index, std::uint8_t* out) {
    auto& host = serviceHost(kClassName);
    if (out == nullptr) return;
    if (index >= 1 && static_cast<std::size_t>(index) <= host.drawing.classes.size())
        writeHostName(host.drawing.classes[static_cast<std::size_t>(index) - 1], out);
    else writeHostName(std::string(), out);
}

std::int32_t classIndexByName(const std::uint8_t* name) {
    auto& host = serviceHost(kClassIndexByName);
    if (name == nullptr) return 0;
    const std::string wanted(reinterpret_cast<const char*>(name + 1), name[0]);
    return host.classIndexOf(wanted);
}

HostHandle nextObject(HostHandle h) {
    auto& host = serviceHost(kNextObject);
    Node* n = host.anyNode(h, kNextObject);
    // A temporary object standing alone has no neighbours; nor has the chain's
    // outside item. A record's next is the next record of the same object.
    if (n == nullptr || n->temporaryRoot) return nullptr;
    switch (n->kind) {
        case NodeKind::Header:
        case NodeKind::LayerList:
        case NodeKind::ThirdElement:
        case NodeKind::OutsideItem:
        case NodeKind::Symbol:
            return nullptr;
        default:
            return n->next;
    }
}

HostHandle firstMember(HostHandle h) {
    auto& host = serviceHost(kFirstMember);
    Node* n = host.objectNode(h, kFirstMember);
    return n == nullptr ? nullptr : n->first;
}

void deleteObject(HostHandle h, std::int32_t) {
    auto& host = serviceHost(kDeleteObject);
    if (h == nullptr) {
        host.fault(kDeleteObject, "asked to dispose of no object");
        return;
    }
    Node* n = host.objectNode(h, kDeleteObject);
    if (n == nullptr) return;
    if (n->kind != NodeKind::Temporary) {
        host.fault(kDeleteObject, "asked to dispose of an object of the drawing");
        return;
    }
    if (!n->temporaryRoot) {
        host.fault(kDeleteObject, "asked to dispose of a member of a temporary object");
        return;
    }
    host.disposeTemporary(n);
}

void getObjectName(HostHandle h, std::uint8_t* out) {
    auto& host = serviceHost(kGetObjectName);
    Node* n = host.objectNode(h, kGetObjectName);
    if (n == nullptr || out == nullptr) return;
    writeHostName(n->name == nullptr ? std::string() : *n->name, out);
}

HostHandle definitionOf(HostHandle h) {
    auto& host = serviceHost(kDefinitionOf);
    Node* n = host.objectNode(h, kDefinitionOf);
    return n == nullptr ? nullptr : n->definition;
}

std::int32_t objectToken(HostHandle h) {
    auto& host = serviceHost(kObjectToken);
    Node* n = host.objectNode(h, kObjectToken);
    return n == nullptr ? 0 : n->token;
}

std::int16_t definitionKind(HostHandle h) {
    auto& host = serviceHost(kDefinitionKind);
    Node* n = host.objectNode(h, kDefinitionKind);
    return n == nullptr ? std::int16_t{-1} : n->definitionKind;
}

HostHandle makeTemporaryObject(std::int32_t token, std::int32_t) {
    auto& host = serviceHost(kMakeTemporaryObject);
    if (token == 0) return nullptr;
    if (token < 0 || static_cast<std::size_t>(token) > host.objectNodes.size()) {
        host.fault(kMakeTemporaryObject, "token " + std::to_string(token) + " was never given by the host");
        return nullptr;
    }
    return host.makeTemporary(*host.objectNodes[static_cast<std::size_t>(token) - 1]);
}

HostBool getObjectProperty(HostHandle h, std::int32_t property, HostPropertyValue* out) {
    auto& host = serviceHost(kGetObjectProperty);
    Node* n = host.objectNode(h, kGetObjectProperty);
    if (n == nullptr || n->kind != NodeKind::Object || n->object->type != kCodeLight) return 0;
    auto it = n->object->properties.find(property);
    if (it == n->object->properties.end()) return 0;
    if (out == nullptr) {
        host.fault(kGetObjectProperty, "no place for the property value");
        return 0;
    }
    const PropertyValue& v = it->second;
    switch (v.kind) {
        case PropertyValue::Kind::Bool:
            out->payload[0] = v.boolValue ? 1 : 0;
            out->tag = kPropertyBool;
            break;
        case PropertyValue::Kind::Int16:
            std::memcpy(out->payload, &v.intValue, sizeof v.intValue);
            out->tag = kPropertyInt16;
            break;
        case PropertyValue::Kind::Double:
            std::memcpy(out->payload, &v.doubleValue, sizeof v.doubleValue);
            out->tag = kPropertyDouble;
            break;
        case PropertyValue::Kind::Point: {
            const double xyz[3] = {v.pointValue.x, v.pointValue.y, v.pointValue.z};
            std::memcpy(out->payload, xyz, sizeof xyz);
            out->tag = kPropertyPoint;
            break;
        }
    }
    return 1;
}

}  // namespace

void addObjectServices(ServiceTable& t) {
    t[kPolyVertexData] = serviceAddress<sig::PolyVertexData>(&polyVertexData);
    t[kIsSelected] = serviceAddress<sig::IsSelected>(&isSelected);
    t[kIsClosedPoly] = serviceAddress<sig::IsClosedPoly>(&isClosedPoly);
    t[kObjectType] = serviceAddress<sig::ObjectType>(&objectType);
    t[kGetVertex] = serviceAddress<sig::GetVertex>(&getVertex);
    t[kIsVisible] = serviceAddress<sig::IsVisible>(&isVisible);
    t[kObjectClass] = serviceAddress<sig::ObjectClass>(&objectClass);
    t[kVertexCount] = serviceAddress<sig::VertexCount>(&vertexCount);
    t[kClassName] = serviceAddress<sig::ClassName>(&className);
    t[kClassIndexByName] = serviceAddress<sig::ClassIndexByName>(&classIndexByName);
    t[kNextObject] = serviceAddress<sig::NextObject>(&nextObject);
    t[kFirstMember] = serviceAddress<sig::FirstMember>(&firstMember);
    t[kDeleteObject] = serviceAddress<sig::DeleteObject>(&deleteObject);
    t[kGetObjectName] = serviceAddress<sig::GetObjectName>(&getObjectName);
    t[kDefinitionOf] = serviceAddress<sig::DefinitionOf>(&definitionOf);
    t[kObjectToken] = serviceAddress<sig::ObjectToken>(&objectToken);
    t[kDefinitionKind] = serviceAddress<sig::DefinitionKind>(&definitionKind);
    t[kMakeTemporaryObject] = serviceAddress<sig::MakeTemporaryObject>(&makeTemporaryObject);
    t[kGetObjectProperty] = serviceAddress<sig::GetObjectProperty>(&getObjectProperty);
}

}  // namespace pelmora::hostsim
