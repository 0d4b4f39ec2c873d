#pragma once

#include <QStringList>

// Line and token splitting shared by the readers of the tool's output.
// Lines break at line feeds; a carriage return ending a line (old phones'
// shells print CR LF) is dropped; empty lines are dropped.
QStringList splitOutputLines(const QString &text);
// Tokens break at blanks only: a tab stays inside its token.
QStringList splitAtBlanks(const QString &line);
