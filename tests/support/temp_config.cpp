#include "temp_config.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace {
std::optional<QByteArray> currentEnv(const char* name) {
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restoreEnv(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

void require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}
} // namespace

TempConfig::TempConfig(Folder folder)
    : oldHome_(currentEnv("HOME")), oldXdg_(currentEnv("XDG_CONFIG_HOME")) {
    require(dir_.isValid(), "temporary folder");
    const QString home = dir_.filePath("home");
    require(QDir().mkpath(home), "home folder");
    if (folder == Folder::Uncreatable) {
        QFile blocker(dir_.filePath("blocker"));
        require(blocker.open(QIODevice::WriteOnly), "blocking file");
        xdg_ = dir_.filePath("blocker/xdg");
    } else {
        xdg_ = dir_.filePath("xdg");
        require(QDir().mkpath(xdg_), "config home");
    }
    if (folder == Folder::Created)
        require(QDir().mkpath(configDir()), "config folder");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", xdg_.toLocal8Bit());
}

TempConfig::~TempConfig() {
    restoreEnv("HOME", oldHome_);
    restoreEnv("XDG_CONFIG_HOME", oldXdg_);
}

QString TempConfig::configDir() const {
    return xdg_ + "/Tarvenor/Quillmark";
}

QString TempConfig::settingPath() const {
    return configDir() + "/configrds.txt";
}

void TempConfig::writeSetting(const QByteArray& content) const {
    QFile f(settingPath());
    require(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "setting file");
    require(f.write(content) == content.size(), "setting file write");
}

std::optional<QByteArray> TempConfig::readSetting() const {
    QFile f(settingPath());
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

void TempConfig::linkPort(int n, const QString& target) const {
    const QString link = configDir() + QString("/COM%1").arg(n);
    QFile::remove(link);
    require(QFile::link(target, link), "port link");
}
