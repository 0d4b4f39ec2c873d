#pragma once

#include "platform/fileprovider/host/fuse_bridge.h"
#include "platform/fileprovider/host/fuse_mount.h"
#include "tests/support/temp_folder.h"

#include <memory>
#include <thread>

// An extension mounted in this process on a fresh folder, served on a
// thread of its own until the value goes away; then unmounted.
class ServedMount {
public:
    explicit ServedMount(fileprovider::ReplicatedExtension &extension)
        : bridge_(extension), mount_(std::make_unique<fileprovider::FuseMount>(bridge_, folder_.path(), "test-tree")),
          serving_([this] { mount_->serve(); }) {}
    ~ServedMount() {
        mount_->stop();
        serving_.join();
        mount_.reset();
    }

    QString path(const QString &relative = {}) const { return relative.isEmpty() ? folder_.path() : folder_.path() + u'/' + relative; }
    QByteArray nativePath(const QString &relative = {}) const { return path(relative).toLocal8Bit(); }
    const fileprovider::FuseBridge &bridge() const { return bridge_; }

private:
    testsupport::TempFolder folder_;
    fileprovider::FuseBridge bridge_;
    std::unique_ptr<fileprovider::FuseMount> mount_;
    std::thread serving_;
};
