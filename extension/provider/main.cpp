// VaneFileProvider: serves one phone's shared storage as a mounted folder.
//
//   VaneFileProvider --domain ID --mountpoint DIR [--display-name NAME] [--no-media-scan]
#include "extension/adbclient/adb_server_address.h"
#include "extension/provider/file_provider_extension.h"
#include "platform/fileprovider/host/file_provider_host.h"

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
    // Ours alone: the file-provider layer reads the rest.
    bool mediaScan = true;
    std::vector<char *> hostArguments;
    for (int index = 0; index < argc; ++index) {
        if (index > 0 && std::strcmp(argv[index], "--no-media-scan") == 0) mediaScan = false;
        else hostArguments.push_back(argv[index]);
    }
    hostArguments.push_back(nullptr);
    return fileprovider::runFileProviderHost(int(hostArguments.size()) - 1, hostArguments.data(), [mediaScan](const fileprovider::Domain &domain) {
        // The server the adb tool uses, so that the phones the window lists are the ones served here.
        const AdbServerChoice server = adbServerOfEnvironment();
        if (!server.problem.isEmpty()) std::fprintf(stderr, "VaneFileProvider: %s\n", qPrintable(server.problem));
        return std::make_unique<FileProviderExtension>(domain, server.port, mediaScan);
    });
}
