#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// A private HOME and XDG_CONFIG_HOME for one test: the user's own settings are never touched.
// The previous values come back when the object goes.
class TempConfig {
public:
    enum class Folder {
        Created,     // <config dir> exists
        Missing,     // XDG_CONFIG_HOME exists, <config dir> does not
        Uncreatable, // XDG_CONFIG_HOME lies below a regular file, so nothing can be made there
    };

    explicit TempConfig(Folder folder = Folder::Created);
    ~TempConfig();
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;

    [[nodiscard]] QString root() const { return dir_.path(); }
    [[nodiscard]] QString configDir() const;
    [[nodiscard]] QString settingPath() const;

    void writeSetting(const QByteArray& content) const;
    // nullopt when the file does not exist.
    [[nodiscard]] std::optional<QByteArray> readSetting() const;
    // <config dir>/COMn -> target
    void linkPort(int n, const QString& target) const;

private:
    QTemporaryDir dir_;
    QString xdg_;
    std::optional<QByteArray> oldHome_;
    std::optional<QByteArray> oldXdg_;
};
