#include "extension/provider/provider_job.h"

#include "extension/provider/change_failure.h"
#include "extension/provider/client_error_bridge.h"
#include "platform/fileprovider/host/work_queue.h"

#include <cerrno>
#include <exception>

using fileprovider::ProviderError;

void runProviderJob(std::function<void()> work, std::function<void(const ProviderError &)> failed) {
    fileprovider::WorkQueue::async([work = std::move(work), failed = std::move(failed)] {
        try {
            work();
        } catch (const AdbClientError &error) {
            failed(bridgedError(error));
        } catch (const ChangeFailure &failure) {
            failed(failure.error());
        } catch (const LocalFileError &error) {
            failed(bridgedError(error));
        } catch (const std::exception &error) {
            failed(ProviderError::posix(EIO, QString::fromLocal8Bit(error.what())));
        }
    });
}
