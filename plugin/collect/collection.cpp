#include "plugin/collect/collection.h"

#include <cstring>
#include <exception>

#include "plugin/collect/geometry.h"
#include "plugin/collect/scene_container.h"
#include "plugin/collect/visited_list.h"
#include "plugin/host/chain_walk.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/host/services.h"
#include "plugin/host/unit_settings.h"
#include "plugin/items/light_source.h"
#include "plugin/items/property_value.h"
#include "plugin/platform/ui.h"

namespace pelmora {
namespace {

// Host type codes the walks act on.
enum TypeCode : std::int16_t {
    kEndMarker = 0,
    kGroup = 11,
    kInstance = 15,
    kPolygon = 25,
    kReference = 29,
    kLight = 81,
};

// Light property read to tell a light with a target point from one without.
constexpr std::int32_t kLightKindProperty = 55;
constexpr std::int16_t kLightKindWithoutTarget = 1;

// Where the host keeps a layer's elevation in its own record, for versions below 15.
constexpr std::uint8_t kFirstVersionWithoutElevation = 15;
constexpr std::size_t kElevationOffset = host::kLayerElevationOffset;

bool convertedWithMerging(std::int16_t t) {
    switch (t) {
        case 24:
        case 34:
        case 38:
        case 40:
        case 71:
        case 84:
        case 95:
            return true;
        default:
            return false;
    }
}

bool convertedWithoutMerging(std::int16_t t) {
    switch (t) {
        case 68:
        case 83:
        case 86:
        case 89:
            return true;
        default:
            return false;
    }
}

bool exportableInstance(HostHandle instance) {
    HostHandle definition = host::definitionOf(instance);
    if (definition == nullptr) return false;
    const std::int16_t kind = host::definitionKind(definition);
    return kind == 1 || kind == 2;
}

// ---- the pre-check ----

void precheckMembers(VisitedList& list, HostHandle container) {
    for (HostHandle m = host::firstMember(container); m != nullptr; m = host::nextObject(m)) {
        if (!host::isVisible(m)) continue;
        if (list.mode == kModeSelected && !host::isSelected(m)) continue;
        const std::int16_t t = host::objectType(m);
        if (t == kGroup) {
            precheckMembers(list, m);
        } else if (t == kInstance) {
            if (exportableInstance(m)) {
                ++list.found;
                return;
            }
        } else if (t == kPolygon || convertedWithMerging(t) || convertedWithoutMerging(t)) {
            ++list.found;
            return;
        } else if (t == kReference && list.mode == kModeWithReferences) {
            HostHandle d = host::definitionOf(m);
            if (d != nullptr && list.add(d)) precheckMembers(list, d);
        }
    }
}

struct PrecheckContext {
    VisitedList* list;
    std::exception_ptr failure;
};

// Called by the host for each object; no exception may cross the host's frames.
HostHandle PELMORA_HOST_CALL precheckObject(HostHandle object, HostCallback /*callback*/, void* context) {
    auto* ctx = static_cast<PrecheckContext*>(context);
    if (ctx->failure) return nullptr;
    try {
        if (host::isVisible(object) && ctx->list->add(object)) precheckMembers(*ctx->list, object);
        return host::nextObject(object);
    } catch (...) {
        ctx->failure = std::current_exception();
        return nullptr;
    }
}

// ---- the geometry pass ----

class GeometryPass {
public:
    GeometryPass(SceneContainer& scene, std::int32_t mode) : scene_(scene), mode_(mode) {}

    void run() {
        const host::ChainPosition chain = host::walkChainToCurrent();
        const HostHandle current = chain.current;
        if (chain.beforeCurrent != chain.start) {
            // The current item lies deeper than one step: the chain start alone is walked.
            walk(chain.start, false);
            return;
        }
        if (mode_ == kModeSelected || mode_ == kModeVisible) {
            HostHandle root = host::drawingRoot();
            if (root == nullptr) return;
            visited_.add(root);
            setElevationFrom(root);
            walk(root, mode_ == kModeSelected);
            return;
        }
        for (HostHandle m = host::firstMember(current); m != nullptr; m = host::nextObject(m)) {
            if (host::isVisible(m) && visited_.add(m)) {
                setElevationFrom(m);
                walk(m, false);
            }
        }
    }

private:
    void setElevationFrom(HostHandle container) { scene_.elevation = toMetres(elevationOf(container)); }

    void walk(HostHandle container, bool selectedOnly) {
        if (abortRequested()) raiseSilent();
        for (HostHandle m = host::firstMember(container); m != nullptr; m = host::nextObject(m)) {
            const std::int16_t t = host::objectType(m);
            if (t == kEndMarker) return;
            if (selectedOnly && !host::isSelected(m)) continue;
            convertObject(m, t);
        }
    }

    void convertObject(HostHandle m, std::int16_t t) {
        if (!host::isVisible(m)) return;
        bool converted = false;
        if (t == kGroup) {
            walk(m, false);
        } else if (t == kInstance) {
            if (exportableInstance(m)) {
                convertThroughHost(scene_, m, false);
                converted = true;
            }
        } else if (convertedWithMerging(t)) {
            convertThroughHost(scene_, m, true);
            converted = true;
        } else if (convertedWithoutMerging(t)) {
            convertThroughHost(scene_, m, false);
            converted = true;
        } else if (t == kPolygon) {
            readDirectPolygon(scene_, m);
            converted = true;
        } else if (t == kReference) {
            if (mode_ == kModeWithReferences) followReference(m);
        } else if (t == kLight) {
            addLight(m);
        }
        if (converted) scene_.tick();
        scene_.tick();
    }

    void followReference(HostHandle reference) {
        HostHandle d = host::definitionOf(reference);
        if (d == nullptr || !visited_.add(d)) return;
        const double kept = scene_.elevation;
        setElevationFrom(d);
        walk(d, false);
        scene_.elevation = kept;
    }

    void addLight(HostHandle light) {
        const std::int16_t kind = int16Property(light, kLightKindProperty, 0);
        const std::int32_t nodeCount = kind == kLightKindWithoutTarget ? 1 : 2;
        scene_.lights.push_back(std::make_unique<LightSource>(light, scene_.elevation, nodeCount));
    }

    SceneContainer& scene_;
    std::int32_t mode_;
    VisitedList visited_;
};

}  // namespace

void checkExportable(std::int32_t mode) {
    VisitedList list;
    list.mode = mode;
    if (mode == kModeSelected || mode == kModeVisible) {
        HostHandle root = host::drawingRoot();
        if (root != nullptr) precheckMembers(list, root);
    } else {
        PrecheckContext context{&list, nullptr};
        host::forEachObject(&precheckObject, &context);
        if (context.failure) std::rethrow_exception(context.failure);
    }
    if (list.found == 0) raiseMessage(kMsgNothingToExport);
}

void extractGeometry(SceneContainer& scene, std::int32_t mode) { GeometryPass(scene, mode).run(); }

double elevationOf(HostHandle container) {
    // A host without the version service is taken for a current one: its
    // memory is never read on a guess.
    if (host::hostVersion(kFirstVersionWithoutElevation) >= kFirstVersionWithoutElevation) return 0.0;
    if (container == nullptr) return 0.0;
    const std::uint8_t* record = nullptr;
    std::memcpy(&record, container, sizeof record);
    if (record == nullptr) return 0.0;
    double elevation = 0.0;
    std::memcpy(&elevation, record + kElevationOffset, sizeof elevation);
    return elevation;
}

bool abortRequested() { return platform::abortKeysDown(); }

}  // namespace pelmora
