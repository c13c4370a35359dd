// Writing the generated files: pictures by their suffix (JPEG, BMP, PNG) and INI text in UTF-8.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

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

class Output {
public:
    explicit Output(const QDir& dir) : dir_(dir) {}

    void picture(const QString& name, const QImage& image);
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
