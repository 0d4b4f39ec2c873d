#pragma once

#include "platform/fileprovider/host/provider_error.h"

namespace fileprovider {

// What a failed errno answers: a request, or a read of file contents.
enum class Answering { request, read };

// The errno the kernel is told for `error`: the one place where errors
// become errno values. A read that fails is EIO whatever cut the transfer
// short (the server gone, the phone gone, a garbled reply), as for a failing
// disk; only a shortage on this computer keeps its own.
int errnoFor(const ProviderError &error, Answering answering = Answering::request);

} // namespace fileprovider
