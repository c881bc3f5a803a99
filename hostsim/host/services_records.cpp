// The auxiliary record services of the emulated host: byte blocks kept on
// drawing objects with their tag, created, searched, locked and deleted.
#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

using namespace pelmora::host;

// The largest record the host makes.
constexpr std::int32_t kMaxNewRecordSize = 1 << 24;

bool tagMatches(std::uint32_t recordTag, std::uint32_t wanted) {
    return wanted == kAnyRecordTag || recordTag == wanted;
}

Node* firstMatching(Node* from, std::uint32_t tag) {
    for (Node* r = from; r != nullptr; r = r->next)
        if (tagMatches(r->tag, tag)) return r;
    return nullptr;
}

Node* drawingObject(HostState& host, HostHandle h, std::int32_t service) {
    Node* n = host.objectNode(h, service);
    if (n != nullptr && n->kind != NodeKind::Object) {
        host.fault(service, "records are kept on drawing objects only");
        return nullptr;
    }
    return n;
}

HostHandle newAuxRecord(HostHandle object, std::uint32_t tag, std::int32_t size) {
    auto& host = serviceHost(kNewAuxRecord);
    Node* owner = drawingObject(host, object, kNewAuxRecord);
    if (owner == nullptr) return nullptr;
    if (size < 0 || size > kMaxNewRecordSize) {
        host.fault(kNewAuxRecord, "a record of " + std::to_string(size) + " bytes");
        return nullptr;
    }
    Node* record = host.newNode(NodeKind::Record);
    record->type = kRecordCode;
    record->owner = owner;
    record->tag = tag;
    record->byteCount = static_cast<std::size_t>(size);
    record->data = host.newBytes(static_cast<std::size_t>(size));
    Node** link = &owner->firstRecord;
    while (*link != nullptr) link = &(*link)->next;
    *link = record;
    return record;
}

void deleteAuxRecord(HostHandle h, HostHandle object) {
    auto& host = serviceHost(kDeleteAuxRecord);
    Node* record = host.recordNode(h, kDeleteAuxRecord);
    Node* owner = drawingObject(host, object, kDeleteAuxRecord);
    if (record == nullptr || owner == nullptr) {
        if (h == nullptr || object == nullptr) host.fault(kDeleteAuxRecord, "no record or no object given");
        return;
    }
    if (record->owner != owner) {
        host.fault(kDeleteAuxRecord, "the record is not kept on that object");
        return;
    }
    for (Node** link = &owner->firstRecord; *link != nullptr; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            break;
        }
    }
    record->next = nullptr;
    record->data = nullptr;  // a stale handle now leads nowhere
    host.dispose(record);
}

HostHandle firstAuxRecord(HostHandle object, std::uint32_t tag) {
    auto& host = serviceHost(kFirstAuxRecord);
    Node* owner = host.objectNode(object, kFirstAuxRecord);
    if (owner == nullptr) return nullptr;
    return firstMatching(owner->firstRecord, tag);
}

HostHandle findAuxRecordFrom(HostHandle from, std::uint32_t tag) {
    auto& host = serviceHost(kFindAuxRecordFrom);
    Node* record = host.recordNode(from, kFindAuxRecordFrom);
    if (record == nullptr) return nullptr;
    return firstMatching(record, tag);
}

void lockRecord(HostHandle h, std::int32_t lock) {
    auto& host = serviceHost(kLockRecord);
    Node* record = host.recordNode(h, kLockRecord);
    if (record == nullptr) {
        if (h == nullptr) host.fault(kLockRecord, "no record given");
        return;
    }
    if (lock != 0) {
        ++record->lockCount;
    } else if (record->lockCount == 0) {
        host.fault(kLockRecord, "a record unlocked that was not locked");
    } else {
        --record->lockCount;
    }
}

}  // namespace

void addRecordServices(ServiceTable& t) {
    t[kNewAuxRecord] = serviceAddress<sig::NewAuxRecord>(&newAuxRecord);
    t[kDeleteAuxRecord] = serviceAddress<sig::DeleteAuxRecord>(&deleteAuxRecord);
    t[kFirstAuxRecord] = serviceAddress<sig::FirstAuxRecord>(&firstAuxRecord);
    t[kFindAuxRecordFrom] = serviceAddress<sig::FindAuxRecordFrom>(&findAuxRecordFrom);
    t[kLockRecord] = serviceAddress<sig::LockRecord>(&lockRecord);
}

}  // namespace pelmora::hostsim
