// Qt's own strings (standard dialog buttons, the file dialog) in the language the texts are shown in.
#pragma once

class QCoreApplication;

namespace kora_ui::qt {

// Loads qtbase_<language> from Qt's translations when it is installed; nothing otherwise.
void install_qt_translations(QCoreApplication& application);

}  // namespace kora_ui::qt
