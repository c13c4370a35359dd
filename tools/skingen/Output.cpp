#include "tools/skingen/Output.h"

#include <QFileInfo>
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

QString twinName(const QString& name) {
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name + QStringLiteral("@2x") : name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}

void Output::picture(const QString& name, const Render& render) {
    const QImage one = render(1);
    const QImage two = render(2);
    if (two.size() != one.size() * 2) {
        errors_ << QStringLiteral("%1: the 2x rendering is %2 x %3, not twice %4 x %5")
                       .arg(twinName(name))
                       .arg(two.width())
                       .arg(two.height())
                       .arg(one.width())
                       .arg(one.height());
        return;
    }
    image(name, one);
    image(twinName(name), two);
}

void Output::image(const QString& path, const QImage& image) {
    const QString full = dir_.filePath(path);
    if (!QDir().mkpath(QFileInfo(full).path())) {
        errors_ << QStringLiteral("%1: cannot create its folder").arg(full);
        return;
    }
    QImageWriter writer(full);
    const QString suffix = path.section(QLatin1Char('.'), -1).toLower();
    QImage out = image;
    if (suffix == QLatin1String("jpg")) {
        writer.setFormat("jpeg");
        writer.setQuality(94);
        out = image.convertToFormat(QImage::Format_RGB32);
    } else if (suffix == QLatin1String("bmp")) {
        writer.setFormat("bmp");
        // BMP has no alpha; pictures for it are drawn opaque. Two-colour pictures (masks) stay at one
        // bit per pixel, a twelfth of the size.
        if (image.format() != QImage::Format_Mono) {
            out = image.convertToFormat(QImage::Format_RGB32);
        }
    } else {
        writer.setFormat(suffix.toLatin1());
    }
    if (!writer.write(out)) {
        errors_ << QStringLiteral("%1: %2").arg(full, writer.errorString());
        return;
    }
    ++count_;
}

void Output::file(const QString& path, const QByteArray& bytes) {
    const QString full = dir_.filePath(path);
    QSaveFile f(full);
    if (!QDir().mkpath(QFileInfo(full).path()) || !f.open(QIODevice::WriteOnly) || f.write(bytes) < 0 ||
        !f.commit()) {
        errors_ << QStringLiteral("%1: %2").arg(full, f.errorString());
        return;
    }
    ++count_;
}

void Output::ini(const QString& name, const IniText& ini) {
    file(name, ini.text().toUtf8());
}

QString rectValue(const QRect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace tarvik::skingen
