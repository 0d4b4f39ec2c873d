#include "platform/fileprovider/host/item_identifier.h"

namespace fileprovider {

ItemIdentifier ItemIdentifier::rootContainer() { return ItemIdentifier(QStringLiteral("RootContainer")); }

ItemIdentifier ItemIdentifier::workingSet() { return ItemIdentifier(QStringLiteral("WorkingSet")); }

ItemIdentifier ItemIdentifier::trashContainer() { return ItemIdentifier(QStringLiteral("TrashContainer")); }

} // namespace fileprovider
