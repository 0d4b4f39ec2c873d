#pragma once

#include <QString>

// The phone's adb serial from the domain identifier the app made of it,
// where every "." became "-DOT-" and then every ":" became "-COLON-".
QString serialForDomainIdentifier(const QString &identifier);
