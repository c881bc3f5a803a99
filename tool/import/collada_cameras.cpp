#include "tool/import/collada_cameras.h"

#include <libxml/xmlreader.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace pelmora::tool {
namespace {

struct ReaderFree {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

std::string attribute(xmlTextReader* reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::optional<double> numberIn(xmlTextReader* reader) {
    xmlChar* value = xmlTextReaderReadString(reader);
    if (value == nullptr) return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(reinterpret_cast<const char*>(value), &end);
    const bool read = end != reinterpret_cast<char*>(value) && std::isfinite(number);
    xmlFree(value);
    return read ? std::optional<double>(number) : std::nullopt;
}

// What the walk through the file has met so far.
struct Walk {
    std::map<std::string, ColladaOptics> cameras;             // by camera id
    std::vector<std::pair<std::string, std::string>> placed;  // node name, camera id
    std::vector<std::string> nodes;                           // the open nodes' names
    std::string camera;                                       // the open camera's id
    int perspective = 0;                                      // depth inside <perspective>

    void start(xmlTextReader* reader, const std::string& name, bool empty) {
        if (name == "node") {
            std::string id = attribute(reader, "id");
            nodes.push_back(id.empty() ? attribute(reader, "sid") : id);
            if (empty) nodes.pop_back();
        } else if (name == "instance_camera" && !nodes.empty()) {
            const std::string url = attribute(reader, "url");
            if (!url.empty() && url.front() == '#') placed.emplace_back(nodes.back(), url.substr(1));
        } else if (name == "camera" && !empty) {
            camera = attribute(reader, "id");
        } else if (name == "perspective" && !camera.empty() && !empty) {
            ++perspective;
        } else if (perspective > 0 && !empty) {
            ColladaOptics& optics = cameras[camera];
            if (name == "xfov") optics.xfov = numberIn(reader);
            else if (name == "yfov") optics.yfov = numberIn(reader);
            else if (name == "aspect_ratio") optics.aspect = numberIn(reader);
        }
    }

    void end(const std::string& name) {
        if (name == "node" && !nodes.empty()) nodes.pop_back();
        else if (name == "camera") camera.clear();
        else if (name == "perspective" && perspective > 0) --perspective;
    }
};

}  // namespace

std::map<std::string, ColladaOptics> colladaCameraOptics(const std::string& path) {
    std::unique_ptr<xmlTextReader, ReaderFree> reader(
        xmlReaderForFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!reader) return {};
    Walk walk;
    int status;
    while ((status = xmlTextReaderRead(reader.get())) == 1) {
        const int type = xmlTextReaderNodeType(reader.get());
        if (type != XML_READER_TYPE_ELEMENT && type != XML_READER_TYPE_END_ELEMENT) continue;
        const xmlChar* local = xmlTextReaderConstLocalName(reader.get());
        const std::string name = local ? reinterpret_cast<const char*>(local) : "";
        if (type == XML_READER_TYPE_ELEMENT)
            walk.start(reader.get(), name, xmlTextReaderIsEmptyElement(reader.get()) == 1);
        else walk.end(name);
    }
    std::map<std::string, ColladaOptics> byNode;
    for (const auto& [node, camera] : walk.placed)
        if (auto found = walk.cameras.find(camera); found != walk.cameras.end()) byNode.emplace(node, found->second);
    return byNode;
}

}  // namespace pelmora::tool
