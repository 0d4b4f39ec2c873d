#pragma once

#include <string>

namespace phonesim {

constexpr int kOldestAndroid = 6;
constexpr int kNewestAndroid = 16;
constexpr int kDefaultAndroid = 14;

// What a phone of one Android version (6 to 16) shows of itself.
struct AndroidVersion {
    int major = kDefaultAndroid;

    // ro.build.version.sdk: the API level.
    int sdk() const {
        constexpr int levels[] = {23, 24, 26, 28, 29, 30, 31, 33, 34, 35, 36};
        return levels[major - kOldestAndroid];
    }
    // ro.build.version.release, as those phones print it.
    std::string release() const {
        if (major == 6) return "6.0.1";
        if (major == 7) return "7.0";
        if (major == 8) return "8.0.0";
        return std::to_string(major);
    }
    bool hasStatV2() const { return major >= 8; }
    bool hasLsV2() const { return major >= 11; }
    // Only the forms spoken here: shell_v2, cmd and sendrecv_v2 would make
    // the adb tool speak protocols this phone lacks.
    std::string features() const {
        if (hasLsV2()) return "stat_v2,ls_v2";
        if (hasStatV2()) return "stat_v2";
        return "";
    }
    // "shell:" ran on a terminal up to Android 6: lines end in CR LF.
    bool terminalLineEnds() const { return major <= 6; }
    // The media index is told with `content call ... scan_file` from
    // Android 11, with the scanner broadcast before.
    bool scansThroughContent() const { return sdk() >= 30; }
};

} // namespace phonesim
