// SPDX-License-Identifier: MIT
// Qt's own texts (the file dialogs' captions, labels and buttons, the standard buttons of
// message boxes) in the user's language, and in Japanese, as the program's own texts are,
// when Qt has no translation for it.
#pragma once

class QCoreApplication;

namespace varnelo::gui {

// Installs the translation on `app`; returns false when none was found.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace varnelo::gui
