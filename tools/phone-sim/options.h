#pragma once

#include <string>
#include <vector>

#include "tools/phone-sim/android_version.h"
#include "tools/phone-sim/link_shaper.h"

namespace phonesim {

enum class Attach { Cable, Wifi, None };

// df figures are kept as the digits given, so a test can hand the reader
// figures that no integer type holds.
struct DfFigures {
    std::string totalKb = "115249236";
    std::string usedKb = "9871244";
    std::string availableKb = "105377992";
};

struct Options {
    std::string folder;
    int port = -1; // 0: pick a free one
    std::string model = "Sim_Phone";
    std::string wifiAddress; // empty: Wi-Fi off
    DfFigures df;
    Attach attach = Attach::None;
    std::vector<std::string> readOnlyFolders; // relative to the folder
    bool watchStdin = false;                  // end when standard input reaches its end
    LinkShape link;                           // unshaped: loopback speed
    AndroidVersion android;
    std::string scanLog; // where each media scan asked for is appended; empty: nowhere
    bool wirelessDebugging = false; // a pairing port and a TLS connect port besides
};

// Reads the command line (without the program name). Throws
// std::invalid_argument with a message for the user on anything wrong.
Options parseOptions(const std::vector<std::string> &arguments);

std::string usageText();

// "a.b.c.d" with each part 0..255.
bool isDottedIPv4(const std::string &text);

} // namespace phonesim
