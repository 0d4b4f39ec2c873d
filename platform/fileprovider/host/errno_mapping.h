#pragma once

#include "platform/fileprovider/host/provider_error.h"

namespace fileprovider {

// The errno a failed request is answered with. The one place where errors
// become errno values.
int errnoFor(const ProviderError &error);
// The errno of a failed read of file contents: whatever cut the transfer
// short (the server gone, the phone gone, a garbled reply) is EIO, as for
// a failing disk; only a full local disk or memory keeps its own.
int errnoForRead(const ProviderError &error);

} // namespace fileprovider
