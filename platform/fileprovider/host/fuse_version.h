#pragma once

// The libfuse API level every file of the bridge is written against.
#ifndef FUSE_USE_VERSION
#define FUSE_USE_VERSION 35
#endif
