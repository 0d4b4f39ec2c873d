#pragma once

#include "platform/fileprovider/host/replicated_extension.h"

namespace fileprovider {

// The whole life of a provider process: reads
//   --domain IDENTIFIER --mountpoint DIR [--display-name NAME]
// makes the extension for the domain, mounts it on DIR and serves it until
// SIGTERM, SIGINT or SIGHUP, or until the mount is removed from outside;
// then unmounts and removes every downloaded copy. Returns the exit status:
// 0 after a clean end, 2 for bad arguments, 1 when it could not mount.
int runFileProviderHost(int argc, char **argv, const ExtensionFactory &makeExtension);

} // namespace fileprovider
