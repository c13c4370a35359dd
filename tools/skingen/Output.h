// Writing the generated files: pictures by their suffix (JPEG, BMP, PNG), each at 1x and as a "@2x"
// twin rendered at twice the resolution, and INI text in UTF-8.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace tarvik::skingen {

// An INI file built section by section, in the order the sections and keys are added.
class IniText {
public:
    void section(const QString& name);
    void set(const QString& key, const QString& value);
    QString text() const;

private:
    std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>> sections_;
};

// Draws one picture at a scale of 1 or 2 device pixels per layout pixel.
using Render = std::function<QImage(int scale)>;

// "name.ext" -> "name@2x.ext".
QString twinName(const QString& name);

class Output {
public:
    explicit Output(const QDir& dir) : dir_(dir) {}

    // The picture at 1x under name and at 2x under twinName(name); the 2x rendering must be exactly
    // twice the size, or the program would place its parts wrongly on a high-density screen.
    void picture(const QString& name, const Render& render);
    // One picture file at a path relative to the folder (sub-folders are created).
    void image(const QString& path, const QImage& image);
    void file(const QString& path, const QByteArray& bytes);
    void ini(const QString& name, const IniText& ini);

    const QStringList& errors() const { return errors_; }
    int fileCount() const { return count_; }

private:
    QDir dir_;
    QStringList errors_;
    int count_ = 0;
};

QString rectValue(const QRect& r);

} // namespace tarvik::skingen
