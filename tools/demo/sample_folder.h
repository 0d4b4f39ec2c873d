#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

// What goes on the demo phone: folders, and files made on demand (only the
// missing ones are ever made).
struct SampleFile {
    QString relativePath;
    QDateTime modified;
    std::function<QByteArray()> contents;
};

struct SampleFolderPlan {
    QStringList folders;
    QList<SampleFile> files;
};

struct SampleFolderResult {
    QStringList written; // relative paths made now
    QStringList kept;    // relative paths that were there already, left untouched
};

class SampleFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The camera roll, a PDF, text files and a sound, like a phone's storage.
// Its PDF needs a QGuiApplication.
SampleFolderPlan demoPhonePlan();

// Makes every folder of the plan under root and writes each file that is not
// there yet. Files already there are kept as they are: someone may have
// changed them through the mount. Each file appears whole or not at all.
// Throws SampleFolderError naming the path at the first thing in the way.
SampleFolderResult makeSampleFolder(const QString &root, const SampleFolderPlan &plan);
