// Where each object's records lie in a drawing document's text, as byte
// offsets, so that a write-back can change them and keep every other byte.
// The text must be one the loader accepted; the drawing it gave tells which
// objects are groups. Keys given twice count as the loader counts them: the
// last one.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "hostsim/document/drawing.h"

namespace pelmora::hostsim {

// Bytes [begin, end) of the text.
struct TextSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct RecordSpans {
    TextSpan whole;  // the record's object, braces included
    TextSpan hex;    // the "hex" value, quotes included; empty when not given
    bool hasHex = false;
    std::size_t lastValueEnd = 0;  // after the last member's value; 0 when the object is empty
};

struct ObjectSpans {
    std::size_t lastValueEnd = 0;  // after the last member's value, where a new member goes
    bool hasRecords = false;
    TextSpan recordsArray;  // the "records" array, brackets included
    std::vector<RecordSpans> records;
    std::vector<ObjectSpans> members;  // of a group
};

// layers[l][o] holds the spans of layers[l].objects[o].
struct DocumentSpans {
    std::vector<std::vector<ObjectSpans>> layers;
};

// Throws DocumentError when the text does not have the drawing's shape.
DocumentSpans findRecordSpans(std::string_view text, const Drawing& drawing);

}  // namespace pelmora::hostsim
