#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

// The core keeps file names in the platform's narrow file-name encoding; the controls show them
// as text.
inline std::string EncodedName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}
inline QString DecodedName(const std::string& name) {
    return QFile::decodeName(QByteArray::fromStdString(name));
}
