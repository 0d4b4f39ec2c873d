#pragma once

#include "platform/fileprovider/host/provider_error.h"

#include <variant>

namespace fileprovider {

template <typename T>
using Outcome = std::variant<T, ProviderError>;

} // namespace fileprovider
