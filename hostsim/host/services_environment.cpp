// The command and environment services of the emulated host: messages and
// the texts of its string lists, units and length conversion, version,
// folders, whether the command may run, and the command state calls.
#include <cstring>

#include "hostsim/host/host_impl.h"

namespace pelmora::hostsim {
namespace {

using namespace pelmora::host;

constexpr double kMillimetresPerInch = 25.4;

void showMessage(std::int32_t list, std::int32_t index) {
    auto& host = serviceHost(kShowMessage);
    ShownMessage message{list, index, indexedText(list, index)};
    host.messages.push_back(message);
    if (host.messageObserver) host.messageObserver(message);
}

void resetCommandState(std::int32_t argument) {
    auto& host = serviceHost(kResetCommandState);
    host.commandLog.push_back({kResetCommandState, argument});
}

void commandPrologue() {
    auto& host = serviceHost(kCommandPrologue);
    host.commandLog.push_back({kCommandPrologue, 0});
}

void toDocumentLength(double* value) {
    auto& host = serviceHost(kToDocumentLength);
    if (value == nullptr) {
        host.fault(kToDocumentLength, "no value to convert");
        return;
    }
    *value = *value / kMillimetresPerInch * host.drawing.unitsPerInch;
}

void getUnitRecord(std::uint8_t* out32) {
    auto& host = serviceHost(kGetUnitRecord);
    if (out32 == nullptr) {
        host.fault(kGetUnitRecord, "no place for the unit record");
        return;
    }
    std::memset(out32, 0, kUnitRecordSize);
    std::memcpy(out32 + kUnitsPerInchOffset, &host.drawing.unitsPerInch, sizeof(double));
}

void getHostVersion(std::uint8_t* a, std::uint8_t* version, std::uint8_t* c, std::uint8_t* d, std::uint8_t* e,
                    std::uint8_t* f) {
    auto& host = serviceHost(kGetHostVersion);
    for (std::uint8_t* field : {a, c, d, e, f})
        if (field != nullptr) *field = 0;
    if (version != nullptr) *version = static_cast<std::uint8_t>(host.drawing.hostVersion);
}

void getIndexedString(std::int32_t list, std::int32_t index, char* out, std::int32_t, std::int32_t) {
    auto& host = serviceHost(kGetIndexedString);
    if (out == nullptr) {
        host.fault(kGetIndexedString, "no place for the text");
        return;
    }
    const std::string text = indexedText(list, index);
    std::memcpy(out, text.c_str(), text.size() + 1);
}

std::int32_t getFolderPath(std::int32_t kind, char* out, std::int32_t) {
    auto& host = serviceHost(kGetFolderPath);
    if (kind < 1 || kind > 2 || !host.folderSet[kind] || out == nullptr) return kFolderPathMissing;
    const std::string& path = host.folders[kind];
    // A path that does not fit the caller's buffer is not given at all.
    if (path.size() + 1 > static_cast<std::size_t>(kHostPathLimit)) return kFolderPathMissing;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return 0;
}

HostBool canRunCommand() {
    auto& host = serviceHost(kCanRunCommand);
    return host.drawing.canRun ? 1 : 0;
}

struct ListText {
    std::int32_t list;
    std::int32_t index;
    const char* text;
};

// The host's own texts. The plug-in's buffers hold 64 bytes (32 for the two
// button texts), so every text here stays shorter.
constexpr ListText kTexts[] = {
    {11011, 2, "The scene file could not be written."},
    {11011, 4, "The export stopped because of an unexpected error."},
    {11011, 5, "Nothing that can be exported was found."},
    {11011, 6, "The current item is not part of the drawing."},
    {11011, 7, "Export needs the drawing or its layers as current."},
    {12345, 1, "Export Scene"},
    {12345, 2, "Export"},
    {12345, 3, "Cancel"},
    {12345, 4, "Objects to export"},
    {12345, 5, "Selected objects of the active layer"},
    {12345, 6, "Visible objects of the active layer"},
    {12345, 7, "All visible layers"},
    {12345, 8, "All visible layers and layer references"},
};

}  // namespace

std::string indexedText(std::int32_t list, std::int32_t index) {
    for (const ListText& t : kTexts)
        if (t.list == list && t.index == index) return t.text;
    return std::string();
}

void addEnvironmentServices(ServiceTable& t) {
    t[kShowMessage] = serviceAddress<sig::ShowMessage>(&showMessage);
    t[kResetCommandState] = serviceAddress<sig::ResetCommandState>(&resetCommandState);
    t[kCommandPrologue] = serviceAddress<sig::CommandPrologue>(&commandPrologue);
    t[kToDocumentLength] = serviceAddress<sig::ToDocumentLength>(&toDocumentLength);
    t[kGetUnitRecord] = serviceAddress<sig::GetUnitRecord>(&getUnitRecord);
    t[kGetHostVersion] = serviceAddress<sig::GetHostVersion>(&getHostVersion);
    t[kGetIndexedString] = serviceAddress<sig::GetIndexedString>(&getIndexedString);
    t[kGetFolderPath] = serviceAddress<sig::GetFolderPath>(&getFolderPath);
    t[kCanRunCommand] = serviceAddress<sig::CanRunCommand>(&canRunCommand);
}

}  // namespace pelmora::hostsim
