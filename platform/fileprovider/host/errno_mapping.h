#pragma once

#include "platform/fileprovider/host/provider_error.h"

namespace fileprovider {

// The errno a failed request is answered with. The one place where errors
// become errno values.
int errnoFor(const ProviderError &error);

} // namespace fileprovider
