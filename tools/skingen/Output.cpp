#include "tools/skingen/Output.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

namespace tarvik::skingen {

void IniText::section(const QString& name) {
    sections_.push_back({name, {}});
}

void IniText::set(const QString& key, const QString& value) {
    if (sections_.empty()) {
        section(QString());
    }
    sections_.back().second.push_back({key, value});
}

QString IniText::text() const {
    QString out;
    for (const auto& [name, entries] : sections_) {
        out += QStringLiteral("[%1]\r\n").arg(name);
        for (const auto& [key, value] : entries) {
            out += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}

void Output::picture(const QString& name, const QImage& image) {
    const QString path = dir_.filePath(name);
    QImageWriter writer(path);
    const QString suffix = name.section(QLatin1Char('.'), -1).toLower();
    if (suffix == QLatin1String("jpg")) {
        writer.setFormat("jpeg");
        writer.setQuality(94);
    } else {
        writer.setFormat(suffix.toLatin1());
    }
    // BMP has no alpha; pictures for it are drawn opaque.
    const QImage& out = suffix == QLatin1String("png") ? image : image.convertToFormat(QImage::Format_RGB32);
    if (!writer.write(out)) {
        errors_ << QStringLiteral("%1: %2").arg(path, writer.errorString());
        return;
    }
    ++count_;
}

void Output::ini(const QString& name, const IniText& ini) {
    QSaveFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(ini.text().toUtf8()) < 0 || !file.commit()) {
        errors_ << QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return;
    }
    ++count_;
}

QString rectValue(const QRect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace tarvik::skingen
