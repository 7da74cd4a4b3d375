#pragma once
// The song image: the working type-0 MIDI file as its bytes (index = file offset), never parsed
// into an event list, and what the file's name says of it.

#include <string>
#include <string_view>

#include "song/byte_image.h"

namespace zephrane {

enum class FileKind { Midi, Style, Other };

struct SongImage {
    ByteImage bytes;
    std::string fileName;  // the file the user opened; "" while none is open
    bool isMidiFile = false;
    bool isStyleFile = false;
    bool bbMode = false;  // the Open dialog offers MIDI files only
    bool hasStyleCasm = false;
    ByteImage styleCasmBytes{std::vector<uint8_t>(2, 0)};  // bytes after a style's track
    std::string lastStyleSaved;
    int32_t displayTempo = 0;  // tempo as shown: quarter-note tempo scaled to the beat unit
};

// Decided by the last three characters of the file name, in any case.
FileKind KindOfFileName(std::string_view path);

// Text after the last folder separator of the platform.
std::string FileNameWithoutFolder(std::string_view path);
// Text up to and including the last folder separator; empty when there is none.
std::string FolderWithSeparator(std::string_view path);

}  // namespace zephrane
