#include "plugin/collect/collection.h"

#include <cstring>
#include <exception>
#include <vector>

#include "plugin/collect/geometry.h"
#include "plugin/collect/scene_container.h"
#include "plugin/collect/visited_list.h"
#include "plugin/host/chain_walk.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/host/services.h"
#include "plugin/host/unit_settings.h"
#include "plugin/payloads/light_source.h"
#include "plugin/payloads/property_value.h"
#include "plugin/platform/ui.h"

namespace pelmora {
namespace {

// A light of this kind has no target point.
constexpr std::int16_t kLightKindWithoutTarget = host::kLightPoint;

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

// Stops at the first exportable object of each container. Groups and referred
// layers are entered with a stack of member positions of its own, not by
// recursion: a chain of many thousand layer references must not overflow the
// call stack (1 MiB by default on the host's platform).
void precheckMembers(VisitedList& list, HostHandle container) {
    std::vector<HostHandle> members{host::firstMember(container)};  // the member under work, per container
    auto next = [&members] { members.back() = host::nextObject(members.back()); };
    auto finish = [&members, &next] {
        members.pop_back();
        if (!members.empty()) next();
    };
    while (!members.empty()) {
        const HostHandle m = members.back();
        if (m == nullptr) {
            finish();
            continue;
        }
        if (!host::isVisible(m) || (list.mode == kModeSelected && !host::isSelected(m))) {
            next();
            continue;
        }
        const std::int16_t t = host::objectType(m);
        if ((t == host::kTypeInstance && exportableInstance(m)) || t == host::kTypePolygon || convertedWithMerging(t) ||
            convertedWithoutMerging(t)) {
            ++list.found;
            finish();
            continue;
        }
        HostHandle below = t == host::kTypeGroup ? m : nullptr;
        if (t == host::kTypeReference && list.mode == kModeWithReferences) {
            HostHandle d = host::definitionOf(m);
            if (d != nullptr && list.add(d)) below = d;
        }
        if (below != nullptr) {
            members.push_back(host::firstMember(below));
        } else {
            next();
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

    // A container, group or referred layer being walked: its member under work
    // (null when done) and, for a referred layer, the elevation to restore.
    struct Frame {
        HostHandle member;
        bool selectedOnly;
        bool restoresElevation;
        double keptElevation;
    };

    // Walks `container` and every group and referred layer below it in member
    // order, with a stack of its own rather than by recursion: a chain of many
    // thousand layer references must not overflow the call stack (1 MiB by
    // default on the host's platform).
    void walk(HostHandle container, bool selectedOnly) {
        frames_.clear();
        enter(container, selectedOnly, false, 0.0);
        while (!frames_.empty()) step();
    }

    void enter(HostHandle container, bool selectedOnly, bool restoresElevation, double keptElevation) {
        if (abortRequested()) raiseSilent();
        frames_.push_back(Frame{nullptr, selectedOnly, restoresElevation, keptElevation});
        frames_.back().member = host::firstMember(container);
    }

    void advance() { frames_.back().member = host::nextObject(frames_.back().member); }

    // The container is done: back in the one that holds it, after the member that led here.
    void leave() {
        const Frame done = frames_.back();
        frames_.pop_back();
        if (frames_.empty()) return;
        if (done.restoresElevation) scene_.elevation = done.keptElevation;
        scene_.tick();
        advance();
    }

    void step() {
        const Frame& frame = frames_.back();
        const HostHandle m = frame.member;
        if (m == nullptr) return leave();
        const std::int16_t t = host::objectType(m);
        if (t == host::kTypeEnd) return leave();
        if ((frame.selectedOnly && !host::isSelected(m)) || !host::isVisible(m)) return advance();
        if (t == host::kTypeGroup) return enter(m, false, false, 0.0);
        if (t == host::kTypeReference && mode_ == kModeWithReferences) {
            HostHandle d = host::definitionOf(m);
            if (d != nullptr && visited_.add(d)) {
                const double kept = scene_.elevation;
                setElevationFrom(d);
                return enter(d, false, true, kept);
            }
        }
        convertLeaf(m, t);
        advance();
    }

    // Any member but a group or a followed reference.
    void convertLeaf(HostHandle m, std::int16_t t) {
        bool converted = false;
        if (t == host::kTypeInstance) {
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
        } else if (t == host::kTypePolygon) {
            readDirectPolygon(scene_, m);
            converted = true;
        } else if (t == host::kTypeLight) {
            addLight(m);
        }
        if (converted) scene_.tick();
        scene_.tick();
    }

    void addLight(HostHandle light) {
        const std::int16_t kind = int16Property(light, host::kLightKind, 0);
        const std::int32_t nodeCount = kind == kLightKindWithoutTarget ? 1 : 2;
        scene_.lights.push_back(std::make_unique<LightSource>(light, scene_.elevation, nodeCount));
    }

    SceneContainer& scene_;
    std::int32_t mode_;
    VisitedList visited_;
    std::vector<Frame> frames_;
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
