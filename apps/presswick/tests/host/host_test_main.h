// What the host tests share: the Qt warnings seen since the last clear, and a main that runs the
// tests in a QApplication (offscreen unless told otherwise) with the dark theme.
#pragma once

#include <QStringList>

namespace presswick::host_testing {

// Every warning Qt printed since the last clear, but the offscreen platform's propagateSizeHints note.
QStringList& warnings();

}  // namespace presswick::host_testing
