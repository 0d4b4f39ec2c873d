#include "tools/phone-sim/options.h"

#include <stdexcept>

namespace phonesim {

namespace {

bool isSignedDigits(const std::string &text) {
    size_t start = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (text.size() == start) return false;
    for (size_t i = start; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

DfFigures parseDf(const std::string &text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 3) throw std::invalid_argument("--df wants TOTAL_KB,USED_KB,AVAILABLE_KB, got '" + text + "'");
    for (const auto &part : parts)
        if (!isSignedDigits(part)) throw std::invalid_argument("--df figures must be whole numbers, got '" + part + "'");
    return DfFigures{parts[0], parts[1], parts[2]};
}

int parsePort(const std::string &text) {
    if (text.empty() || text.size() > 5) throw std::invalid_argument("--port wants 0..65535, got '" + text + "'");
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw std::invalid_argument("--port wants 0..65535, got '" + text + "'");
        value = value * 10 + (c - '0');
    }
    if (value > 65535) throw std::invalid_argument("--port wants 0..65535, got '" + text + "'");
    return value;
}

} // namespace

bool isDottedIPv4(const std::string &text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t digits = 0;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (i == text.size()) return parts == 4;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
}

std::string usageText() {
    return "usage: dorvane-phone-sim --folder DIR --port PORT [--model NAME] [--wifi-address ADDR]\n"
           "       [--df TOTAL_KB,USED_KB,AVAILABLE_KB] [--attach cable|wifi|none] [--readonly RELATIVE_FOLDER]...\n"
           "       [--watch-stdin] [--link none|usb2|usb3|wifi] [--android 6..16] [--scan-log FILE]\n"
           "       [--wireless-debugging]\n";
}

Options parseOptions(const std::vector<std::string> &arguments) {
    Options options;
    bool haveFolder = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool inlineValue = false;
        if (name.rfind("--", 0) == 0) {
            const size_t equals = name.find('=');
            if (equals != std::string::npos) {
                value = name.substr(equals + 1);
                name = name.substr(0, equals);
                inlineValue = true;
            }
        }
        auto takeValue = [&]() -> std::string {
            if (inlineValue) return value;
            if (i + 1 >= arguments.size()) throw std::invalid_argument(name + " wants a value");
            return arguments[++i];
        };
        if (name == "--folder") {
            options.folder = takeValue();
            if (options.folder.empty()) throw std::invalid_argument("--folder must not be empty");
            haveFolder = true;
        } else if (name == "--port") {
            options.port = parsePort(takeValue());
        } else if (name == "--model") {
            options.model = takeValue();
            if (options.model.empty()) throw std::invalid_argument("--model must not be empty");
            for (unsigned char c : options.model)
                if (c < 0x20 || c == ';' || c == 0x7f)
                    throw std::invalid_argument("--model must not hold ';' or control characters");
        } else if (name == "--wifi-address") {
            options.wifiAddress = takeValue();
            if (!options.wifiAddress.empty() && !isDottedIPv4(options.wifiAddress))
                throw std::invalid_argument("--wifi-address wants an IPv4 address, got '" + options.wifiAddress + "'");
        } else if (name == "--df") {
            options.df = parseDf(takeValue());
        } else if (name == "--attach") {
            const std::string how = takeValue();
            if (how == "cable") options.attach = Attach::Cable;
            else if (how == "wifi") options.attach = Attach::Wifi;
            else if (how == "none") options.attach = Attach::None;
            else throw std::invalid_argument("--attach wants cable, wifi or none, got '" + how + "'");
        } else if (name == "--readonly") {
            const std::string folder = takeValue();
            if (folder.empty()) throw std::invalid_argument("--readonly wants a folder under the served folder");
            options.readOnlyFolders.push_back(folder);
        } else if (name == "--link") {
            const std::string profile = takeValue();
            const auto shape = linkShapeNamed(profile);
            if (!shape) throw std::invalid_argument("--link wants none, usb2, usb3 or wifi, got '" + profile + "'");
            options.link = *shape;
        } else if (name == "--android") {
            const std::string text = takeValue();
            const bool digits = !text.empty() && text.size() <= 2 && isSignedDigits(text) && text[0] != '-' && text[0] != '+';
            const int major = digits ? std::stoi(text) : 0;
            if (major < kOldestAndroid || major > kNewestAndroid)
                throw std::invalid_argument("--android wants 6..16, got '" + text + "'");
            options.android.major = major;
        } else if (name == "--scan-log") {
            options.scanLog = takeValue();
            if (options.scanLog.empty()) throw std::invalid_argument("--scan-log wants a file");
        } else if (name == "--watch-stdin" && !inlineValue) {
            options.watchStdin = true;
        } else if (name == "--wireless-debugging" && !inlineValue) {
            options.wirelessDebugging = true;
        } else {
            throw std::invalid_argument("unknown argument '" + arguments[i] + "'");
        }
    }
    if (!haveFolder) throw std::invalid_argument("--folder is required");
    if (options.port < 0) throw std::invalid_argument("--port is required (0 picks a free one)");
    return options;
}

} // namespace phonesim
