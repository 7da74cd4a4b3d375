#pragma once
// The program-wide settings other commands read.

#include <string>

namespace zephrane {

struct Settings {
    std::string sequencerPath;
    std::string stylePlayerPath;
    std::string defaultDirectory;  // start folder of the Open dialog, with its trailing separator

    // Menu check marks at their initial states; the first two are stored between runs.
    bool panelVoices = true;           // "Specify Panel (bank 112) voices"
    bool eightMeasureBbMains = false;  // "Use 8 measures for BB styles"
    bool xgSystemOn = true;            // "Include XG System On"
    bool convertSeventhAddB = false;   // "Convert7th by adding a B"
    bool multipleTempos = false;       // "Allow Multiple Tempos"
};

}  // namespace zephrane
