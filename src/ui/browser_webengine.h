#pragma once

// The embedded browser on Qt WebEngine, in its own library so that only the program links
// the web engine; nothing of it starts before the first navigation.

#include "navegador.h"

#include <memory>

class QWidget;

// Must run before the QApplication is created.
void prepareWebEngine();
[[nodiscard]] std::unique_ptr<Browser> createWebEngineBrowser(QWidget* parent);
