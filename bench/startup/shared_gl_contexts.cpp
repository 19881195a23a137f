// Linked into a diagnostic build only: sets what the web engine needs before QApplication
// exists, without the web engine itself, to show what loading it on demand would leave.

#include <QCoreApplication>

namespace {
const bool sharedContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();
} // namespace
