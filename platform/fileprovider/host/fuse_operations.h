#pragma once

#include "platform/fileprovider/host/fuse_version.h"
#include <fuse.h>

namespace fileprovider {

// The one table of operations every mount is served with. The private data
// given to fuse_new() must be the mount's FuseBridge.
const fuse_operations &fuseOperations();

} // namespace fileprovider
