#pragma once

#include "platform/fileprovider/host/provider_error.h"

#include <exception>
#include <string>

// A change the phone did not carry out although the wire said nothing
// (the shell reports no exit status), or one that must not be tried.
class ChangeFailure : public std::exception {
public:
    explicit ChangeFailure(fileprovider::ProviderError error)
        : error_(std::move(error)), what_(error_.description.toStdString()) {}
    const fileprovider::ProviderError &error() const { return error_; }
    const char *what() const noexcept override { return what_.c_str(); }

private:
    fileprovider::ProviderError error_;
    std::string what_;
};
