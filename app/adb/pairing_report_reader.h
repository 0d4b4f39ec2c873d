#pragma once

#include <QString>

#include <optional>

// How an "adb pair" ended, in the terms the user acts on.
enum class PairOutcome {
    paired,
    wrongCode,   // the phone's check of the code failed, or it hung up mid-way
    unreachable, // nothing answered at the pairing address
    wrongCodeOrUnreachable, // adb 34 and later say only that the pairing failed
    refused,     // any other answer: the phone or adb turned the pairing down
    tooOld,      // this adb has no "pair" command
};

// Reads the text "adb pair" left: its standard output when it exited with 0,
// else what it printed on failure. The tool prints its verdict on standard
// output and exits with 0 whether or not the pairing worked.
PairOutcome readPairReport(bool exitedCleanly, const QString &text);

// True when "adb connect" (which exits with 0 even when it fails) says it
// reached the phone.
bool readConnectReport(const QString &text);

// The adb release from "adb version" ("Version 29.0.6-debian" gives 29);
// none when no such line is there. The "Android Debug Bridge version 1.0.41"
// line above it is the same for releases 29 to 34 and says nothing.
std::optional<int> readAdbRelease(const QString &text);

// The first release with "adb pair".
inline constexpr int firstPairingAdbRelease = 30;
