#pragma once

#include <QString>

#include <optional>

// Reads the IPv4 address from the output of `ip -f inet addr show wlan0`:
// the token after the first exact "inet", without its "/prefix".
std::optional<QString> parseWifiAddress(const QString &text);
