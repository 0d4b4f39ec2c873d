// VaneFileProvider: serves one phone's shared storage as a mounted folder.
#include "extension/provider/file_provider_extension.h"
#include "platform/fileprovider/host/file_provider_host.h"

int main(int argc, char **argv) {
    return fileprovider::runFileProviderHost(argc, argv, [](const fileprovider::Domain &domain) {
        return std::make_unique<FileProviderExtension>(domain);
    });
}
