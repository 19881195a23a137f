#pragma once

#include <QTest>
#include <QWidget>

#include <stdexcept>
#include <string>

// The control named `name` below `root`; a missing one is an error, not a null to trip over.
template <typename T> T* findControl(QObject* root, const char* name) {
    auto* found = root->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}
