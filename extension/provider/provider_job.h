#pragma once

#include "platform/fileprovider/host/provider_error.h"

#include <functional>

// Runs `work` as one job on the global queue. Whatever it
// throws goes to `failed`, bridged into the system's error, so that every
// request hears of its end exactly once.
void runProviderJob(std::function<void()> work, std::function<void(const fileprovider::ProviderError &)> failed);
