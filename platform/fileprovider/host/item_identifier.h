#pragma once

#include <QHashFunctions>
#include <QString>

namespace fileprovider {

// Names one item of a domain. The layer knows three identifiers of its own;
// every other identifier is the extension's text and means nothing to the
// layer. None of the layer's three can be mistaken for an absolute path.
class ItemIdentifier {
public:
    explicit ItemIdentifier(QString text) : text_(std::move(text)) {}

    // The domain's top folder.
    static ItemIdentifier rootContainer();
    // The items the system keeps an eye on across folders; names no entry.
    static ItemIdentifier workingSet();
    // The domain's trash; names no entry.
    static ItemIdentifier trashContainer();

    const QString &text() const { return text_; }

    friend bool operator==(const ItemIdentifier &, const ItemIdentifier &) = default;

private:
    QString text_;
};

inline size_t qHash(const ItemIdentifier &identifier, size_t seed = 0) { return qHash(identifier.text(), seed); }

} // namespace fileprovider
