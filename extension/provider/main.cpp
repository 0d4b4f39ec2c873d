// VaneFileProvider: serves one phone's shared storage as a mounted folder.
#include "extension/adbclient/adb_server_address.h"
#include "extension/provider/file_provider_extension.h"
#include "platform/fileprovider/host/file_provider_host.h"

#include <cstdio>

int main(int argc, char **argv) {
    return fileprovider::runFileProviderHost(argc, argv, [](const fileprovider::Domain &domain) {
        // The server the adb tool uses, so that the phones the window lists are the ones served here.
        const AdbServerChoice server = adbServerOfEnvironment();
        if (!server.problem.isEmpty()) std::fprintf(stderr, "VaneFileProvider: %s\n", qPrintable(server.problem));
        return std::make_unique<FileProviderExtension>(domain, server.port);
    });
}
